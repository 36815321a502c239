#!/usr/bin/env bash
# scripts/packages.sh with stand-ins for dpkg-query, apt-get, sudo and id: only the
# packages not installed are installed, nothing runs when all are there, a user
# other than root goes through sudo, and it works under `set -euo pipefail`.
# Usage: packages_test.sh <scripts/packages.sh>
set -euo pipefail
PACKAGES_SH=$1
dir=$(mktemp -d /tmp/zelo_packages_XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin"
# dpkg-query -W -f=... <name>: installed when the name is in $INSTALLED.
cat > "$dir/bin/dpkg-query" <<'STUB'
#!/bin/sh
for n in $INSTALLED; do
    if [ "$n" = "$3" ]; then printf 'install ok installed'; exit 0; fi
done
exit 1
STUB
printf '#!/bin/sh\necho "apt-get $*" >> "$LOG"\n' > "$dir/bin/apt-get"
printf '#!/bin/sh\necho "sudo" >> "$LOG"\n"$@"\n' > "$dir/bin/sudo"
printf '#!/bin/sh\necho "$FAKE_UID"\n' > "$dir/bin/id"
chmod +x "$dir/bin/"*
export LOG="$dir/log"

fail=0
check() {  # what, uid, installed, expected log, packages...
    local what=$1 uid=$2 installed=$3 want=$4
    shift 4
    : > "$LOG"
    PATH="$dir/bin:$PATH" FAKE_UID=$uid INSTALLED=$installed \
        bash -c 'set -euo pipefail; source "$0"; zelo_install_packages "$@"' "$PACKAGES_SH" "$@" > /dev/null
    local got
    got=$(cat "$LOG")
    if [ "$got" != "$want" ]; then
        echo "FAIL: $what: got '$got', expected '$want'"
        fail=1
    fi
}
check "all installed" 0 "a b" "" a b
check "none asked" 0 "" ""
check "only the missing" 0 "b" "apt-get update -qq
apt-get install -y -qq a c" a b c
check "not root: through sudo" 1000 "" "sudo
apt-get update -qq
sudo
apt-get install -y -qq a" a
# The program's own list is there and holds the build tools and the 3D text fonts.
bash -c 'set -euo pipefail; source "$0"; for p in g++ cmake qt6-base-dev fonts-dejavu-core; do
    [[ " ${ZELO_PACKAGES[*]} " == *" $p "* ]] || { echo "FAIL: $p not in ZELO_PACKAGES"; exit 1; }; done' \
    "$PACKAGES_SH" || fail=1
[ $fail -eq 0 ] && echo "packages.sh: ok"
exit $fail
