#!/bin/sh
# The whole program for a long while, watched from outside: Stillwise runs
# on a virtual X server (Xvfb) with its built-in test camera at 1920 x 1080
# in a window that shows both whole frames, with "Als Webcam ausgeben"
# ticked where a v4l2loopback node exists. Every 10 s one line: resident
# memory (VmRSS), open descriptors, and the frames the capture window has
# handed to the frame step and dropped so far (the program's self-check
# prints those, STILLWISE_SELFCHECK_EVERY). Memory or descriptors that keep
# growing are a leak.
#
#   bench/soak.sh [SECONDS]        default 300, at most 3600
#
# Uses build/app/stillwise (scripts/run.sh or scripts/test.sh builds it).
# Needs xvfb (Xvfb). Leaves nothing behind.
set -eu
cd "$(dirname "$0")/.."

seconds=${1:-300}
program=build/app/stillwise
every=10

[ -x "$program" ] || { echo "$program fehlt: erst bauen (scripts/run.sh oder scripts/test.sh)" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb fehlt (Paket xvfb)" >&2; exit 2; }
if [ "$seconds" -lt "$every" ] || [ "$seconds" -gt 3600 ]; then
    echo "Dauer $seconds s: erlaubt sind $every bis 3600 Sekunden" >&2
    exit 2
fi

work=$(mktemp -d)
xpid=
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

. "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb 2048x2560x24 "$work/xvfb.log" || exit 1

if [ -d /sys/module/v4l2loopback ]; then
    echo "v4l2loopback ist geladen: das Programm soll als Webcam ausgeben."
else
    echo "v4l2loopback ist nicht geladen: ohne Knoten läuft die Ausgabe als Webcam nicht mit."
fi

mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    STILLWISE_SELFCHECK=1 STILLWISE_SELFCHECK_SIZE=1920x1080 STILLWISE_SELFCHECK_WHOLE=1 \
    STILLWISE_SELFCHECK_SECONDS="$seconds" STILLWISE_SELFCHECK_EVERY="$every" STILLWISE_SELFCHECK_WEBCAM=1 \
    "$program" >"$work/out.log" 2>"$work/err.log" &
pid=$!

# Waits for the first frame: the self-check says so on stdout.
for _ in $(seq 150); do
    grep -q "erstes Bild" "$work/out.log" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
cat "$work/out.log"
shown_lines=$(wc -l <"$work/out.log")

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null; }
fds() { ls "/proc/$1/fd" 2>/dev/null | wc -l; }
printf '%8s %12s %13s %10s %10s %11s\n' Zeit "VmRSS (MB)" Deskriptoren gezeigt "Bilder/s" verworfen
first_rss= last_rss= max_rss=0 first_fds= last_fds= shown=0 dropped=0
at=0 rate=0 before=0 before_at=0
elapsed=0
while kill -0 "$pid" 2>/dev/null; do
    sleep "$every"
    elapsed=$((elapsed + every))
    # Gone meanwhile: the self-check has ended it.
    r=$(rss "$pid" || true)
    [ -n "$r" ] || break
    f=$(fds "$pid" || true)
    # The program's latest count: "nach N s S Bilder gezeigt, D verworfen";
    # the rate is taken between its own times, which need not be ours.
    line=$(grep "Bilder gezeigt" "$work/err.log" | tail -n 1 || true)
    if [ -n "$line" ]; then
        at=$(echo "$line" | sed 's/.*nach \([0-9]*\) s .*/\1/')
        shown=$(echo "$line" | sed 's/.* \([0-9]*\) Bilder gezeigt.*/\1/')
        dropped=$(echo "$line" | sed 's/.* \([0-9]*\) verworfen.*/\1/')
        if [ "$at" -gt "$before_at" ]; then
            rate=$(echo "$shown $before $at $before_at" | awk '{ print ($1 - $2) / ($3 - $4) }')
            before=$shown
            before_at=$at
        fi
    fi
    printf '%7ss %12.1f %13s %10s %10.1f %11s\n' "$elapsed" "$(echo "$r" | awk '{ print $1 / 1024 }')" "$f" \
        "$shown" "$rate" "$dropped"
    [ -n "$first_rss" ] || first_rss=$r
    [ -n "$first_fds" ] || first_fds=$f
    last_rss=$r
    last_fds=$f
    [ "$r" -gt "$max_rss" ] && max_rss=$r
done

status=0
wait "$pid" || status=$?
pid=
tail -n +"$((shown_lines + 1))" "$work/out.log"
grep -v "Bilder gezeigt" "$work/err.log" | sed 's/^/stderr: /' || true
if [ -n "$first_rss" ]; then
    echo "$first_rss $last_rss $max_rss $first_fds $last_fds $shown $dropped" | awk '{
        printf "VmRSS erste Messung %.1f MB, letzte %.1f MB (%+.1f MB), höchste %.1f MB; Deskriptoren %d -> %d; %d Bilder gezeigt, %d verworfen\n",
               $1 / 1024, $2 / 1024, ($2 - $1) / 1024, $3 / 1024, $4, $5, $6, $7 }'
fi
if [ "$status" -ne 0 ]; then
    echo "Das Programm endete mit Status $status." >&2
    exit 1
fi
