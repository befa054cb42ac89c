#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/build.sh) and runs each one from its seeds
# for a fixed number of inputs; fails when any target reports a crash, a
# sanitizer finding, a failed check, a leak or a run out of memory.
#   fuzz/run.sh            as in CI: 50000 inputs per target
#   fuzz/run.sh 10000000   a long run (hours)
# The camera memory target takes a 25th as many: each of its inputs saves a
# settings file three times; four of its seeds are run once more in a file
# with 10,000 other sections.
# A target works in build-fuzz/fuzz-work/NAME/corpus, copied from
# fuzz/seeds/NAME at each start; what it reports lands next to it in
# findings/, and its whole output in log.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-50000}
fuzz/build.sh

work=build-fuzz/fuzz-work
failed=()

# run NAME TARGET RUNS SEED...: fuzzes TARGET for RUNS inputs starting from
# the seed files; with RUNS "once", runs each seed once and nothing else.
run() {
  local name=$1 target=$2 count=$3
  shift 3
  local dir=$work/$name
  rm -rf "$dir"
  mkdir -p "$dir/corpus" "$dir/findings"
  cp "$@" "$dir/corpus/"
  local inputs=("$dir/corpus") executed=
  if [ "$count" = once ]; then
    inputs=("$dir"/corpus/*)
    count=1
    executed=$#
  fi
  local start=$SECONDS status=0
  # A fixed random seed, so that a CI run can be repeated as it went.
  build-fuzz/fuzz/"$target" -runs="$count" -seed=1 -timeout=60 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" "${inputs[@]}" >"$dir/log" 2>&1 || status=$?
  [ -z "$executed" ] && executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$name: ${executed:-?} Eingaben ohne Befund ($((SECONDS - start)) s)"
  else
    echo "$name: BEFUND nach ${executed:-?} Eingaben ($((SECONDS - start)) s):" >&2
    grep -aE '^==[0-9]+==ERROR|^SUMMARY|runtime error|==fuzz check failed==|Test unit written' "$dir/log" |
      head -n 8 | sed 's/^/  /' >&2
    echo "  ganze Ausgabe: $dir/log" >&2
    failed+=("$name")
  fi
}

seeds=fuzz/seeds
run frame_conversion frame_conversion_fuzzer "$runs" "$seeds"/frame_conversion/*
run jpeg_decoder jpeg_decoder_fuzzer "$runs" "$seeds"/jpeg_decoder/*
run loopback loopback_fuzzer "$runs" "$seeds"/loopback/*
run pipewire pipewire_fuzzer "$runs" "$seeds"/pipewire/*
run auto_smoother auto_smoother_fuzzer "$runs" "$seeds"/auto_smoother/*
run camera_memory camera_memory_fuzzer "$(((runs + 24) / 25))" "$seeds"/camera_memory/*
# A few of its seeds in a file that has seen 10,000 other cameras: seconds
# each under the sanitizers.
export STILLWISE_FUZZ_SECTIONS=10000
run camera_memory_10000_sections camera_memory_fuzzer once \
  "$seeds"/camera_memory/{remembered,menu_out_of_range,another_cameras_section,garbage}
unset STILLWISE_FUZZ_SECTIONS

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing: Befunde in ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing: keine Befunde"
