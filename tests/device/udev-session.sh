#!/bin/sh
# Runs PROGRAM with the udev daemon running, as on a desktop: the kernel's
# device events reach programs through udev's monitor, not only sysfs.
# run-in-vm.sh --udev runs it inside the VM (as root).
#
#   udev-session.sh PROGRAM [ARGS...]
set -u

[ -x /lib/systemd/systemd-udevd ] || { echo "udev-session: no /lib/systemd/systemd-udevd" >&2; exit 1; }
mkdir -p /run/udev
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || { echo "udev-session: udevd does not start" >&2; exit 1; }
# udevadm does nothing in a chroot (the machine runs the program in one)
# unless told to.
export SYSTEMD_IGNORE_CHROOT=1
udevadm trigger --action=add && udevadm settle -t 30

"$@"
status=$?
udevadm control --exit
exit $status
