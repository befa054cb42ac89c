#!/usr/bin/env bash
# Die Rauschminderung im Vergleich: erzeugt die Qualitätsclips (einmal, im
# Build-Ordner), läuft jeden Modus über jeden Clip mit jedem Rauschen und
# druckt die PSNR-Tabelle, die mittlere Zeit je Bild und die schlechtesten
# Fälle des automatischen Modus gegen die Vergleichsfilter.
#
#   bench/quality.sh
#
# Einstellungen (Umgebung):
#   BUILD_DIR        Build-Ordner (build)
#   QUALITY_MODES    eigene Modi ("input plain:60 motion:60:24 auto")
#   QUALITY_FFMPEG   FFmpeg-Filter ("hqdn3d hqdn3d-strong fftdnoiz nlmeans"; leer: keine)
#   QUALITY_SCENES   Szenen (alle, siehe stillwise-quality-set --list)
#   QUALITY_NOISES   Rauschen ("gauss4 gauss8 gauss15 cam8 cam15")
#   QUALITY_SIZE     Bildgröße (640x360), QUALITY_FRAMES Bilder je Clip (60)
#   QUALITY_JOBS     Clips zugleich (Zahl der Kerne)
#   QUALITY_SUMMARY  der Modus, den die letzten Spalten vergleichen (auto)
#
# Die Ergebnisse der FFmpeg-Filter werden je Clip und Filter im Ordner des
# Satzes aufbewahrt; ein zweiter Lauf rechnet nur die eigenen Modi neu.
# Schnell nur den automatischen Modus gegen die Vergleiche:
#   QUALITY_MODES="input auto" bench/quality.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
tool=$build_dir/bench/quality/stillwise-quality
generator=$build_dir/bench/quality/stillwise-quality-set
cmake --build "$build_dir" --target stillwise-quality stillwise-quality-set >/dev/null

modes=${QUALITY_MODES-input plain:60 motion:60:24 auto}
filters=${QUALITY_FFMPEG-hqdn3d hqdn3d-strong fftdnoiz nlmeans}
size=${QUALITY_SIZE:-640x360}
frames=${QUALITY_FRAMES:-60}
jobs=${QUALITY_JOBS:-$(nproc)}
summary=${QUALITY_SUMMARY:-auto}
{ read -r -a all_scenes; read -r -a all_noises; } < <("$generator" --list)
read -r -a scenes <<< "${QUALITY_SCENES:-${all_scenes[*]}}"
read -r -a noises <<< "${QUALITY_NOISES:-${all_noises[*]}}"
if [[ -n $filters ]] && ! command -v ffmpeg >/dev/null; then
    echo "ffmpeg fehlt: die Vergleichsfilter entfallen." >&2
    filters=
fi

# The set: made anew when the generator's version, the size or the length changed.
set_dir=$build_dir/quality-set/$size-$frames
stamp="$("$generator" --version) $size $frames"
if [[ ! -f $set_dir/stamp || $(cat "$set_dir/stamp") != "$stamp" ]]; then
    rm -rf "$set_dir"
    mkdir -p "$set_dir/cache"
fi
missing=()
for s in "${scenes[@]}"; do
    for n in clean "${noises[@]}"; do
        if [[ ! -f $set_dir/$s.$n.bgr ]]; then
            missing+=("$s")
            break
        fi
    done
done
if ((${#missing[@]})); then
    echo "Erzeuge Clips ($size, $frames Bilder): ${missing[*]}" >&2
    noise_args=()
    for n in "${noises[@]}"; do noise_args+=(--noise "$n"); done
    printf '%s\n' "${missing[@]}" |
        xargs -P "$jobs" -I{} "$generator" "$set_dir" --size "$size" --frames "$frames" --scene {} "${noise_args[@]}"
    echo "$stamp" > "$set_dir/stamp"
fi

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One clip with one noise: the own modes anew, FFmpeg's from the cache where it has them.
run_clip() {
    local scene=$1 noise=$2 out=$results/$1.$2
    local clip=(--clean "$set_dir/$scene.clean.bgr" --noisy "$set_dir/$scene.$noise.bgr" --size "$size")
    local mode_args=() m f cached
    for m in $modes; do mode_args+=(--mode "$m"); done
    if ((${#mode_args[@]})); then
        "$tool" "${clip[@]}" "${mode_args[@]}" > "$out.own"
    fi
    : > "$out.ffmpeg"
    for f in $filters; do
        cached=$set_dir/cache/$scene.$noise.$f
        if [[ ! -s $cached ]]; then
            "$tool" "${clip[@]}" --mode "ffmpeg:$f" > "$cached.part"
            mv "$cached.part" "$cached"
        fi
        cat "$cached" >> "$out.ffmpeg"
    done
}
export -f run_clip
export tool set_dir size modes filters results

for s in "${scenes[@]}"; do
    for n in "${noises[@]}"; do
        echo "$s $n"
    done
done | xargs -P "$jobs" -n 2 bash -c 'run_clip "$@"' _

columns="$modes"
for f in $filters; do columns+=" ffmpeg:$f"; done
for s in "${scenes[@]}"; do
    for n in "${noises[@]}"; do
        cat "$results/$s.$n.own" "$results/$s.$n.ffmpeg" 2>/dev/null | sed "s|^|$s/$n |"
    done
done | awk -v columns="$columns" -v summary="$summary" -v size="$size" -v frames="$frames" '
    # Input lines: "CLIP MODE PSNR dB MS ms".
    {
        if (!($1 in seen)) { seen[$1] = 1; clips[++nclips] = $1 }
        psnr[$1, $2] = $3
        ms[$2] += $5
        runs[$2]++
    }
    function best(clip, a, b,    x, y) {
        x = ((clip, a) in psnr) ? psnr[clip, a] : ""
        y = ((clip, b) in psnr) ? psnr[clip, b] : ""
        if (x == "") return y
        if (y == "" || x + 0 > y + 0) return x
        return y
    }
    function delta(clip, other, name,    own) {
        if (!((clip, summary) in psnr) || other == "") { printf " %9s", "–"; return }
        own = psnr[clip, summary] - other
        printf " %+9.2f", own
        if (!(name in worst) || own < worst[name]) { worst[name] = own; worstClip[name] = clip }
        sum[name] += own; count[name]++
    }
    END {
        n = split(columns, col, " ")
        printf "PSNR in dB (%s, %d Bilder, ab Bild 10)\n", size, frames
        printf "%-16s", "Clip"
        for (i = 1; i <= n; ++i) { h = col[i]; sub(/^ffmpeg:/, "", h); printf " %9s", substr(h, 1, 9) }
        printf " %9s %9s %9s\n", "−hqdn3d", "−fft/nlm", "−input"
        for (c = 1; c <= nclips; ++c) {
            clip = clips[c]
            printf "%-16s", clip
            for (i = 1; i <= n; ++i)
                printf " %9s", ((clip, col[i]) in psnr) ? psnr[clip, col[i]] : "–"
            delta(clip, best(clip, "ffmpeg:hqdn3d", "ffmpeg:hqdn3d-strong"), "hq")
            delta(clip, best(clip, "ffmpeg:fftdnoiz", "ffmpeg:nlmeans"), "off")
            delta(clip, ((clip, "input") in psnr) ? psnr[clip, "input"] : "", "in")
            printf "\n"
        }
        printf "%-16s", "ms je Bild"
        for (i = 1; i <= n; ++i)
            printf " %9s", (col[i] in runs) ? sprintf("%.2f", ms[col[i]] / runs[col[i]]) : "–"
        printf "\n\n"
        label["hq"] = "besseres hqdn3d"; label["off"] = "besseres von fftdnoiz/nlmeans"; label["in"] = "Eingang"
        split("hq off in", names, " ")
        for (k = 1; k <= 3; ++k) {
            name = names[k]
            if (!(name in worst)) continue
            printf "%s minus %s: schlechtester Fall %+.2f dB (%s), Mittel %+.2f dB\n", summary, label[name],
                   worst[name], worstClip[name], sum[name] / count[name]
        }
    }'
