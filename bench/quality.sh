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
#   QUALITY_TOOL     ein anderes stillwise-quality (etwa eine Kopie eines
#                    älteren Stands zum Vergleich); dann wird nichts gebaut
#   QUALITY_MODES    eigene Modi ("input plain:60 motion:60:24 auto")
#   QUALITY_FFMPEG   FFmpeg-Filter ("hqdn3d hqdn3d-4 hqdn3d-strong hqdn3d-8
#                    hqdn3d-12 hqdn3d-16 fftdnoiz nlmeans"; leer: keine)
#   QUALITY_SCENES   Szenen, NAME oder NAME@BxH für eine andere Größe (alle,
#                    siehe stillwise-quality-set --list, dazu face@176x144
#                    und face@1280x720)
#   QUALITY_NOISES   Rauschen ("gauss4 gauss8 gauss15 cam8 cam15")
#   QUALITY_SIZE     Bildgröße (640x360), QUALITY_FRAMES Bilder je Clip (60)
#   QUALITY_JOBS     Clips zugleich (Zahl der Kerne)
#   QUALITY_SUMMARY  der Modus, den die letzten Spalten vergleichen (auto)
#   QUALITY_MARKDOWN 1: die Tabelle als Markdown, wie im README (die
#                    hqdn3d-Einstellungen zu einer Spalte, der besten, zusammengefasst)
#
# Die Ergebnisse der FFmpeg-Filter werden je Clip und Filter im Ordner des
# Satzes aufbewahrt; ein zweiter Lauf rechnet nur die eigenen Modi neu.
# Schnell nur den automatischen Modus gegen die Vergleiche:
#   QUALITY_MODES="input auto" bench/quality.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${BUILD_DIR:-build}
generator=$build_dir/bench/quality/stillwise-quality-set
if [[ -n ${QUALITY_TOOL:-} ]]; then
    tool=$QUALITY_TOOL
else
    tool=$build_dir/bench/quality/stillwise-quality
    cmake --build "$build_dir" --target stillwise-quality stillwise-quality-set >/dev/null
fi

modes=${QUALITY_MODES-input plain:60 motion:60:24 auto}
filters=${QUALITY_FFMPEG-hqdn3d hqdn3d-4 hqdn3d-strong hqdn3d-8 hqdn3d-12 hqdn3d-16 fftdnoiz nlmeans}
size=${QUALITY_SIZE:-640x360}
frames=${QUALITY_FRAMES:-60}
jobs=${QUALITY_JOBS:-$(nproc)}
summary=${QUALITY_SUMMARY:-auto}
markdown=${QUALITY_MARKDOWN:-0}
{ read -r -a all_scenes; read -r -a all_noises; } < <("$generator" --list)
# The video call also at the sizes of a small and of a good webcam.
all_scenes+=(face@176x144 face@1280x720)
read -r -a scenes <<< "${QUALITY_SCENES:-${all_scenes[*]}}"
read -r -a noises <<< "${QUALITY_NOISES:-${all_noises[*]}}"
if [[ -n $filters ]] && ! command -v ffmpeg >/dev/null; then
    echo "ffmpeg fehlt: die Vergleichsfilter entfallen." >&2
    filters=
fi

# A scene entry's name and size: NAME at the set's size, NAME@WxH at its own.
scene_name() { echo "${1%@*}"; }
scene_size() { if [[ $1 == *@* ]]; then echo "${1#*@}"; else echo "$size"; fi; }

# A set per size: made anew when the generator's version, the size or the
# length changed.
declare -A made
mkdir -p "$build_dir/quality-set"
for entry in "${scenes[@]}"; do
    s=$(scene_name "$entry")
    sz=$(scene_size "$entry")
    set_dir=$build_dir/quality-set/$sz-$frames
    stamp="$("$generator" --version) $sz $frames"
    if [[ -z ${made[$sz]:-} ]]; then
        made[$sz]=1
        if [[ ! -f $set_dir/stamp || $(cat "$set_dir/stamp") != "$stamp" ]]; then
            rm -rf "$set_dir"
            mkdir -p "$set_dir/cache"
            echo "$stamp" > "$set_dir/stamp"
        fi
    fi
    for n in clean "${noises[@]}"; do
        if [[ ! -f $set_dir/$s.$n.bgr ]]; then
            echo "$s $sz"
            break
        fi
    done
done > "$build_dir/quality-set/.missing"
if [[ -s $build_dir/quality-set/.missing ]]; then
    echo "Erzeuge Clips ($frames Bilder): $(tr '\n' ' ' < "$build_dir/quality-set/.missing")" >&2
    make_clip() {
        local noise_args=() n
        for n in $noises_text; do noise_args+=(--noise "$n"); done
        "$generator" "$build_dir/quality-set/$2-$frames" --size "$2" --frames "$frames" --scene "$1" "${noise_args[@]}"
    }
    export -f make_clip
    noises_text="${noises[*]}"
    export generator build_dir frames noises_text
    xargs -P "$jobs" -n 2 bash -c 'make_clip "$@"' _ < "$build_dir/quality-set/.missing"
fi
rm -f "$build_dir/quality-set/.missing"

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One clip with one noise: the own modes anew, FFmpeg's from the cache where it has them.
run_clip() {
    local entry=$1 noise=$2 out=$results/${1//\//_}.$2
    local scene=${entry%@*} sz=$size
    [[ $entry == *@* ]] && sz=${entry#*@}
    local set_dir=$build_dir/quality-set/$sz-$frames
    local clip=(--clean "$set_dir/$scene.clean.bgr" --noisy "$set_dir/$scene.$noise.bgr" --size "$sz")
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
export tool build_dir size frames modes filters results

for s in "${scenes[@]}"; do
    for n in "${noises[@]}"; do
        echo "$s $n"
    done
done | xargs -P "$jobs" -n 2 bash -c 'run_clip "$@"' _

columns="$modes"
for f in $filters; do columns+=" ffmpeg:$f"; done
for s in "${scenes[@]}"; do
    for n in "${noises[@]}"; do
        cat "$results/${s//\//_}.$n.own" "$results/${s//\//_}.$n.ffmpeg" 2>/dev/null | sed "s|^|$s/$n |"
    done
done | awk -v columns="$columns" -v summary="$summary" -v size="$size" -v frames="$frames" -v markdown="$markdown" '
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
    # The best of hqdn3d`s settings for a clip, and which it was (bestHq).
    function bestHqdn3d(clip,    i, v, top) {
        top = ""; bestHq = ""
        for (i = 1; i <= n; ++i) {
            if (col[i] !~ /^ffmpeg:hqdn3d/ || !((clip, col[i]) in psnr)) continue
            v = psnr[clip, col[i]]
            if (top == "" || v + 0 > top + 0) { top = v; bestHq = col[i] }
        }
        return top
    }
    function delta(clip, other, name,    own) {
        if (!((clip, summary) in psnr) || other == "") { if (!markdown) printf " %9s", "–"; return }
        own = psnr[clip, summary] - other
        if (!markdown) printf " %+9.2f", own
        if (!(name in worst) || own < worst[name]) { worst[name] = own; worstClip[name] = clip }
        sum[name] += own; count[name]++
        if (own < target[name]) missed[name]++
    }
    function setting(name) { sub(/^ffmpeg:hqdn3d/, "", name); sub(/^-/, "", name); return name == "" ? "def." : name }
    END {
        n = split(columns, col, " ")
        target["hq"] = 1; target["off"] = 0; target["in"] = 0
        if (markdown) {
            # Own modes, then the best hqdn3d, then the other filters.
            m = 0
            for (i = 1; i <= n; ++i) if (col[i] !~ /^ffmpeg:hqdn3d/) { if (col[i] ~ /^ffmpeg:/) break; shown[++m] = col[i] }
            shown[++m] = "hqdn3d"
            for (i = 1; i <= n; ++i) if (col[i] ~ /^ffmpeg:/ && col[i] !~ /^ffmpeg:hqdn3d/) shown[++m] = col[i]
            printf "| clip |"
            for (i = 1; i <= m; ++i) { h = shown[i]; sub(/^ffmpeg:/, "", h); printf " %s |", (h == "hqdn3d" ? "best hqdn3d (setting)" : h) }
            printf "\n|---|"
            for (i = 1; i <= m; ++i) printf "---|"
            printf "\n"
        } else {
            printf "PSNR in dB (%s, %d Bilder, ab Bild 10)\n", size, frames
            printf "%-22s", "Clip"
            for (i = 1; i <= n; ++i) { h = col[i]; sub(/^ffmpeg:/, "", h); printf " %9s", substr(h, 1, 9) }
            printf " %9s %9s %9s\n", "−hqdn3d", "−fft/nlm", "−input"
        }
        for (c = 1; c <= nclips; ++c) {
            clip = clips[c]
            hq = bestHqdn3d(clip)
            if (markdown) {
                top = ""
                for (i = 1; i <= m; ++i) {
                    v = shown[i] == "hqdn3d" ? hq : (((clip, shown[i]) in psnr) ? psnr[clip, shown[i]] : "")
                    value[i] = v
                    if (v != "" && (top == "" || v + 0 > top + 0)) top = v
                }
                printf "| %s |", clip
                for (i = 1; i <= m; ++i) {
                    v = value[i] == "" ? "–" : value[i]
                    if (value[i] != "" && value[i] + 0 == top + 0) v = "**" v "**"
                    if (shown[i] == "hqdn3d" && hq != "") v = v " (" setting(bestHq) ")"
                    printf " %s |", v
                }
                printf "\n"
            } else {
                printf "%-22s", clip
                for (i = 1; i <= n; ++i)
                    printf " %9s", ((clip, col[i]) in psnr) ? psnr[clip, col[i]] : "–"
            }
            delta(clip, hq, "hq")
            delta(clip, best(clip, "ffmpeg:fftdnoiz", "ffmpeg:nlmeans"), "off")
            delta(clip, ((clip, "input") in psnr) ? psnr[clip, "input"] : "", "in")
            if (!markdown) printf "\n"
        }
        if (markdown) {
            printf "| ms per frame |"
            for (i = 1; i <= m; ++i) {
                if (shown[i] == "hqdn3d") { printf " – |"; continue }
                printf " %s |", (shown[i] in runs) ? sprintf("%.2f", ms[shown[i]] / runs[shown[i]]) : "–"
            }
            printf "\n\n"
        } else {
            printf "%-22s", "ms je Bild"
            for (i = 1; i <= n; ++i)
                printf " %9s", (col[i] in runs) ? sprintf("%.2f", ms[col[i]] / runs[col[i]]) : "–"
            printf "\n\n"
        }
        label["hq"] = "bestes hqdn3d"; label["off"] = "besseres von fftdnoiz/nlmeans"; label["in"] = "Eingang"
        goal["hq"] = "unter +1 dB"; goal["off"] = "darunter"; goal["in"] = "darunter"
        split("hq off in", names, " ")
        for (k = 1; k <= 3; ++k) {
            name = names[k]
            if (!(name in worst)) continue
            printf "%s minus %s: schlechtester Fall %+.2f dB (%s), Mittel %+.2f dB, %d von %d %s\n", summary,
                   label[name], worst[name], worstClip[name], sum[name] / count[name], missed[name] + 0, count[name],
                   goal[name]
        }
    }'
