#!/bin/bash
# Prints each benchmark's median CPU time as a ratio to its yardstick,
# Memcpy of the same frame size (Memcpy/1280/800 for the clipped drawing).
#
#   bench/ratios.sh [FILTER] [REPETITIONS] [ROUNDS]
#
# On a shared machine one run of a memory-bound benchmark can be 20 % off the
# next. So the repetitions of all chosen benchmarks and their yardsticks are
# interleaved at random, so that a busy spell slows both alike, and with
# ROUNDS > 1 the whole run is repeated: each round gives a ratio, and the
# line shows their median and range.
#
# STILLWISE_BENCH names the benchmark program (build/bench/stillwise-bench).
set -euo pipefail

filter=${1:-.}
repetitions=${2:-9}
rounds=${3:-1}
bench=${STILLWISE_BENCH:-$(dirname "$0")/../build/bench/stillwise-bench}
if [[ ! -x $bench ]]; then
    echo "No benchmark program at $bench: build with -DSTILLWISE_BUILD_BENCH=ON (scripts/test.sh does)." >&2
    exit 1
fi

for ((round = 0; round < rounds; ++round)); do
    QT_QPA_PLATFORM=offscreen "$bench" --benchmark_filter="^Memcpy/|$filter" \
        --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null |
        # One key per line in the report: a run's name comes before its time.
        awk -F'"' '
            $2 == "name" { name = $4 }
            $2 == "cpu_time" && name ~ /_median$/ {
                sub(/_median$/, "", name)
                value = $3
                gsub(/[:, ]/, "", value)
                time[name] = value
                order[++n] = name
            }
            # The unit follows the time; all are turned into nanoseconds.
            $2 == "time_unit" && (name in time) {
                scale["us"] = 1e3; scale["ms"] = 1e6; scale["s"] = 1e9
                if ($4 in scale)
                    time[name] *= scale[$4]
                delete scale
            }
            END {
                for (i = 1; i <= n; ++i) {
                    name = order[i]
                    if (name ~ /^Memcpy\//)
                        continue
                    if (!match(name, /W:[0-9]+\/H:[0-9]+/))
                        continue
                    yard = name ~ /^RenderDIB\// ? "Memcpy/W:1280/H:800" : "Memcpy/" substr(name, RSTART, RLENGTH)
                    if (yard in time)
                        printf "%s %.3f\n", name, time[name] / time[yard]
                }
            }'
done | awk '
    { ratios[$1] = ratios[$1] " " $2; if (!($1 in seen)) { seen[$1] = 1; order[++n] = $1 } }
    END {
        for (i = 1; i <= n; ++i) {
            name = order[i]
            k = split(substr(ratios[name], 2), r, " ")
            for (a = 1; a <= k; ++a)
                for (b = a + 1; b <= k; ++b)
                    if (r[b] + 0 < r[a] + 0) { t = r[a]; r[a] = r[b]; r[b] = t }
            median = k % 2 ? r[(k + 1) / 2] : (r[k / 2] + r[k / 2 + 1]) / 2
            if (k == 1)
                printf "%-45s %5.2fx\n", name, median
            else
                printf "%-45s %5.2fx  (%d rounds, %.2f to %.2f)\n", name, median, k, r[1], r[k]
        }
    }' | sort
