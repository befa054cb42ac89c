#!/usr/bin/env bash
# Builds Stillwise and runs every test. Installs what is missing first.
#   scripts/test.sh                 build in ./build and run all tests
#   BUILD_DIR=dir SANITIZE=ON scripts/test.sh   the same under ASan + UBSan
#   CTEST_ARGS="-L device" scripts/test.sh      pass options to ctest
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
sanitize=${SANITIZE:-OFF}
bench=ON
[ "$sanitize" = ON ] && bench=OFF

cmake -S . -B "$build_dir" -G Ninja -DSTILLWISE_SANITIZE="$sanitize" -DSTILLWISE_BUILD_BENCH="$bench"
cmake --build "$build_dir" --parallel "$(nproc)"
cd "$build_dir"
# shellcheck disable=SC2086
ctest --output-on-failure --parallel "$(nproc)" ${CTEST_ARGS:-}
