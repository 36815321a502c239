#!/usr/bin/env bash
# Starts Zelo: installs the Debian packages it needs when they are missing, builds
# the program (release build in build/release) and runs it with the file given.
#   ./run.sh [file]
set -euo pipefail
# The file is resolved against the caller's folder before anything else, so a
# relative name works from wherever the script is started.
args=()
if [ $# -gt 0 ]; then args=("$(realpath -m -- "$1")"); fi
cd "$(dirname "$0")"

# Packages the program needs at run time beyond building go into PACKAGES here.
source scripts/packages.sh
PACKAGES=("${ZELO_PACKAGES[@]}")
zelo_install_packages "${PACKAGES[@]}"

BUILD=${ZELO_RUN_BUILD_DIR:-build/release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELO_BUILD_TESTS=OFF \
      -DZELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target zelo -j "${ZELO_JOBS:-$(nproc)}"

exec "$BUILD/app/zelo" "${args[@]}"
