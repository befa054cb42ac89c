#!/usr/bin/env bash
# Runs a test program on a real V4L2 camera: boots Debian's kernel in a
# throwaway QEMU machine with the kernel's vivid test driver loaded, the
# host's root file system mounted read-only (with a RAM overlay), and runs
# the program there as root. Prints one "skipped" line and succeeds when
# QEMU or the kernel cannot be had.
#
#   run-in-vm.sh [--loopback] [--pipewire] [--udev] [--env NAME=VALUE]... CACHE_DIR PROGRAM [ARGS...]
#
# --loopback also loads v4l2loopback, built for the machine's kernel, after
# vivid: /dev/video5 is a loopback node labelled "Stillwise" (where a program
# offers its picture as a camera) and /dev/video6 one labelled "Testquelle"
# (fed by a writer such as ffmpeg, read as a camera). Both announce only
# output until a writer streams, as browsers need.
#
# --pipewire runs the program inside a PipeWire session: udevd, a session
# bus, the PipeWire daemon and WirePlumber, started by pipewire-session.sh
# beside this script (the host's packages pipewire, pipewire-bin,
# wireplumber, libspa-0.2-modules, dbus-daemon, udev and GStreamer's
# PipeWire reader, which the VM sees through the host's file system).
set -uo pipefail

loopback=0
pipewire=0
udev=0
extra_env=""
while [ $# -gt 0 ]; do
    case "$1" in
    --loopback) loopback=1 ;;
    --pipewire) pipewire=1 ;;
    --udev) udev=1 ;;
    --env)
        shift
        case "$1" in
        [A-Za-z_]*=*) ;;
        *) echo "run-in-vm.sh: --env wants NAME=VALUE, not '$1'" >&2; exit 2 ;;
        esac
        extra_env="$extra_env '${1//\'/}'"
        ;;
    *) break ;;
    esac
    shift
done
cache=$1
shift
program=$(readlink -f "$1")
shift

# Where the machine cannot run the VM, the test says so in one line and
# passes; continuous integration sets STILLWISE_REQUIRE_DEVICE=1, and there
# the same reason fails the test.
skip() {
    if [ "${STILLWISE_REQUIRE_DEVICE:-0}" = 1 ]; then
        echo "device test cannot run: $*"
        exit 1
    fi
    echo "vivid device test skipped: $*"
    exit 0
}

# Several device tests may start at once on an empty cache: one installs
# the packages and prepares the kernel and the loopback module while the
# others wait for it.
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9

packages=(qemu-system-x86 qemu-system-data busybox-static kmod cpio xz-utils)
if [ "$udev" = 1 ]; then
    packages+=(udev)
fi
if [ "$pipewire" = 1 ]; then
    packages+=(pipewire pipewire-bin wireplumber libspa-0.2-modules dbus-daemon udev gstreamer1.0-pipewire
        gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -eq 0 ]; then
        sudo=()
    elif sudo -n true 2>/dev/null; then
        sudo=(sudo -n)
    else
        skip "missing ${missing[*]} and no way to install them"
    fi
    export DEBIAN_FRONTEND=noninteractive
    { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } \
        >/dev/null 2>&1 || skip "cannot install ${missing[*]}"
fi
qboot=/usr/share/qemu/qboot.rom
[ -r "$qboot" ] || skip "no $qboot"

# The kernel the distribution's meta package points at, unpacked once into
# the cache; nothing is installed on the host.
package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n1)
[ -n "$package" ] || skip "cannot tell which kernel package linux-image-amd64 needs"
kver=${package#linux-image-}
kroot=$cache/$kver
if [ ! -f "$kroot/ready" ]; then
    rm -rf "$kroot"
    mkdir -p "$kroot/download"
    (cd "$kroot/download" && apt-get download "$package" >/dev/null 2>&1) || skip "cannot download $package"
    dpkg-deb -x "$kroot"/download/*.deb "$kroot/root" || skip "cannot unpack $package"
    rm -rf "$kroot/download"
    depmod -b "$kroot/root" "$kver" || skip "depmod failed"
    touch "$kroot/ready"
fi
vmlinuz=$kroot/root/boot/vmlinuz-$kver
[ -r "$vmlinuz" ] || skip "no kernel image in $package"

# The loopback module is built from Debian's source package against the
# kernel's headers, once per kernel; nothing is installed into the host's
# module tree and dkms never runs.
loopback_ko=$cache/v4l2loopback-$kver/v4l2loopback.ko
if [ "$loopback" = 1 ] && [ ! -f "$loopback_ko" ]; then
    headers=linux-headers-$kver
    if ! dpkg-query -W -f='${Status}' "$headers" 2>/dev/null | grep -q "install ok installed" \
        || ! command -v make >/dev/null || ! command -v gcc >/dev/null; then
        [ "$(id -u)" -eq 0 ] || skip "$headers, make or gcc missing and not root"
        { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$headers" make gcc; } \
            >/dev/null 2>&1 || skip "cannot install $headers"
    fi
    build=$cache/v4l2loopback-build
    rm -rf "$build"
    mkdir -p "$build"
    (cd "$build" && apt-get download v4l2loopback-dkms >/dev/null 2>&1) || skip "cannot download v4l2loopback-dkms"
    dpkg-deb -x "$build"/v4l2loopback-dkms_*.deb "$build/x" || skip "cannot unpack v4l2loopback-dkms"
    src=$(ls -d "$build"/x/usr/src/v4l2loopback-* 2>/dev/null | head -n1)
    [ -n "$src" ] || skip "no source in v4l2loopback-dkms"
    make -C "/usr/src/linux-headers-$kver" M="$src" modules >"$build/make.log" 2>&1 \
        || { tail -n 20 "$build/make.log"; skip "the loopback module does not build"; }
    mkdir -p "$(dirname "$loopback_ko")"
    cp "$src/v4l2loopback.ko" "$loopback_ko"
    rm -rf "$build"
fi
flock -u 9
exec 9>&-

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=$work/results
mkdir -p "$results" "$work/initrd"/{bin,proc,sys,dev,lower,upper,newroot,modules}

# Modules with their dependencies, in load order, uncompressed for busybox.
: >"$work/initrd/modules/order"
for m in virtio_pci 9pnet_virtio 9p overlay vivid; do
    modprobe -d "$kroot/root" -S "$kver" --show-depends "$m" 2>/dev/null | while read -r kind path _; do
        [ "$kind" = insmod ] || continue
        name=$(basename "$path")
        name=${name%.xz}
        name=${name%.zst}
        grep -qx "$name" "$work/initrd/modules/order" && continue
        case "$path" in
        *.xz) xz -dc "$path" >"$work/initrd/modules/$name" ;;
        *.zst) zstd -qdc "$path" >"$work/initrd/modules/$name" ;;
        *) cp "$path" "$work/initrd/modules/$name" ;;
        esac
        echo "$name" >>"$work/initrd/modules/order"
    done
done
grep -qx vivid.ko "$work/initrd/modules/order" || skip "the kernel has no vivid module"
if [ "$loopback" = 1 ]; then
    cp "$loopback_ko" "$work/initrd/modules/v4l2loopback.ko"
    echo v4l2loopback.ko >>"$work/initrd/modules/order"
fi

cp /bin/busybox "$work/initrd/bin/busybox"
quoted_args=""
for a in "$@"; do quoted_args="$quoted_args '$a'"; done
if [ "$pipewire" = 1 ]; then
    session=$(readlink -f "$(dirname "$0")/pipewire-session.sh")
    quoted_args="'$program'$quoted_args"
    program=$session
elif [ "$udev" = 1 ]; then
    session=$(readlink -f "$(dirname "$0")/udev-session.sh")
    quoted_args="'$program'$quoted_args"
    program=$session
fi
cat >"$work/initrd/init" <<INIT
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in \$(cat /modules/order); do
    if [ "\$m" = vivid.ko ]; then
        insmod /modules/\$m n_devs=1 node_types=0x1 num_inputs=1 input_types=0x0
    elif [ "\$m" = v4l2loopback.ko ]; then
        insmod /modules/\$m devices=2 video_nr=5,6 card_label=Stillwise,Testquelle exclusive_caps=1,1 max_buffers=4
    else
        insmod /modules/\$m
    fi
done
mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000 hostroot /lower
mount -t tmpfs tmpfs /upper
mkdir -p /upper/u /upper/w
mount -t overlay overlay -o lowerdir=/lower,upperdir=/upper/u,workdir=/upper/w /newroot
mount -t proc proc /newroot/proc
mount -t sysfs sys /newroot/sys
mount -t devtmpfs dev /newroot/dev
# A scratch folder of the guest's own. Not over /tmp: the build tree being
# tested may itself lie below the host's /tmp.
mkdir -p /newroot/run/vm-scratch
mount -t tmpfs tmpfs /newroot/run/vm-scratch
mkdir -p /newroot$results
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 results /newroot$results
: >/newroot$results/booted
chroot /newroot /usr/bin/env -i PATH=/usr/bin:/bin HOME=/run/vm-scratch XDG_RUNTIME_DIR=/run/vm-scratch \
    LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen $extra_env \
    /bin/sh -c "cd /run/vm-scratch && '$program' $quoted_args" >/newroot$results/log 2>&1
echo \$? >/newroot$results/status
sync
poweroff -f
INIT
chmod +x "$work/initrd/init"
(cd "$work/initrd" && find . | cpio -o -H newc --quiet | gzip -1 >"$work/initrd.img")

# A kernel that stalls while it boots (under an emulated processor on a
# busy machine its timer checks can hang) never runs the program: such a
# boot is cut short and the machine started once more. The program itself
# runs once; its failures are never retried.
boot_limit=240
boot() {
    rm -f "$results/booted"
    timeout 600 qemu-system-x86_64 -accel tcg,thread=multi -cpu max -m 1024 -smp 2 -bios "$qboot" \
        -nodefaults -display none -no-reboot -serial "file:$work/console" \
        -kernel "$vmlinuz" -initrd "$work/initrd.img" -append "console=ttyS0 quiet panic=-1 no_timer_check" \
        -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
        -virtfs "local,path=$results,mount_tag=results,security_model=none,multidevs=remap" &
    local pid=$! waited=0
    while [ ! -e "$results/booted" ] && kill -0 "$pid" 2>/dev/null && [ "$waited" -lt "$boot_limit" ]; do
        sleep 1
        waited=$((waited + 1))
    done
    if [ ! -e "$results/booted" ] && kill -0 "$pid" 2>/dev/null; then
        echo "the virtual machine did not boot within $boot_limit s; its console:"
        tail -n 20 "$work/console"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return 125
    fi
    wait "$pid"
}
boot
qemu=$?
if [ "$qemu" -eq 125 ] && [ ! -e "$results/booted" ]; then
    echo "starting the virtual machine once more"
    boot
    qemu=$?
fi

cat "$results/log" 2>/dev/null
if [ ! -f "$results/status" ]; then
    echo "the virtual machine ended without a result (qemu exit $qemu); its console:"
    tail -n 40 "$work/console"
    exit 1
fi
exit "$(cat "$results/status")"
