#!/bin/sh
# The program's language comes from the environment: started where there is
# no display, it says so in the language chosen. LANGUAGE=en gives English
# also where the locale is C; a German locale, or none, gives German.
#   program_language.sh STILLWISE
program=$1
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG "$@" \
        "$program" 2>&1
}
status=0
expect() {
    what=$1
    text=$2
    shift 2
    out=$(run "$@")
    if echo "$out" | grep -q "$text"; then
        echo "ok: $what"
    else
        echo "FAILED: $what: expected \"$text\", got: $out"
        status=1
    fi
}
expect "LANGUAGE=en with LANG=C" "needs a graphical desktop" LANGUAGE=en LANG=C
expect "LANG=en_GB.UTF-8" "needs a graphical desktop" LANG=en_GB.UTF-8
expect "LANG=de_DE.UTF-8" "braucht eine grafische Oberfläche" LANG=de_DE.UTF-8
expect "LANGUAGE=de with LANG=en_US.UTF-8" "braucht eine grafische Oberfläche" LANGUAGE=de LANG=en_US.UTF-8
expect "LANG=C.UTF-8" "braucht eine grafische Oberfläche" LANG=C.UTF-8
expect "nothing set" "braucht eine grafische Oberfläche"

# The windows: started on the offscreen platform, the self-check prints
# the main window's captions and a number as the program writes it.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
captions() {
    env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG QT_QPA_PLATFORM=offscreen STILLWISE_SELFCHECK=1 \
        STILLWISE_SELFCHECK_TEXTS=1 XDG_CONFIG_HOME="$home" XDG_RUNTIME_DIR="$home" "$@" timeout 60 "$program" 2>&1 |
        grep "Beschriftungen"
}
check() {
    what=$1
    text=$2
    shift 2
    out=$(captions "$@")
    if [ "$out" = "$text" ]; then
        echo "ok: $what: $out"
    else
        echo "FAILED: $what: expected \"$text\", got \"$out\""
        status=1
    fi
}
check "window under LANGUAGE=en, LANG=C" \
    "Stillwise: Beschriftungen: Configure camera… | &Snapshot | Spare motion | Output as webcam; Zahl: 1.5" \
    LANGUAGE=en LANG=C
check "window under LANG=de_DE.UTF-8" \
    "Stillwise: Beschriftungen: Cam konfigurieren | &Schnappschuß | Bewegung schonen | Als Webcam ausgeben; Zahl: 1,5" \
    LANG=de_DE.UTF-8
exit $status
