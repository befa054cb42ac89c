#!/usr/bin/env bash
# Installs the Debian packages Stillwise needs to build, run and test, and
# only those that are missing. Runs apt-get directly as root, through sudo
# otherwise. Extra package names may be given as arguments.
set -euo pipefail

packages=(
  # building
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev
  # the faces the windows are laid out for (the About box's heading asks
  # for DejaVu Sans Condensed); without them fontconfig picks another
  fonts-dejavu-core fonts-dejavu-extra
  # the English translation: lrelease builds it, lupdate checks it
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  libv4l-dev libudev-dev libcups2-dev libyuv-dev libturbojpeg0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # the PipeWire camera
  libpipewire-0.3-dev libspa-0.2-dev
  # the install test: the Debian package (CPack needs file and
  # dpkg-shlibdeps), the desktop entry's and the software-centre entry's
  # checkers, and man and groff for the man pages
  file dpkg-dev desktop-file-utils appstream man-db groff-base
  # the print test: a scheduler of its own with a PDF queue, and the tools
  # that read the PDFs back
  cups cups-client cups-ipp-utils printer-driver-cups-pdf poppler-utils
  # the device tests: a throwaway virtual machine with the vivid camera,
  # v4l2-ctl as a separate reader of the virtual webcam, and ffmpeg, which
  # feeds the MJPEG camera and decodes its JPEGs independently
  qemu-system-x86 qemu-system-data busybox-static kmod cpio xz-utils
  v4l-utils ffmpeg
  # the PipeWire device test: the daemon, its session manager and SPA
  # plugins, a session bus, udevd (WirePlumber's V4L2 monitor needs it), and
  # GStreamer's PipeWire reader
  pipewire pipewire-bin wireplumber libspa-0.2-modules dbus-daemon udev
  gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  # bench/measure_program.sh, bench/soak.sh and scripts/screenshots.sh run
  # the program on a virtual X server
  xvfb
  # fuzz/: the targets are built with clang; libFuzzer and clang's
  # sanitizer runtimes come in the compiler-rt package
  clang-14 libclang-rt-14-dev
  # a compiler cache: a second build of the same sources, in another tree
  # or after a clean, takes a fraction of the time
  ccache
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "Es fehlen Pakete (${missing[*]}), und ohne root-Rechte oder sudo kann ich sie nicht installieren." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
