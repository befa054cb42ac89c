#!/bin/sh
# Starts what a desktop session runs for PipeWire (a session bus, the
# PipeWire daemon, WirePlumber), runs PROGRAM in it, and ends them again.
# run-in-vm.sh --pipewire runs it inside the VM; it also works on a machine
# without a session of its own, as root or not.
#
#   pipewire-session.sh PROGRAM [ARGS...]
#
# The daemon's process id is in $XDG_RUNTIME_DIR/pipewire.pid, so that a
# test can stop it mid-stream; $STILLWISE_PIPEWIRE_RESTART names a command
# that starts it again.
set -u

: "${HOME:=/tmp}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
say() { echo "pipewire-session: $*" >&2; }

start_pipewire() {
    pipewire >"$HOME/pipewire.log" 2>&1 &
    echo $! >"$XDG_RUNTIME_DIR/pipewire.pid"
    i=0
    while [ ! -S "$XDG_RUNTIME_DIR/pipewire-0" ] && [ $i -lt 100 ]; do sleep 0.2; i=$((i + 1)); done
}
start_wireplumber() {
    wireplumber >"$HOME/wireplumber.log" 2>&1 &
    echo $! >"$XDG_RUNTIME_DIR/wireplumber.pid"
    # Ready once it shows up as a client of the daemon.
    i=0
    until pw-dump 2>/dev/null | grep -q '"application.name": "WirePlumber"'; do
        [ $i -lt 150 ] || { say "WirePlumber does not come up"; cat "$HOME/wireplumber.log" >&2; return 1; }
        sleep 0.2
        i=$((i + 1))
    done
}
# A test starts the daemon again after stopping it (WirePlumber leaves
# with it); the bus and the configuration are still there.
if [ "${1:-}" = --restart ]; then
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    start_pipewire
    start_wireplumber
    exit
fi

# udevd, where there is one, lets WirePlumber's V4L2 monitor see the
# machine's cameras and loopback nodes, as on a desktop.
# One that runs already is left alone; one started here is ended at the end.
own_udevd=0
if [ -x /lib/systemd/systemd-udevd ] && [ -d /sys/class ] && [ "$(id -u)" -eq 0 ] && [ ! -S /run/udev/control ]; then
    mkdir -p /run/udev
    if /lib/systemd/systemd-udevd --daemon >/dev/null 2>&1; then
        own_udevd=1
        udevadm trigger --action=add && udevadm settle -t 30
    fi
fi

# Without a session bus PipeWire runs but its portal module cannot start.
dbus-daemon --session --fork --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-pid=3 3>"$XDG_RUNTIME_DIR/dbus.pid" \
    || { say "dbus-daemon does not start"; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"

# WirePlumber 0.4 loads its Bluetooth monitor, which needs logind (systemd)
# and, failing, takes WirePlumber down. The drop-in must sort before
# 90-enable-all.lua.
mkdir -p "$HOME/.config/wireplumber/bluetooth.lua.d"
echo 'bluez_monitor.enabled = false' >"$HOME/.config/wireplumber/bluetooth.lua.d/60-no-bluetooth.lua"
# The package's rule that keeps our loopback node out of PipeWire, when the
# tree being tested has one.
rule=$(dirname "$0")/../../packaging/wireplumber/60-stillwise-loopback.lua
if [ -f "$rule" ]; then
    mkdir -p "$HOME/.config/wireplumber/main.lua.d"
    cp "$rule" "$HOME/.config/wireplumber/main.lua.d/"
fi

start_pipewire
[ -S "$XDG_RUNTIME_DIR/pipewire-0" ] || { say "PipeWire does not start"; cat "$HOME/pipewire.log" >&2; exit 1; }
start_wireplumber || exit 1

export STILLWISE_PIPEWIRE_RESTART="$0 --restart"

# GStreamer builds its plugin registry at its first start: under an
# emulated processor beside a busy build that took more than 30 s, and a
# desktop has it long before anybody reads a camera. Built here, so that no
# test's bounds count it.
if command -v gst-inspect-1.0 >/dev/null 2>&1; then
    gst-inspect-1.0 pipewiresrc >/dev/null 2>&1 || say "GStreamer has no pipewiresrc"
fi

"$@"
status=$?
for f in wireplumber pipewire dbus; do
    [ -f "$XDG_RUNTIME_DIR/$f.pid" ] && kill "$(cat "$XDG_RUNTIME_DIR/$f.pid")" 2>/dev/null
done
[ "$own_udevd" = 1 ] && udevadm control --exit
exit $status
