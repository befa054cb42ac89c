#!/usr/bin/env bash
# Builds Stillwise and runs every test. Installs what is missing first.
#   scripts/test.sh                 build in ./build and run all tests
#   BUILD_DIR=dir SANITIZE=ON scripts/test.sh   the same under ASan + UBSan
#   CTEST_ARGS="-L device" scripts/test.sh      pass options to ctest
#   FUZZ=ON scripts/test.sh         with clang: the sanitised build whose
#                                   libraries also serve the fuzz targets
#   WERROR=ON scripts/test.sh       any compiler warning fails the build
#   BENCH=ON|OFF                    the benchmarks (on unless sanitised)
#   BUILD_ONLY=1                    configure and build, run no test
#   DEBUG_INFO=lines                line tables only (enough for the
#                                   sanitizers' and gdb's backtraces), not
#                                   full debug information: a quarter less
#                                   compile time, as CI builds
# Each step prints its wall-clock and processor time (scripts/stage.sh);
# without CTEST_ARGS the tests without a device and the device tests are
# timed apart.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/stage.sh

stage "Pakete" scripts/install-deps.sh

build_dir=${BUILD_DIR:-build}
sanitize=${SANITIZE:-OFF}
fuzz=${FUZZ:-OFF}
bench=ON
[ "$sanitize" = ON ] || [ "$fuzz" = ON ] && bench=OFF
bench=${BENCH:-$bench}

flags=()
if [ "${DEBUG_INFO:-}" = lines ]; then
  flags+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
          "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
fi

stage "$build_dir: Konfiguration" \
  cmake -S . -B "$build_dir" -G Ninja -DSTILLWISE_SANITIZE="$sanitize" -DSTILLWISE_FUZZ="$fuzz" \
  -DSTILLWISE_BUILD_BENCH="$bench" -DSTILLWISE_WERROR="${WERROR:-OFF}" ${flags[@]+"${flags[@]}"}
stage "$build_dir: Bau" cmake --build "$build_dir" --parallel "$(nproc)"
[ "${BUILD_ONLY:-0}" = 1 ] && exit 0
cd "$build_dir"
if [ -n "${CTEST_ARGS:-}" ]; then
  # shellcheck disable=SC2086
  stage "$build_dir: Tests ($CTEST_ARGS)" ctest --output-on-failure --parallel "$(nproc)" $CTEST_ARGS
else
  stage "$build_dir: Tests ohne Gerät" ctest --output-on-failure --parallel "$(nproc)" -LE device
  stage "$build_dir: Gerätetests" ctest --output-on-failure --parallel "$(nproc)" -L device
fi
