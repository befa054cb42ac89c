#!/usr/bin/env bash
# Builds Stillwise in ./build (installing what is missing first) and starts
# it. Without a camera, the built-in test camera in slot 0 shows live frames.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Stillwise braucht eine grafische Oberfläche, findet aber keine: weder DISPLAY (X11) noch" >&2
  echo "WAYLAND_DISPLAY (Wayland) ist gesetzt. Starten Sie scripts/run.sh in einer Desktop-Sitzung" >&2
  echo "(oder z. B. mit 'xvfb-run scripts/run.sh')." >&2
  exit 2
fi

scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja
cmake --build "$build_dir" --target stillwise --parallel "$(nproc)"
exec "$build_dir/app/stillwise"
