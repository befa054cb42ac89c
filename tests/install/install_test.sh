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

# 1. Install into a prefix of our own.
cmake --install "$build" --prefix "$work/usr" > "$work/install.log"
for f in bin/stillwise share/applications/stillwise.desktop share/man/man1/stillwise.1 \
         share/icons/hicolor/scalable/apps/stillwise.svg share/icons/hicolor/48x48/apps/stillwise.png; do
  [ -e "$work/usr/$f" ] || fail "nicht installiert: $f"
done

# 2. The desktop entry. scripts/install-deps.sh brings the checker; without
#    it the test fails rather than passing unchecked.
command -v desktop-file-validate >/dev/null ||
  fail "desktop-file-validate fehlt (Paket desktop-file-utils; scripts/install-deps.sh installiert es)"
desktop-file-validate "$work/usr/share/applications/stillwise.desktop" || fail "desktop-file-validate"
exec_line=$(grep '^Exec=' "$work/usr/share/applications/stillwise.desktop" | cut -d= -f2)
[ "$exec_line" = stillwise ] || fail "Exec der Desktop-Datei: $exec_line"

# 3. The installed program starts from the desktop entry's command, away
#    from the source and build trees, shows its first frame and finds its
#    pictures and icon.
(cd "$work" && PATH="$work/usr/bin:$PATH" STILLWISE_SELFCHECK=1 QT_QPA_PLATFORM=offscreen \
   XDG_CONFIG_HOME="$work/config" timeout 60 "$exec_line") > "$work/start.log" 2>&1 \
  || { cat "$work/start.log"; fail "das installierte Programm startet nicht"; }
grep -q "Bilder und Symbol vorhanden" "$work/start.log" || { cat "$work/start.log"; fail "Selbsttest"; }
grep "erstes Bild" "$work/start.log"

# 4. The Debian package. CPack needs file and dpkg-shlibdeps.
for tool in file dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || fail "$tool fehlt (scripts/install-deps.sh installiert es)"
done
(cd "$build" && cpack -G DEB -B "$work/pkg" > "$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/pkg/stillwise_*.deb)
info=$(dpkg-deb --info "$deb")
depends=$(printf '%s\n' "$info" | sed -n 's/^ Depends: //p')
for dep in libqt6widgets6 libqt6gui6 libqt6printsupport6 libqt6dbus6 libv4lconvert0 libyuv0 libturbojpeg0 libpipewire-0.3-0 \
           qt6-qpa-plugins; do
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
for f in ./usr/bin/stillwise ./usr/share/applications/stillwise.desktop ./usr/share/man/man1/stillwise.1 \
         ./usr/share/icons/hicolor/48x48/apps/stillwise.png \
         ./usr/share/wireplumber/main.lua.d/60-stillwise-loopback.lua; do
  grep -q " $f\$" <<<"$contents" || fail "nicht im Paket: $f"
done
echo "package: $(basename "$deb")"
echo "depends: $depends"
echo "install test passed"
