#!/usr/bin/env bash
# Was die Auto-Glättung auf einer bewegten 1080p-Szene kostet, neben FFmpegs
# hqdn3d auf denselben Bildern im selben Lauf: Millisekunden je Bild.
#
#   bench/quality/speed.sh
#
# Einstellungen (Umgebung):
#   BUILD_DIR      Build-Ordner (build)
#   SPEED_SCENE    Szene des Qualitätssatzes (pan: jeder Bildpunkt bewegt sich)
#   SPEED_NOISE    Rauschen (gauss8), SPEED_SIZE Bildgröße (1920x1080)
#   SPEED_FRAMES   Bilder (40), SPEED_ROUNDS Durchgänge (3; gezeigt wird der Median)
#   QUALITY_TOOL   ein anderes stillwise-quality; dann wird nichts gebaut
#
# Die Auto-Glättung: Prozessorzeit des Qualitätswerkzeugs mit „auto“ minus
# derselben mit „input“ (Lesen und Vergleichen), je Bild; mit allen Kernen
# die Wanduhrzeit des Bildschritts, die das Werkzeug selbst misst.
# hqdn3d (Voreinstellung): ffmpeg -benchmark -threads 1 -filter_threads 1 auf
# planarem GBR (dieselben Bytes wie die BGR-Bilder, keine Umwandlung im
# Filter), Prozessorzeit minus derselben mit -vf null, je Bild.
set -euo pipefail
cd "$(dirname "$0")/../.."

build_dir=${BUILD_DIR:-build}
scene=${SPEED_SCENE:-pan}
noise=${SPEED_NOISE:-gauss8}
size=${SPEED_SIZE:-1920x1080}
frames=${SPEED_FRAMES:-40}
rounds=${SPEED_ROUNDS:-3}
generator=$build_dir/bench/quality/stillwise-quality-set
command -v ffmpeg >/dev/null || { echo "ffmpeg fehlt" >&2; exit 2; }
if [[ -n ${QUALITY_TOOL:-} ]]; then
    tool=$QUALITY_TOOL
else
    tool=$build_dir/bench/quality/stillwise-quality
    cmake --build "$build_dir" --target stillwise-quality stillwise-quality-set >/dev/null
fi

dir=$build_dir/quality-speed/$size-$frames
stamp="$("$generator" --version) $scene $noise"
if [[ ! -f $dir/stamp || $(cat "$dir/stamp") != "$stamp" ]]; then
    rm -rf "$dir"
    mkdir -p "$dir"
    echo "Erzeuge $scene ($size, $frames Bilder, $noise)" >&2
    "$generator" "$dir" --size "$size" --frames "$frames" --scene "$scene" --noise "$noise"
    ffmpeg -v error -f rawvideo -pix_fmt bgr24 -s "$size" -i "$dir/$scene.$noise.bgr" \
        -f rawvideo -pix_fmt gbrp -y "$dir/$scene.$noise.gbrp"
    echo "$stamp" > "$dir/stamp"
fi
clip=(--clean "$dir/$scene.clean.bgr" --noisy "$dir/$scene.$noise.bgr" --size "$size")

# Processor seconds (user + system) of a command, its output thrown away.
cpu_seconds() {
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }'
}
# FFmpeg's own account of its processor time (-benchmark: utime and stime).
ffmpeg_seconds() {
    ffmpeg -hide_banner -nostdin -benchmark -threads 1 -filter_threads 1 -f rawvideo -pix_fmt gbrp -s "$size" \
        -i "$dir/$scene.$noise.gbrp" -vf "$1" -f null - 2>&1 |
        sed -n 's/.*utime=\([0-9.]*\)s stime=\([0-9.]*\)s.*/\1 \2/p' | awk '{ print $1 + $2 }'
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
per_frame() { awk -v a="$1" -v b="$2" -v n="$frames" 'BEGIN { printf "%.1f", (a - b) * 1000 / n }'; }

threads_arg=()
all_cores=
if "$tool" --help 2>&1 | grep -q -- '--threads'; then
    threads_arg=(--threads 1)
    all_cores=$(nproc)
fi

own1=() ownAll=() hq=()
for ((r = 0; r < rounds; ++r)); do
    base=$(cpu_seconds "$tool" "${clip[@]}" --mode input "${threads_arg[@]}")
    run=$(cpu_seconds "$tool" "${clip[@]}" --mode auto "${threads_arg[@]}")
    own1+=("$(per_frame "$run" "$base")")
    if [[ -n $all_cores ]]; then
        ownAll+=("$("$tool" "${clip[@]}" --mode auto --threads "$all_cores" | awk '{ print $4 }')")
    fi
    null=$(ffmpeg_seconds null)
    filtered=$(ffmpeg_seconds hqdn3d)
    hq+=("$(per_frame "$filtered" "$null")")
done

echo "$scene $size $noise, $frames Bilder, Median aus $rounds Durchgängen (ms je Bild):"
printf '  auto, 1 Thread (Prozessorzeit):          %s   [%s]\n' "$(printf '%s\n' "${own1[@]}" | median)" "${own1[*]}"
if [[ -n $all_cores ]]; then
    printf '  auto, %d Threads (Wanduhr):               %s   [%s]\n' "$all_cores" \
        "$(printf '%s\n' "${ownAll[@]}" | median)" "${ownAll[*]}"
else
    echo "  auto mit allen Kernen: das Werkzeug kennt --threads noch nicht"
fi
printf '  hqdn3d, 1 Thread, GBR (Prozessorzeit):   %s   [%s]\n' "$(printf '%s\n' "${hq[@]}" | median)" "${hq[*]}"
