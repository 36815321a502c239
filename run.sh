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

PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev ncompress ccache
          desktop-file-utils shared-mime-info libavcodec-dev libqt6opengl6-dev libgl1-mesa-dri)
# 3D text: TrueType outlines through FreeType, faces found by fontconfig (DejaVu for the tests).
PACKAGES+=(libfreetype-dev libfontconfig-dev fonts-dejavu-core)
missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi

BUILD=${ZELO_RUN_BUILD_DIR:-build/release}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELO_BUILD_TESTS=OFF \
      -DZELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target zelo -j "${ZELO_JOBS:-$(nproc)}"

exec "$BUILD/app/zelo" "${args[@]}"
