#!/usr/bin/env bash
# Configures and builds the fuzz tree in ./build-fuzz with clang (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer); only the named targets and
# the libraries they need are built, by default the six fuzz targets.
#   fuzz/build.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# Debian names its compilers by version; plain clang where that is all.
cc=$(command -v clang-14 || command -v clang || true)
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cc" ] || [ -z "$cxx" ]; then
  echo "Für die Fuzz-Ziele fehlt clang (Pakete clang-14 und libclang-rt-14-dev)." >&2
  exit 1
fi

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(frame_conversion_fuzzer jpeg_decoder_fuzzer camera_memory_fuzzer loopback_fuzzer pipewire_fuzzer auto_smoother_fuzzer)

# The compilers count only when the tree is first configured.
CC=$cc CXX=$cxx cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSTILLWISE_FUZZ=ON -DSTILLWISE_BUILD_TESTS=OFF -DSTILLWISE_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --parallel "$(nproc)" --target "${targets[@]}"
