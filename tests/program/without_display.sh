#!/bin/sh
# Started where there is no display, the program says so in German and ends
# with an error instead of crashing.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$1" 2>&1)
rc=$?
echo "$out"
[ "$rc" -ne 0 ] && [ "$rc" -lt 128 ] && echo "$out" | grep -q "grafische Oberfläche" && echo "$out" | grep -q DISPLAY
