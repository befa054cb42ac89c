#!/usr/bin/env bash
# Installs the Debian packages Stillwise needs to build, run and test, and
# only those that are missing. Runs apt-get directly as root, through sudo
# otherwise. Extra package names may be given as arguments.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libgl-dev
  libv4l-dev libjpeg62-turbo-dev libyuv-dev libturbojpeg0-dev
  libgtest-dev libgmock-dev libbenchmark-dev
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
