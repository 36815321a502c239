#!/usr/bin/env bash
# run.sh started from another folder with a relative file name hands the program
# that file's full path (resolved against the caller's folder, not the script's).
# The build and the program are stand-ins: cmake does nothing, the program prints
# its arguments. Usage: run_sh_test.sh <run.sh>
set -u
RUN_SH=$1
dir=$(mktemp -d /tmp/zelo_runsh_XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin" "$dir/build/app" "$dir/caller"
printf '#!/bin/sh\nexit 0\n' > "$dir/bin/cmake"
printf '#!/bin/sh\nfor a in "$@"; do echo "arg: $a"; done\n' > "$dir/build/app/zelo"
chmod +x "$dir/bin/cmake" "$dir/build/app/zelo"
cd "$dir/caller"
out=$(PATH="$dir/bin:$PATH" ZELO_RUN_BUILD_DIR="$dir/build" "$RUN_SH" "plan one.qvm" < /dev/null)
expected="arg: $dir/caller/plan one.qvm"
if [ "$out" != "$expected" ]; then
    echo "FAIL: got '$out', expected '$expected'"
    exit 1
fi
# Without a file the program gets no argument at all.
out=$(PATH="$dir/bin:$PATH" ZELO_RUN_BUILD_DIR="$dir/build" "$RUN_SH" < /dev/null)
[ -z "$out" ] || { echo "FAIL: no file gave '$out'"; exit 1; }
echo "run.sh: ok"
