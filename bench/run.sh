#!/usr/bin/env bash
# Builds the benchmarks in release mode with their heavy peers and runs them.
# Usage: bench/run.sh [benchmark-name ...] [-- google-benchmark flags]
# With no names every bench_* program runs. Installs the peers' Debian packages
# listed in bench/packages.txt when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=()
if [ -f bench/packages.txt ]; then
    while read -r p; do [ -n "$p" ] && [ "${p#\#}" = "$p" ] && PACKAGES+=("$p"); done < bench/packages.txt
fi
missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

BUILD=${ZELO_BENCH_BUILD_DIR:-build/bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELO_BUILD_TESTS=OFF \
      -DZELO_BUILD_BENCH=ON -DZELO_BENCH_PEERS=ON >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

names=(); flags=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then shift; flags=("$@"); break; fi
    names+=("$1"); shift
done
if [ ${#names[@]} -eq 0 ]; then
    for f in "$BUILD"/bench/bench_*; do [ -x "$f" ] && names+=("$(basename "$f")"); done
fi
for n in "${names[@]}"; do
    echo "== $n"
    "$BUILD/bench/$n" "${flags[@]}"
done
