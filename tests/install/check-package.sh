#!/usr/bin/env bash
# Installs a built tree into a temporary root and builds its Debian package,
# then checks that both hold the programs, the menu entry and the icon, that
# the package's dependencies were worked out from the binaries, and (where
# apt can tell) that they can be met on this system.
#   check-package.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

files=(usr/bin/rzmap usr/bin/hgt2chgt usr/bin/chgt2png
       usr/share/applications/rzmap.desktop
       usr/share/icons/hicolor/scalable/apps/rzmap.svg)

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
for f in "${files[@]}"; do
    [ -s "$work/root/$f" ] || fail "cmake --install did not install $f"
done
[ -x "$work/root/usr/bin/rzmap" ] || fail "rzmap is not executable"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/rzmap.desktop" || fail "invalid desktop entry"
fi

(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null) || fail "cpack failed"
deb="$(ls "$work"/pkg/rzmap_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6openglwidgets6 libqt6gui6 libqt6core6 libzip4 libopengl0 libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -x "$deb" "$work/x"
for f in "${files[@]}"; do
    [ -s "$work/x/$f" ] || fail "the package lacks $f"
done
[ "$("$work/x/usr/bin/hgt2chgt" --version)" = "hgt2chgt $(dpkg-deb -f "$deb" Version)" ] || fail "packaged hgt2chgt does not run"
"$work/x/usr/bin/chgt2png" --help >/dev/null || fail "packaged chgt2png does not run"

if [ "$(id -u)" -eq 0 ] && apt-get -s install "$deb" >"$work/apt.log" 2>&1; then
    grep -q "^Inst rzmap" "$work/apt.log" || fail "apt-get would not install the package"
    echo "apt-get -s install: the dependencies can be met"
fi
echo "installed and packaged: $(basename "$deb"), Depends: $depends"
