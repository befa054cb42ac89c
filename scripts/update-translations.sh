#!/usr/bin/env bash
# Brings translations/stillwise_en.ts up to date with the texts in the
# program's sources: new texts are added unfinished, vanished ones marked
# obsolete and dropped. Translate the new ones (Qt Linguist, or by hand in
# the file), then run this again; the lupdate check in the tests fails while
# a text has no finished translation.
#   scripts/update-translations.sh [TS-FILE]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
ts=${1:-$root/translations/stillwise_en.ts}
lupdate=${LUPDATE:-/usr/lib/qt6/bin/lupdate}
cd "$root"
# The folders whose code the program runs; tests, benchmarks, fuzzers and
# the picture painter say nothing to the user.
"$lupdate" -silent -locations none -no-obsolete -source-language de_DE -target-language en_GB \
    -extensions cpp,h -I "$root" \
    app viewer widgets capture camera output platform pixels denoise dib records resources/Resources.cpp \
    -ts "$ts"
