#!/usr/bin/env bash
# Fetches real closed meshes (scans and CAD parts in OFF format) for csg_real_meshes
# from Debian's libcgal-demo package, whose data files carry no notice of their own
# and are under CC0 (see the package's copyright file). Nothing is installed: the
# package is downloaded and only its data/meshes folder unpacked.
# Usage: bench/fetch_real_meshes.sh [folder (build/real_meshes)]
set -euo pipefail
cd "$(dirname "$0")/.."
OUT=${1:-build/real_meshes}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
if ls "$OUT"/*.off >/dev/null 2>&1; then
    echo "$OUT already holds $(ls "$OUT"/*.off | wc -l) meshes"
    exit 0
fi
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
chmod 777 "$WORK"
(cd "$WORK" && apt-get download libcgal-demo >/dev/null 2>&1) || {
    apt-get update -qq && (cd "$WORK" && apt-get download libcgal-demo >/dev/null)
}
dpkg-deb -x "$WORK"/libcgal-demo_*.deb "$WORK/x"
tar -xzf "$WORK"/x/usr/share/doc/libcgal-dev/data.tar.gz -C "$WORK" --wildcards 'data/meshes/*.off'
cp "$WORK"/data/meshes/*.off "$OUT"/
echo "$OUT: $(ls "$OUT"/*.off | wc -l) meshes"
