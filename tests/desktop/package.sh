#!/usr/bin/env bash
# The Debian package holds what a desktop needs of the program: the program, its picture
# helper and pictures, a menu entry that keeps the desktop's rules, the icon and the
# drawing types; and its dependencies are Debian's packages by name.
#   package.sh kumolist_<version>_amd64.deb
set -euo pipefail
deb=$1
case "$(basename "$deb")" in kumolist_*_amd64.deb) ;; *) echo "not the package's name: $deb" >&2; exit 1 ;; esac
files=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
missing=0
for want in ./usr/bin/kumolist ./usr/libexec/kumolist/kumolist-picture ./usr/share/kumolist/img/icon1.ico \
            ./usr/libexec/kumolist/kumolist-thumbnailer ./usr/share/thumbnailers/kumolist.thumbnailer \
            ./usr/share/applications/kumolist.desktop ./usr/share/icons/hicolor/48x48/apps/kumolist.png \
            ./usr/share/icons/hicolor/256x256/apps/kumolist.png ./usr/share/mime/packages/kumolist.xml \
            ./usr/share/doc/kumolist/copyright ./usr/share/man/man1/kumolist.1.gz; do
  grep -qxF "$want" <<<"$files" || { echo "missing from the package: $want" >&2; missing=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for want in libqt6widgets6 libfbclient2 libemf2svg1 libwmf fonts-noto-cjk xdg-utils qt6-image-formats-plugins; do
  grep -q "$want" <<<"$depends" || { echo "not a dependency: $want ($depends)" >&2; missing=1; }
done
[ $missing -eq 0 ] || exit 1
# The menu entry as the package installs it, checked by the desktop's own rules.
entry=$(mktemp -d)
trap 'rm -rf "$entry"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/kumolist.desktop >"$entry/kumolist.desktop"
desktop-file-validate "$entry/kumolist.desktop"
# File managers run the thumbnailer by the path its file names: where the package puts it.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/thumbnailers/kumolist.thumbnailer >"$entry/kumolist.thumbnailer"
grep -qxF "TryExec=/usr/libexec/kumolist/kumolist-thumbnailer" "$entry/kumolist.thumbnailer" ||
  { echo "the thumbnailer file names another program: $(cat "$entry/kumolist.thumbnailer")" >&2; exit 1; }
# The manual page reads without a warning from its formatter.
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/kumolist.1.gz | gzip -dc >"$entry/kumolist.1"
warnings=$(command -v man >/dev/null && LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$entry/kumolist.1" 2>&1 >/dev/null || true)
[ -z "$warnings" ] || { echo "the manual page has faults: $warnings" >&2; exit 1; }
echo "the package holds the program, its helpers, a valid menu entry, the icon, the drawing types, their thumbnailer, the manual page and the licences"
