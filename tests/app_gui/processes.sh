#!/usr/bin/env bash
# The program as processes: a second start hands its file to the first and exits
# 0; a socket left behind by a dead program does not stop the next start.
# Usage: processes.sh <zelo executable>
set -u
ZELO=$1
dir=$(mktemp -d /tmp/zelo_proc_XXXXXX)
first=
trap '[ -n "$first" ] && kill $first 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
mkdir -p "$dir/config" "$dir/data" "$dir/runtime"
chmod 700 "$dir/runtime"
export XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data XDG_RUNTIME_DIR=$dir/runtime
export QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*"; exit 1; }

# A stale socket file: the first start recovers it.
python3 -c "import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])" "$dir/runtime/zelo.sock"
"$ZELO" &
first=$!
# Wait until the socket answers (a connection, not another start: a start racing
# the first one's could become the first itself).
for _ in $(seq 300); do
    python3 -c "import socket,sys; s=socket.socket(socket.AF_UNIX); s.connect(sys.argv[1])" \
        "$dir/runtime/zelo.sock" 2>/dev/null && break
    sleep 0.2
done
kill -0 $first 2>/dev/null || fail "the first start did not stay up"
# A second start with a file hands it over and ends with 0 at once.
timeout 20 "$ZELO" "$dir/missing.qvm"
rc=$?
[ $rc -eq 0 ] || fail "second start exited $rc"
kill -0 $first 2>/dev/null || fail "the first program ended"
echo "processes: ok"
