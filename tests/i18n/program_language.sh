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
exit $status
