# The Debian packages Zelo needs, and their installation; sourced by run.sh and
# test.sh (bash).
#
# ZELO_PACKAGES: what building and running the program needs. test.sh adds the
# packages of the tests, the sanitizer and fuzz builds and the window-system runs.
ZELO_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev ncompress ccache
               desktop-file-utils shared-mime-info libavcodec-dev libqt6opengl6-dev libgl1-mesa-dri)
# 3D text: TrueType outlines through FreeType, faces found by fontconfig (DejaVu for the tests).
ZELO_PACKAGES+=(libfreetype-dev libfontconfig-dev fonts-dejavu-core)
# Exact arithmetic of the boolean engine (whole numbers of any length).
ZELO_PACKAGES+=(libgmp-dev)

# Installs those of the named packages that are not installed yet (apt-get, through
# sudo when not run as root); does nothing when all are there.
zelo_install_packages() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
    fi
}
