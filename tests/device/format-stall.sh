#!/usr/bin/env bash
# A camera that GStreamer's pipewiresink publishes, read through PipeWire in
# the test machine and linked anew twenty times in a row (each after one
# frame), a number of times: in most runs the publisher falls silent before
# the twentieth link. Each run's whole output (the test's, and with --debug
# PipeWire's and GStreamer's logs of every process, the daemon's included)
# goes to OUT/run-N.log.
#
#   tests/device/format-stall.sh [--debug] [--runs N] [--case NAME] BUILD_DIR OUT
#
# --case runs other cases of pipewire_source_device_test instead (a glob of
# their names), e.g. '*TwentyFormatChanges*' for the suite's own.
set -uo pipefail
here=$(dirname "$(readlink -f "$0")")

if [ "${1:-}" = --in-vm ]; then
    # Inside the machine's PipeWire session: the case, then the daemon's
    # and WirePlumber's logs.
    shift
    "$@"
    status=$?
    for f in pipewire wireplumber; do
        [ -s "$HOME/$f.log" ] || continue
        echo "===== $f.log"
        cat "$HOME/$f.log"
    done
    exit $status
fi

debug=0
env=()
runs=1
case_name='*TwentyRelinksOnAPublishedCamera*'
while [ $# -gt 2 ]; do
    case "$1" in
    --debug) debug=1 ;;
    --runs) runs=$2; shift ;;
    --case) case_name=$2; shift ;;
    *) break ;;
    esac
    shift
done
build=$(readlink -f "$1")
out=$2
mkdir -p "$out"
if [ "$debug" = 1 ]; then
    # Streams, nodes and links at debug level; pipewiresink and its pool
    # at log level.
    env+=(--env 'PIPEWIRE_DEBUG=2,pw.stream:5,pw.node:4,pw.link:4,pw.client-node:4,pw.impl-node:4,spa.*:3'
          --env 'GST_DEBUG=pipewiresink:6,pipewirepool:6,pipewiresrc:5,*:2' --env 'PIPEWIRE_LOG_TIMESTAMP=1')
fi
passed=0
for i in $(seq 1 "$runs"); do
    start=$(date +%s)
    "$here/run-in-vm.sh" --pipewire "${env[@]}" "$build/vm-cache" "$here/format-stall.sh" --in-vm \
        "$build/tests/device/pipewire_source_device_test" "--gtest_filter=$case_name" \
        --gtest_also_run_disabled_tests >"$out/run-$i.log" 2>&1
    status=$?
    [ "$status" = 0 ] && passed=$((passed + 1))
    echo "run $i: exit $status, $(($(date +%s) - start)) s; $(grep -E 'slowest|no frame after' "$out/run-$i.log" | tr '\n' ' ')"
done
echo "$passed of $runs runs passed"
