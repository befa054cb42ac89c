#!/usr/bin/env bash
# The README's picture of the three ways to smooth: one frame of a moving
# scene with camera-like noise, as the plain running average, motion sparing
# and the automatic smoother leave it, side by side.
#
#   bench/quality-picture.sh [OUT.png]     (docs/denoise-three-modes.png)
#
# Needs the benchmarks built (build/bench/quality) and ffmpeg.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
out=${1:-$root/docs/denoise-three-modes.png}
tool=$build_dir/bench/quality/stillwise-quality
generator=$build_dir/bench/quality/stillwise-quality-set
for program in "$tool" "$generator"; do
    [[ -x $program ]] || { echo "$program fehlt: erst mit -DSTILLWISE_BUILD_BENCH=ON bauen." >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg fehlt." >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$generator" "$work" --scene subject --noise cam8 >/dev/null
modes=(plain:60 motion:60:24 auto)
args=()
for m in "${modes[@]}"; do args+=(--mode "$m" --out "$m=$work/${m//:/-}.y4m"); done
"$tool" --clean "$work/subject.clean.bgr" --noisy "$work/subject.cam8.bgr" --size 640x360 "${args[@]}"

# Frame 45, where the disc has moved for a while; the part around it.
pick='select=eq(n\,45),crop=352:240:272:0'
ffmpeg -loglevel error -y -i "$work/plain-60.y4m" -i "$work/motion-60-24.y4m" -i "$work/auto.y4m" \
    -filter_complex "[0]$pick[a];[1]$pick[b];[2]$pick[c];[a][b][c]hstack=inputs=3" -frames:v 1 "$out"
echo "$out"
