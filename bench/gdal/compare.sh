#!/usr/bin/env bash
# The same coloured height map of the 21 tiles over the country (N48-N50,
# E012-E018; synthetic relief) at 1920 x 1080, made two ways, timed in turns:
#   rzmap:  hgt2chgt -q 5, then chgt2png --size 1920x1080
#   GDAL:   gdalbuildvrt, gdaldem color-relief (the band table as exact
#           entries, -nearest_color_entry), gdal_translate to PNG
# and prints the medians and their ratio. GDAL is needed here only; the
# script installs gdal-bin when it is missing.
#   bench/gdal/compare.sh [RUNS]      (default 7)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
bin="${RZMAP_BUILD:-$root/build}/bin"
runs="${1:-7}"
for tool in hgtgen hgt2chgt chgt2png; do
    [ -x "$bin/$tool" ] || { echo "build first: $bin/$tool is missing" >&2; exit 1; }
done
if ! command -v gdaldem >/dev/null; then
    "$root/scripts/install-deps" gdal-bin
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/hgt"
for lat in 48 49 50; do
    for lon in 12 13 14 15 16 17 18; do
        "$bin/hgtgen" --relief --seed 1 --lat "$lat" --lon "$lon" -o "$work/hgt/" &
    done
    wait
done
# The height colour table of the program, one exact entry per band.
cat >"$work/bands.txt" <<'BANDS'
0 0 125 255
200 180 220 172
300 212 233 186
400 236 242 196
500 236 224 174
600 229 207 152
800 218 185 141
1000 212 164 132
1200 118 152 131
1400 173 148 118
1800 138 122 93
1801 0 0 0
BANDS

now() { date +%s.%N; }
rzmap_once() {
    rm -rf "$work/chgt"
    "$bin/hgt2chgt" --quiet -q 5 -o "$work/chgt" "$work"/hgt/*.hgt
    "$bin/chgt2png" --size 1920x1080 -o "$work/rzmap.png" "$work"/chgt/*.chgt 2>/dev/null
}
gdal_once() {
    rm -f "$work/all.vrt" "$work/colour.tif" "$work/gdal.png"
    gdalbuildvrt -q "$work/all.vrt" "$work"/hgt/*.hgt
    gdaldem color-relief -q -nearest_color_entry "$work/all.vrt" "$work/bands.txt" "$work/colour.tif"
    gdal_translate -q -of PNG -projwin 11 51.3 20 48.3 -outsize 1920 1080 "$work/colour.tif" "$work/gdal.png"
}
# Page cache warm for both; then turns, so a change of load hits both alike.
rzmap_once; gdal_once
declare -a tr tg
for ((i = 0; i < runs; i++)); do
    t0=$(now); rzmap_once; t1=$(now); gdal_once; t2=$(now)
    tr+=("$(awk "BEGIN {print $t1 - $t0}")")
    tg+=("$(awk "BEGIN {print $t2 - $t1}")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
mr=$(median "${tr[@]}")
mg=$(median "${tg[@]}")
printf 'rzmap (hgt2chgt -q 5 + chgt2png): %6.3f s\n' "$mr"
printf 'GDAL (buildvrt + color-relief + translate): %6.3f s\n' "$mg"
printf 'ratio rzmap / GDAL: %.2f (goal at most 0.70), medians of %d runs\n' "$(awk "BEGIN {print $mr / $mg}")" "$runs"
