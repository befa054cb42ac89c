#!/usr/bin/env bash
# Checks the files that describe Stillwise to the desktop and to software
# centres, as they are in the source tree: the AppStream entry (validated
# pedantically, offline), the desktop entry, both man pages, every icon
# size and the screenshots the entry names; and that they agree with each
# other and with the program's version.
#   packaging_files_test.sh SOURCE_DIR VERSION APP_ID
set -euo pipefail
src=$(cd "$1" && pwd)
version=$2
id=$3
fail() { echo "FEHLER: $*" >&2; exit 1; }
for tool in appstreamcli desktop-file-validate groff file; do
  command -v "$tool" >/dev/null || fail "$tool fehlt (scripts/install-deps.sh installiert es)"
done

metainfo=$src/packaging/$id.metainfo.xml
desktop=$src/packaging/$id.desktop
[ -f "$metainfo" ] || fail "keine AppStream-Datei $metainfo"
[ -f "$desktop" ] || fail "keine Desktop-Datei $desktop"

# 1. The AppStream entry. Infos are allowed (the validator does not know
#    every top-level domain), warnings and errors are not.
appstreamcli validate --pedantic --no-net "$metainfo" || fail "appstreamcli validate"
xml=$(<"$metainfo")
# The text of the first element NAME without attributes, or with ATTRS.
element() { sed -n "s|^ *<$1>\\(.*\\)</${1%% *}>\$|\\1|p" <<<"$xml" | head -n1; }
[ "$(element id)" = "$id" ] || fail "die Kennung in $metainfo ist $(element id), nicht $id"
[ "$(element 'launchable type="desktop-id"')" = "$id.desktop" ] ||
  fail "launchable nennt $(element 'launchable type="desktop-id"'), die Desktop-Datei heißt $id.desktop"
first_release=$(sed -n 's|^ *<release version="\([^"]*\)".*|\1|p' <<<"$xml" | head -n1)
[ "$first_release" = "$version" ] ||
  fail "die neueste Ausgabe in $metainfo ist $first_release, das Programm ist $version (CMakeLists.txt)"
for lang_tag in 'name xml:lang="de"' 'summary xml:lang="de"'; do
  [ -n "$(element "$lang_tag")" ] || fail "die deutsche Fassung fehlt: <$lang_tag>"
done
grep -q '<p xml:lang="de">' <<<"$xml" || fail "die Beschreibung hat keine deutsche Fassung"

# 2. The desktop entry starts what the entry says it provides.
desktop-file-validate "$desktop" || fail "desktop-file-validate"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$(element binary)" = "$exec_line" ] ||
  fail "provides/binary ist $(element binary), die Desktop-Datei startet $exec_line"
for key in Name GenericName Comment Keywords; do
  grep -q "^$key=" "$desktop" || fail "$key fehlt in der Desktop-Datei"
  grep -q "^$key\[de\]=" "$desktop" || fail "$key[de] fehlt in der Desktop-Datei"
done
icon=$(sed -n 's/^Icon=//p' "$desktop")

# 3. Both man pages format without a single warning, and each says how to
#    choose the language.
for page in stillwise.1 stillwise.de.1; do
  warnings=$(groff -k -man -Tutf8 -ww -z "$src/packaging/$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warnt bei $page: $warnings"
  for lang in de en; do
    grep -q "^LANGUAGE=$lang stillwise\$" "$src/packaging/$page" ||
      fail "$page sagt nicht, wie man mit LANGUAGE=$lang startet"
  done
  # Every option the program takes (app/CommandLine.cpp).
  for option in webcam tray help version; do
    grep -q "^\.B.* \\\\-\\\\-$option" "$src/packaging/$page" || fail "$page beschreibt --$option nicht"
  done
done

# 4. The icon the desktop entry names, in every size of the hicolor theme,
#    each picture as large as its name says.
[ "$icon" = stillwise ] || fail "die Desktop-Datei nennt das Symbol $icon"
grep -q '<svg' "$src/resources/icons/$icon.svg" || fail "keine Zeichnung $icon.svg"
for size in 16 22 24 32 48 64 128 256 512; do
  png=$src/resources/icons/$icon-$size.png
  [ -f "$png" ] || fail "Symbol fehlt: $png"
  grep -q "PNG image data, $size x $size," <<<"$(file -b "$png")" || fail "$png ist $(file -b "$png")"
done

# 5. Each screenshot the entry names is a file in docs/ of the size the entry
#    gives, so software centres lay it out before they have loaded it.
shots=$(sed -n 's|^ *<image type="source" width="\([0-9]*\)" height="\([0-9]*\)"[^>]*>https://[^<]*/docs/\([^</]*\)</image>$|\1 \2 \3|p' <<<"$xml")
[ "$(wc -l <<<"$shots")" -ge 2 ] || fail "die AppStream-Datei nennt nicht je ein Bildschirmfoto auf Englisch und Deutsch"
grep -q " screenshot-de.png\$" <<<"$shots" || fail "die AppStream-Datei nennt docs/screenshot-de.png nicht"
grep -q " screenshot-en.png\$" <<<"$shots" || fail "die AppStream-Datei nennt docs/screenshot-en.png nicht"
while read -r width height name; do
  shot=$src/docs/$name
  [ -f "$shot" ] || fail "Bildschirmfoto fehlt: docs/$name (scripts/screenshots.sh macht es)"
  grep -q "PNG image data, $width x $height," <<<"$(file -b "$shot")" ||
    fail "docs/$name ist $(file -b "$shot"), die AppStream-Datei sagt $width x $height"
done <<<"$shots"
echo "packaging files passed"
