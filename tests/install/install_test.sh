#!/usr/bin/env bash
# Installs Stillwise from a build tree into a temporary prefix and checks
# that the installed program is whole, then builds the Debian package and
# checks what it holds and what it depends on.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FEHLER: $*" >&2; exit 1; }

# What the package puts on a desktop: the program, its menu entry and
# software-centre entry (named by the maker's reversed domain), its man page
# in English and German, and its icon in every size of the hicolor theme.
id=example.stillwise.stillwise
icon_sizes="16 22 24 32 48 64 128 256 512"
files="bin/stillwise share/applications/$id.desktop share/metainfo/$id.metainfo.xml
       share/man/man1/stillwise.1 share/man/de/man1/stillwise.1 share/icons/hicolor/scalable/apps/stillwise.svg"
for size in $icon_sizes; do files+=" share/icons/hicolor/${size}x${size}/apps/stillwise.png"; done

# 1. Install into a prefix of our own.
cmake --install "$build" --prefix "$work/usr" > "$work/install.log"
for f in $files; do
  [ -e "$work/usr/$f" ] || fail "nicht installiert: $f"
done
for size in $icon_sizes; do
  png=$work/usr/share/icons/hicolor/${size}x${size}/apps/stillwise.png
  grep -q "PNG image data, $size x $size," <<<"$(file -b "$png")" || fail "das Symbol $size x $size ist $(file -b "$png")"
done

# 2. The desktop entry and the software centres' entry. scripts/install-deps.sh
#    brings the checkers; without them the test fails rather than passing
#    unchecked. validate-tree also checks that the entry's launchable desktop
#    file is installed beside it.
for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || fail "$tool fehlt (scripts/install-deps.sh installiert es)"
done
desktop-file-validate "$work/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
exec_line=$(grep '^Exec=' "$work/usr/share/applications/$id.desktop" | cut -d= -f2)
[ "$exec_line" = stillwise ] || fail "Exec der Desktop-Datei: $exec_line"
appstreamcli validate --pedantic --no-net "$work/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
appstreamcli validate-tree --pedantic --no-net "$work/usr" || fail "appstreamcli validate-tree"

# The man page in each language where man looks for it: English by default,
# German for a German session.
for lang in en de; do
  page=$(MANPATH="$work/usr/share/man" man -L "$lang" -w stillwise) || fail "man findet keine Seite für $lang"
  case $lang in
    en) want="$work/usr/share/man/man1/stillwise.1"; heading=DESCRIPTION ;;
    de) want="$work/usr/share/man/de/man1/stillwise.1"; heading=BESCHREIBUNG ;;
  esac
  [ "$page" = "$want" ] || fail "man -L $lang zeigt $page, nicht $want"
  grep -q "^\.SH $heading\$" "$page" || fail "$page ist nicht die Seite für $lang"
done

# 3. The installed program starts from the desktop entry's command, away
#    from the source and build trees, shows its first frame and finds its
#    pictures and icon; then it saves a picture of its main window, as
#    scripts/screenshots.sh has it do for the software centres.
(cd "$work" && PATH="$work/usr/bin:$PATH" STILLWISE_SELFCHECK=1 STILLWISE_SELFCHECK_GRAB="$work/window.png" \
   QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" timeout 60 "$exec_line") > "$work/start.log" 2>&1 \
  || { cat "$work/start.log"; fail "das installierte Programm startet nicht"; }
grep -q "Bilder und Symbol vorhanden" "$work/start.log" || { cat "$work/start.log"; fail "Selbsttest"; }
grep "erstes Bild" "$work/start.log"
grep -q "PNG image data, [0-9]\{3,\} x [0-9]\{3,\}," <<<"$(file -b "$work/window.png")" ||
  { cat "$work/start.log"; fail "kein Bild des Hauptfensters: $(file -b "$work/window.png")"; }

# 4. The Debian package. CPack needs file and dpkg-shlibdeps.
for tool in file dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || fail "$tool fehlt (scripts/install-deps.sh installiert es)"
done
(cd "$build" && cpack -G DEB -B "$work/pkg" > "$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/pkg/stillwise_*.deb)
info=$(dpkg-deb --info "$deb")
depends=$(printf '%s\n' "$info" | sed -n 's/^ Depends: //p')
for dep in libqt6widgets6 libqt6gui6 libqt6printsupport6 libqt6dbus6 libv4lconvert0 libyuv0 libturbojpeg0 libpipewire-0.3-0 \
           qt6-qpa-plugins fonts-dejavu-core fonts-dejavu-extra; do
  grep -q "$dep" <<<"$depends" || fail "Abhängigkeit fehlt: $dep (Depends: $depends)"
done
# The virtual webcam's kernel module is offered, not required.
grep -q "^ Suggests: .*v4l2loopback-dkms" <<<"$info" || fail "v4l2loopback-dkms fehlt unter Suggests"
grep -q v4l2loopback <<<"$depends" && fail "v4l2loopback darf keine Abhängigkeit sein (Depends: $depends)"
recommends=$(printf '%s\n' "$info" | sed -n 's/^ Recommends: //p')
for rec in qt6-translations-l10n xdg-utils; do
  grep -q "$rec" <<<"$recommends" || fail "Empfehlung fehlt: $rec (Recommends: $recommends)"
done
contents=$(dpkg-deb --contents "$deb")
for f in $files share/wireplumber/main.lua.d/60-stillwise-loopback.lua; do
  grep -q " ./usr/$f\$" <<<"$contents" || fail "nicht im Paket: /usr/$f"
done
echo "package: $(basename "$deb")"
echo "depends: $depends"
echo "install test passed"
