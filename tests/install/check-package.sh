#!/usr/bin/env bash
# Installs a built tree into a temporary root and builds its Debian package,
# then checks that both hold the programs, the menu entry, the icon, the MIME
# types, the AppStream metadata, the manual pages, the copyright file and the
# changelog; that lintian finds no error or warning and appstreamcli and
# desktop-file-validate accept the metadata; that the package's dependencies
# were worked out from the binaries and (where apt can tell) can be met; and
# that once unpacked and registered as dpkg's triggers would register it, the
# system's MIME database maps CHGT and HGT files to rzmap.
#   check-package.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in lintian appstreamcli desktop-file-validate update-mime-database update-desktop-database \
            gio dpkg-parsechangelog; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps installs it)"
done

appid=io.github.rzmap.rzmap
mans=(usr/share/man/man1/rzmap.1.gz usr/share/man/man1/hgt2chgt.1.gz usr/share/man/man1/chgt2png.1.gz)
files=(usr/bin/rzmap usr/bin/hgt2chgt usr/bin/chgt2png
       usr/share/applications/rzmap.desktop
       usr/share/icons/hicolor/scalable/apps/rzmap.svg
       usr/share/mime/packages/rzmap.xml
       usr/share/metainfo/$appid.metainfo.xml
       usr/share/doc/rzmap/copyright
       usr/share/doc/rzmap/changelog.gz
       "${mans[@]}")

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
for f in "${files[@]}"; do
    [ -s "$work/root/$f" ] || fail "cmake --install did not install $f"
done
[ -x "$work/root/usr/bin/rzmap" ] || fail "rzmap is not executable"

(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null) || fail "cpack failed"
deb="$(ls "$work"/pkg/rzmap_*.deb)"
version="$(dpkg-deb -f "$deb" Version)"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6openglwidgets6 libqt6gui6 libqt6core6 libzip4 libopengl0 libc6 libgdal32 qt6-translations-l10n; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
x="$work/x"
dpkg-deb -x "$deb" "$x"
for f in "${files[@]}"; do
    [ -s "$x/$f" ] || fail "the package lacks $f"
done
[ "$("$x/usr/bin/hgt2chgt" --version)" = "hgt2chgt $version" ] || fail "packaged hgt2chgt does not run"
"$x/usr/bin/chgt2png" --help >/dev/null 2>&1 || fail "packaged chgt2png does not run"
# The packaged programs load GDAL from their module only when they need it:
# a GeoTIFF picture of a tile is written.
[ -n "$(find "$x/usr/lib" -path '*/rzmap/modules/rzmap-gdal.so')" ] || fail "the package lacks the GDAL module"
"$build/bin/hgtgen" --height 300 -o "$work" >/dev/null
"$x/usr/bin/hgt2chgt" --quiet -q 5 -o "$work" "$work/N49E014.hgt" >/dev/null 2>&1 || fail "packaged hgt2chgt failed"
"$x/usr/bin/chgt2png" --size 60x30 -o "$work/map.tif" "$work/N49E014.chgt" >/dev/null 2>&1 &&
    [ "$(head -c 4 "$work/map.tif" | od -An -c | tr -d ' ')" = 'II*\0' ] ||
    fail "packaged chgt2png wrote no GeoTIFF: $("$x/usr/bin/chgt2png" -o "$work/map.tif" "$work/N49E014.chgt" 2>&1)"

# lintian: not one error or warning (information tags are allowed).
status=0
mkdir -p "$work/tmp"
TMPDIR="$work/tmp" lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || status=$?
case $status in
    0) echo "lintian: no errors or warnings" ;;
    2) grep -E '^[EW]: ' "$work/lintian.log" >&2; fail "lintian reports errors or warnings" ;;
    *) cat "$work/lintian.log" >&2; fail "lintian did not run (exit status $status)" ;;
esac

# The metadata, as the software centre and the menu read it.
metainfo="$x/usr/share/metainfo/$appid.metainfo.xml"
desktop="$x/usr/share/applications/rzmap.desktop"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
# The tree as installed: the launchable desktop entry must be there too.
appstreamcli validate-tree --no-net "$x" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate-tree: $(cat "$work/appstream.log")"
grep -q "<id>$appid</id>" "$metainfo" || fail "the metainfo's component id is not $appid"
grep -q '<launchable type="desktop-id">rzmap.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch rzmap.desktop"
desktop-file-validate "$desktop" || fail "invalid desktop entry"
grep -qx 'Exec=rzmap %F' "$desktop" || fail "the menu entry does not pass files: $(grep ^Exec= "$desktop")"
# One list of types in the desktop entry, the MIME package and the metainfo.
entryTypes="$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)"
mimeTypes="$(grep -o '<mime-type type="[^"]*"' "$x/usr/share/mime/packages/rzmap.xml" | cut -d'"' -f2 | sort)"
metaTypes="$(grep -o '<mediatype>[^<]*' "$metainfo" | cut -d'>' -f2 | sort)"
[ -n "$entryTypes" ] && [ "$entryTypes" = "$mimeTypes" ] && [ "$entryTypes" = "$metaTypes" ] ||
    fail "MIME types differ: desktop entry [$entryTypes], mime package [$mimeTypes], metainfo [$metaTypes]"
# HGT gets a type of ours only while the system has none.
if grep -q 'pattern="\*\.hgt"' /usr/share/mime/packages/freedesktop.org.xml; then
    grep -q 'pattern="\*\.hgt"' "$x/usr/share/mime/packages/rzmap.xml" &&
        fail "shared-mime-info defines *.hgt now: drop application/x-srtm-hgt from rzmap.xml"
fi

# The copyright file in the machine-readable format, with every licence it
# names given in full: the code's (Expat) and the border outline's (ODbL).
copyright="$x/usr/share/doc/rzmap/copyright"
head -1 "$copyright" | grep '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' >/dev/null ||
    fail "the copyright file is not machine-readable (no Format: line)"
awk -v RS= '
    /(^|\n)Files:/ { if (match($0, /(^|\n)License: [^\n]*/)) { l = substr($0, RSTART, RLENGTH);
                     sub(/^\n?License: /, "", l); used[l] = 1 } ; next }
    /^License: / { split($0, lines, "\n"); l = substr(lines[1], 10);
                   if (length($0) > 500) given[l] = 1 }
    END { for (l in used) if (!(l in given)) { print "copyright: licence " l " is not given in full"; bad = 1 }
          exit bad }' "$copyright" || fail "the copyright file is incomplete"
for l in Expat ODbL-1.0; do
    grep -q "^License: $l\$" "$copyright" || fail "the copyright file does not cover $l"
done
grep -q 'OpenStreetMap contributors' "$copyright" || fail "the copyright file lacks the OpenStreetMap credit"

# The changelog describes the packaged version; the manual pages are whole
# and the tools' pages hold every option their --help lists.
zcat "$x/usr/share/doc/rzmap/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] ||
    fail "the changelog's latest entry is not $version"
for m in "${mans[@]}"; do
    gzip -t "$x/$m" || fail "$m is not a valid gzip file"
    page="$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$x/$m" 2>/dev/null)"
    name="$(basename "$m" .1.gz)"
    grep -q "^NAME" <<<"$page" && grep -q "^ *$name - " <<<"$page" || fail "$m has no NAME line for $name"
done
for tool in hgt2chgt chgt2png; do
    page="$(MANWIDTH=200 LC_ALL=C.UTF-8 man -l "$x/usr/share/man/man1/$tool.1.gz" 2>/dev/null)"
    for option in $("$x/usr/bin/$tool" --help 2>/dev/null | grep -o -E -- '--[a-z-]+' | sort -u); do
        grep -q -- "$option" <<<"$page" || fail "the manual page of $tool lacks $option"
    done
done

# What dpkg's triggers do on installing: shared-mime-info rebuilds the MIME
# database, desktop-file-utils the menu's MIME cache. Done here on the
# unpacked tree, then asked through GIO as a file manager asks.
update-mime-database "$x/usr/share/mime" >"$work/mime.log" 2>&1 || fail "$(cat "$work/mime.log")"
update-desktop-database "$x/usr/share/applications" >"$work/menu.log" 2>&1 || fail "$(cat "$work/menu.log")"
mkdir -p "$work/home"
asUser=(env -i "PATH=$x/usr/bin:/usr/bin:/bin" "HOME=$work/home" "XDG_DATA_HOME=$work/home/data"
        "XDG_CONFIG_HOME=$work/home/config")
head -c 144 /dev/zero >"$work/N49E014.chgt"
head -c 2048 /dev/zero >"$work/N49E014.hgt"
typeOf() { "${asUser[@]}" "XDG_DATA_DIRS=$1" gio info -a standard::content-type "$2" |
           sed -n 's/^ *standard::content-type: //p'; }
for pair in N49E014.chgt:application/x-rzmap-chgt N49E014.hgt:application/x-srtm-hgt; do
    file="$work/${pair%%:*}" type="${pair#*:}"
    [ "$(typeOf /usr/share "$file")" != "$type" ] || fail "$type is known without the package"
    got="$(typeOf "$x/usr/share:/usr/share" "$file")"
    [ "$got" = "$type" ] || fail "$(basename "$file") is $got with the package installed, not $type"
    "${asUser[@]}" "XDG_DATA_DIRS=$x/usr/share:/usr/share" gio mime "$type" >"$work/gio.log"
    sed -n '/^Registered applications:/,/^[^\t]/p' "$work/gio.log" | grep -P '^\trzmap\.desktop$' >/dev/null ||
        fail "rzmap is not offered for $type: $(cat "$work/gio.log")"
done
echo "MIME: .chgt and .hgt map to rzmap once the package's types are registered"

# A true install where this machine allows one: dpkg -i, with the triggers
# of shared-mime-info, desktop-file-utils and man-db, into a throwaway copy
# of this very system (an overlay of / in a mount namespace of its own, so
# the real system is never touched), then the same questions inside it, then
# a purge that must take the types away again.
trueInstall() {
    local o="$work/overlay"
    mkdir -p "$o/upper" "$o/work" "$o/root"
    cp "$deb" "$o/upper/rzmap.deb"
    unshare --mount --propagation private bash -euo pipefail -c '
        o="$1"; r="$o/root"
        mount -t overlay overlay -o "lowerdir=/,upperdir=$o/upper,workdir=$o/work" "$r" 2>/dev/null ||
            { echo "no overlay of / here"; exit 3; }
        mountpoint -q "$r" || exit 3
        mount -t proc proc "$r/proc"
        mount --rbind /dev "$r/dev"
        inside() { chroot "$r" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 "$@"; }
        typeOf() { inside gio info -a standard::content-type "$1" | sed -n "s/^ *standard::content-type: //p"; }
        head -c 144 /dev/zero >"$r/N49E014.chgt"
        head -c 2048 /dev/zero >"$r/N49E014.hgt"
        inside dpkg --purge rzmap >/dev/null 2>&1 || true
        inside dpkg -i /rzmap.deb >"$o/dpkg.log" 2>&1 || { cat "$o/dpkg.log"; exit 1; }
        grep -q "Processing triggers for shared-mime-info" "$o/dpkg.log" || { echo "no MIME trigger ran"; exit 1; }
        [ "$(typeOf /N49E014.chgt)" = application/x-rzmap-chgt ] || { echo "installed: .chgt is $(typeOf /N49E014.chgt)"; exit 1; }
        [ "$(typeOf /N49E014.hgt)" = application/x-srtm-hgt ] || { echo "installed: .hgt is $(typeOf /N49E014.hgt)"; exit 1; }
        inside gio mime application/x-rzmap-chgt >"$o/gio.log" 2>&1; grep -q -P "^\trzmap\.desktop$" "$o/gio.log" || { echo "installed: rzmap not offered: $(cat "$o/gio.log")"; exit 1; }
        [ "$(inside man -w rzmap)" = /usr/share/man/man1/rzmap.1.gz ] || { echo "installed: man rzmap finds nothing"; exit 1; }
        inside dpkg --purge rzmap >"$o/dpkg.log" 2>&1 || { cat "$o/dpkg.log"; exit 1; }
        [ "$(typeOf /N49E014.chgt)" != application/x-rzmap-chgt ] || { echo "purged: .chgt still has its type"; exit 1; }
    ' trueInstall "$o"
}
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    echo "true install skipped: needs root and unshare"
else
    status=0
    out="$(trueInstall 2>&1)" || status=$?
    case $status in
        0) echo "true install (dpkg -i in an overlay of this system): MIME types, menu and manual registered; purge removes them" ;;
        3) echo "true install skipped: $out" ;;
        *) fail "true install: $out" ;;
    esac
fi

if [ "$(id -u)" -eq 0 ] && apt-get -s install "$deb" >"$work/apt.log" 2>&1; then
    grep -q "^Inst rzmap" "$work/apt.log" || fail "apt-get would not install the package"
    echo "apt-get -s install: the dependencies can be met"
fi
echo "installed and packaged: $(basename "$deb"), Depends: $depends"
