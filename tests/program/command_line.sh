#!/usr/bin/env bash
# The program from a terminal. --help and --version answer without a
# display, in the user's language, and end with 0; a mistaken option is
# named and ends with 2. Then two real starts in one session: the second
# hands its options to the first and ends with 0, and after the first was
# killed, its socket and lock do not keep the next start from running.
#   command_line.sh STILLWISE
set -uo pipefail
program=$1
status=0
fail() { echo "FAILED: $*"; status=1; }
bare() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG "$@"; }

out=$(bare LANG=de_DE.UTF-8 "$program" --help 2>&1); rc=$?
[ $rc -eq 0 ] || fail "--help ended with $rc"
grep -q -- "--webcam" <<<"$out" && grep -q "Aufruf:" <<<"$out" || fail "--help auf Deutsch: $out"
out=$(bare LANGUAGE=en LANG=C "$program" --help 2>&1); rc=$?
[ $rc -eq 0 ] && grep -q "Usage:" <<<"$out" && grep -q -- "--tray" <<<"$out" || fail "--help in English ($rc): $out"
out=$(bare "$program" --version 2>&1); rc=$?
[ $rc -eq 0 ] && grep -qx "Stillwise [0-9.]*" <<<"$out" || fail "--version ($rc): $out"
out=$(bare LANG=de_DE.UTF-8 "$program" --webcam --fenster 2>&1); rc=$?
[ $rc -eq 2 ] && grep -q "Unbekannte Option „--fenster“" <<<"$out" && grep -q -- "--help" <<<"$out" ||
    fail "unknown option ($rc): $out"
out=$(bare LANG=en_GB.UTF-8 "$program" --fenster 2>&1); rc=$?
[ $rc -eq 2 ] && grep -q "Unknown option" <<<"$out" || fail "unknown option in English ($rc): $out"

# Two starts in one session, on the offscreen platform with the built-in
# test camera.
session=$(mktemp -d)
chmod 700 "$session"
first=""
cleanup() {
    [ -n "$first" ] && kill -9 "$first" 2>/dev/null
    rm -rf "$session"
}
trap cleanup EXIT
start() {
    exec env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$session" XDG_CONFIG_HOME="$session/config" LANG=de_DE.UTF-8 \
        "$program" "$@"
}
start_within() {
    local seconds=$1
    shift
    timeout "$seconds" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$session" XDG_CONFIG_HOME="$session/config" \
        LANG=de_DE.UTF-8 "$program" "$@"
}
socket="$session/example.stillwise.stillwise.socket"
listening() {
    for _ in $(seq 100); do
        [ -S "$socket" ] && return 0
        sleep 0.1
    done
    return 1
}
start >"$session/first.log" 2>&1 &
first=$!
listening || fail "the first start does not listen on $socket"
for options in "" "--webcam" "--tray --webcam"; do
    SECONDS=0
    # shellcheck disable=SC2086
    start_within 20 $options; rc=$?
    [ $rc -eq 0 ] || fail "a second start ($options) ended with $rc"
    [ $SECONDS -le 5 ] || fail "a second start ($options) took $SECONDS s"
done
kill -0 "$first" 2>/dev/null || fail "the first start ended: $(cat "$session/first.log")"

# Killed without a chance to clean up: the next start runs all the same.
kill -9 "$first"
wait "$first" 2>/dev/null
first=""
[ -S "$socket" ] || echo "note: the killed program's socket is gone already"
start >"$session/next.log" 2>&1 &
first=$!
sleep 3
kill -0 "$first" 2>/dev/null || fail "after a crash the next start did not keep running: $(cat "$session/next.log")"
start_within 20 --tray; rc=$?
[ $rc -eq 0 ] || fail "a start after the crash did not hand over ($rc)"
[ $status -eq 0 ] && echo "ok"
exit $status
