#!/bin/sh
# The screenshots of the software centres' entry
# (packaging/example.stillwise.stillwise.metainfo.xml): the real program on a
# virtual X server (Xvfb) with its built-in test camera, once per language,
# saves a picture of its main window two seconds after the first frame
# (STILLWISE_SELFCHECK_GRAB, see app/SelfCheck.h).
#
#   scripts/screenshots.sh [PATH/TO/stillwise] [LANGUAGE...]
#
# Writes docs/screenshot-LANGUAGE.png for each language (default: de en).
# When a picture's size changes, change width and height in the metainfo
# file too; the packaging_files test compares them. Needs xvfb (Xvfb).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/app/stillwise}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] || set -- de en
[ -x "$program" ] || { echo "kein Programm $program (erst bauen: cmake --build build --target stillwise)" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb fehlt (Paket xvfb)" >&2; exit 2; }

work=$(mktemp -d)
xpid=
cleanup() {
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

. "$root/scripts/xvfb.sh"
start_xvfb 1280x1024x24 "$work/xvfb.log" || exit 1

mkdir -p "$work/runtime"
chmod 700 "$work/runtime"
for lang in "$@"; do
    # A fresh settings folder each time: the window as a new user sees it.
    rm -rf "$work/config"
    mkdir -p "$work/config"
    # The desktop's language decides the program's (LANGUAGE first, as
    # everywhere); the rest of the locale stays neutral.
    env -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 LANGUAGE="$lang" \
        DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
        STILLWISE_SELFCHECK=1 STILLWISE_SELFCHECK_GRAB="$root/docs/screenshot-$lang.png" "$program"
done
