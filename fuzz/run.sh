#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/build.sh) and runs each one from its seeds
# for a fixed number of inputs; fails when any target reports a crash, a
# sanitizer finding, a failed check, a leak or a run out of memory.
#   fuzz/run.sh            as in CI: 50000 inputs per target
#   fuzz/run.sh 10000000   a long run (hours)
#   FUZZ_BUILD_DIR=dir fuzz/run.sh   the targets of another tree (fuzz/build.sh)
# The automatic smoother's target takes a 50th as many, as each of its inputs
# is a whole stream of frames. The camera memory target takes a 25th as
# many: each of its inputs saves a settings file three times; four of its
# seeds are run once more in a file with 10,000 other sections.
# A target works in build-fuzz/fuzz-work/NAME/corpus, copied from
# fuzz/seeds/NAME at each start; what it reports lands next to it in
# findings/, and its whole output in log.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-50000}
fuzz/build.sh

build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
work=$build_dir/fuzz-work
# Each target runs on one core: as many run side by side as the machine has
# cores (FUZZ_JOBS overrides). With a fixed count and seed, a target does the
# same work whatever runs beside it.
jobs_max=${FUZZ_JOBS:-$(nproc)}
names=()

# fuzz NAME TARGET RUNS SEED...: fuzzes TARGET for RUNS inputs starting from
# the seed files; with RUNS "once", runs each seed once and nothing else.
# Writes its verdict to NAME's folder: a line to show, and "ok" or not.
fuzz() {
  local name=$1 target=$2 count=$3
  shift 3
  local dir=$work/$name
  local inputs=("$dir/corpus") executed=
  if [ "$count" = once ]; then
    inputs=("$dir"/corpus/*)
    count=1
    executed=$#
  fi
  local start=$SECONDS status=0
  # A fixed random seed, so that a CI run can be repeated as it went.
  "$build_dir"/fuzz/"$target" -runs="$count" -seed=1 -timeout=60 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" "${inputs[@]}" >"$dir/log" 2>&1 || status=$?
  [ -z "$executed" ] && executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$name: ${executed:-?} Eingaben ohne Befund ($((SECONDS - start)) s)" >"$dir/verdict"
    echo ok >"$dir/status"
  else
    {
      echo "$name: BEFUND nach ${executed:-?} Eingaben ($((SECONDS - start)) s):"
      grep -aE '^==[0-9]+==ERROR|^SUMMARY|runtime error|==fuzz check failed==|Test unit written' "$dir/log" |
        head -n 8 | sed 's/^/  /'
      echo "  ganze Ausgabe: $dir/log"
    } >"$dir/verdict"
    echo "$status" >"$dir/status"
  fi
}

# run NAME TARGET RUNS SEED...: prepares NAME's folder and starts fuzz in
# the background once a core is free.
run() {
  local name=$1
  local dir=$work/$name
  shift
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/findings"
  cp "${@:3}" "$dir/corpus/"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do
    wait -n || true
  done
  names+=("$name")
  fuzz "$name" "$@" &
}

seeds=fuzz/seeds
# The slowest first, so that the last to start is a short one.
run camera_memory camera_memory_fuzzer "$(((runs + 24) / 25))" "$seeds"/camera_memory/*
run frame_conversion frame_conversion_fuzzer "$runs" "$seeds"/frame_conversion/*
run jpeg_decoder jpeg_decoder_fuzzer "$runs" "$seeds"/jpeg_decoder/*
run loopback loopback_fuzzer "$runs" "$seeds"/loopback/*
run pipewire pipewire_fuzzer "$runs" "$seeds"/pipewire/*
# Each of its inputs smooths a stream of frames on up to eight threads: a
# fiftieth as many.
run auto_smoother auto_smoother_fuzzer "$(((runs + 49) / 50))" "$seeds"/auto_smoother/*
# A few of its seeds in a file that has seen 10,000 other cameras: seconds
# each under the sanitizers.
STILLWISE_FUZZ_SECTIONS=10000 run camera_memory_10000_sections camera_memory_fuzzer once \
  "$seeds"/camera_memory/{remembered,menu_out_of_range,another_cameras_section,garbage}
wait

failed=()
for name in "${names[@]}"; do
  if [ "$(cat "$work/$name/status" 2>/dev/null)" = ok ]; then
    cat "$work/$name/verdict"
  else
    cat "$work/$name/verdict" 2>/dev/null >&2 || echo "$name: kein Ergebnis" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing: Befunde in ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing: keine Befunde"
