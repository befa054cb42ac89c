#!/bin/sh
# The whole program under load, from outside: Stillwise runs on a virtual X
# server (Xvfb) with its built-in test camera at 1920 x 1080 and a window
# that shows both whole frames; its self-check counts the frames painted and
# the processor time the program takes. The X server's own processor time is
# reported beside it.
#
#   bench/measure_program.sh PATH/TO/stillwise [SECONDS] [WIDTHxHEIGHT] [auto]
#
# With "auto" the program starts with "Auto-Glättung" ticked, as a user who
# chose it once finds it.
#
# Needs xvfb (Xvfb). Leaves nothing behind.
set -eu

program=${1:?"usage: $0 PATH/TO/stillwise [SECONDS] [WIDTHxHEIGHT]"}
seconds=${2:-10}
size=${3:-1920x1080}
mode=${4:-plain}
case $mode in plain | auto) ;; *) echo "Modus $mode unbekannt (plain oder auto)" >&2; exit 2 ;; esac

command -v Xvfb >/dev/null || { echo "Xvfb fehlt (Paket xvfb)" >&2; exit 2; }

work=$(mktemp -d)
xpid=
cleanup() {
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

. "$(dirname "$0")/../scripts/xvfb.sh"
start_xvfb 2048x2560x24 "$work/xvfb.log" || exit 1

# Processor time of a process in clock ticks (user + system).
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

mkdir -p "$work/config" "$work/runtime"
if [ "$mode" = auto ]; then
    mkdir -p "$work/config/Stillwise"
    printf '[Glaettung]\nAutomatisch=true\n' >"$work/config/Stillwise/Stillwise.ini"
fi
chmod 700 "$work/runtime"
xstart=$(ticks "$xpid")
start=$(date +%s.%N)
DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
    STILLWISE_SELFCHECK=1 STILLWISE_SELFCHECK_SIZE="$size" STILLWISE_SELFCHECK_WHOLE=1 \
    STILLWISE_SELFCHECK_SECONDS="$seconds" "$program"
end=$(date +%s.%N)
xend=$(ticks "$xpid")
awk -v t="$((xend - xstart))" -v hz="$hz" -v a="$start" -v b="$end" \
    'BEGIN { printf "Xvfb: %.1f %% eines Kerns über die ganze Laufzeit (%.1f s)\n", 100 * t / hz / (b - a), b - a }'
