#!/bin/bash
# Long fuzz runs, kept apart from the build tree so that a rebuild does not change the
# binary under a running campaign.
#
#   fuzz/campaign.sh build DIR           build the targets (clang, ASan + UBSan) and copy
#                                        them to DIR with the commit they came from
#   fuzz/campaign.sh run DIR TARGET N [libFuzzer flags...]
#                                        fuzz TARGET on N forks (0: one process, 10M runs)
#                                        from DIR/corpus_TARGET and the seed corpus;
#                                        logs to DIR/log_TARGET_HHMMSS.txt, findings to
#                                        DIR/art_TARGET-*
#   fuzz/campaign.sh count LOG...        executions so far, the rate of a fork-mode run and
#                                        the oom/timeout/crash counts, per log and in all
#   fuzz/campaign.sh tally DIR TARGET [COMMIT]
#                                        count the logs of TARGET's runs in DIR whose
#                                        binary came from COMMIT (DIR/COMMIT's by default)
#   fuzz/campaign.sh findings LOG...     what a run reported besides progress (errors,
#                                        sanitizer reports, timeouts, slow and leaking
#                                        inputs) and the artifacts written since it began
#   fuzz/campaign.sh replay LOG...       run each of those artifacts alone: its time and
#                                        how it ended (binaries from $BIN or the log's DIR)
#   fuzz/campaign.sh distil DIR TARGET [MAX_BYTES]
#                                        add to the seed corpus the fewest inputs of
#                                        DIR/corpus_TARGET (each up to MAX_BYTES, 4096 by
#                                        default) that reach the code the seeds miss
#
# Fork mode stops after the job that passes -runs=N, so a target is brought to a total
# by passing what it still lacks: `run DIR render 8 -runs=4500000`.
#
# Runs go at the lowest priority in a scheduling group of their own: with autogroup
# scheduling `nice` alone does not keep a build or a test run from being starved by
# fuzzers, and a starved fuzzer reports slow units and timeouts that are not there.
# DIR/RUNS.txt records every start and end with the binary's commit.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

count() {
    local total=0
    for log in "$@"; do
        local line
        line=$(grep -aE '^#[0-9]+: cov' "$log" | tail -1 || true)
        if [ -z "$line" ]; then
            line=$(grep -aE '^#[0-9]+' "$log" | tail -1 || true)
        fi
        local n
        n=$(sed -E 's/^#([0-9]+).*/\1/' <<<"$line")
        local secs rate=""
        secs=$(grep -oE 'time: [0-9]+s' <<<"$line" | grep -oE '[0-9]+' || true)
        if [ -n "$secs" ] && [ "$secs" -gt 0 ]; then rate="$((${n:-0} / secs))/s"; fi
        echo "$log ${n:-0} $rate $(grep -oE 'oom/timeout/crash: [0-9/]+' <<<"$line" || true)"
        total=$((total + ${n:-0}))
    done
    if [ $# -gt 1 ]; then echo "total $total"; fi
}

findings() {
    # Progress and new-coverage lines are the run going well; anything else that names
    # an error, a sanitizer, a timeout, a slow unit or a leak is a finding to look at.
    # Timeouts and slow units that several targets report within the same seconds are
    # the machine pausing, not the code: run the input alone to tell.
    for log in "$@"; do
        grep -avE '^#[0-9]+: cov|NEW_FUNC' "$log" |
            grep -aE 'ERROR|deadly|runtime error|[Tt]imeout|slow-unit|leak' |
            grep -avE '^INFO:' | sed "s|^|$log: |" || true
        artifacts "$log" | sed "s|^|$log: artifact |"
    done
}

target_of() { basename "$1" | sed -E 's/^log_(.*)_[0-9]{6}\.txt$/\1/'; }

artifacts() {
    # The target's artifacts from the time the log was created on (all of them where
    # the file system keeps no creation time).
    local log=$1 t born a
    t=$(target_of "$log")
    born=$(stat -c %W "$log" 2>/dev/null || echo 0)
    [[ "$born" =~ ^[0-9]+$ ]] || born=0
    for a in "$(dirname "$log")/art_$t-"*; do
        [ -e "$a" ] || continue
        if [ "$(stat -c %Y "$a")" -ge "$born" ]; then echo "$a"; fi
    done
}

replay() {
    # Runs each artifact of a log alone and says how long it took and how it ended, so
    # a slow unit or timeout written while the machine paused can be told from one the
    # code causes. The binaries are the log's directory's unless BIN names another.
    local log a t bin start ms rc out
    for log in "$@"; do
        t=$(target_of "$log")
        bin="${BIN:-$(dirname "$log")}/fuzz_$t"
        [ -x "$bin" ] || { echo "no $bin" >&2; return 1; }
        while read -r a; do
            [ -n "$a" ] || continue
            start=$(date +%s%N)
            rc=0
            out=$("$bin" -timeout=30 -rss_limit_mb=4096 "$a" 2>&1) || rc=$?
            ms=$((($(date +%s%N) - start) / 1000000))
            if [ "$rc" = 0 ]; then
                echo "$a: ${ms} ms, ok"
            else
                echo "$a: ${ms} ms, exit $rc: $(grep -aE 'ERROR|runtime error|[Tt]imeout' <<<"$out" | head -1)"
            fi
        done < <(artifacts "$log")
    done
}

case "${1:-}" in
build)
    dir=${2:?campaign.sh build DIR}
    CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELO_BUILD_FUZZ=ON \
        -DZELO_BUILD_TESTS=OFF -DZELO_BUILD_BENCH=OFF >/dev/null
    cmake --build "$root/build/fuzz"
    mkdir -p "$dir"
    cp "$root"/build/fuzz/fuzz/fuzz_* "$dir"/
    git -C "$root" rev-parse --short HEAD >"$dir/COMMIT"
    if [ -n "$(git -C "$root" status --porcelain)" ]; then
        echo "(uncommitted changes)" >>"$dir/COMMIT"
    fi
    ;;
run)
    dir=$(cd "${2:?campaign.sh run DIR TARGET N}" && pwd)
    t=${3:?target}
    n=${4:?forks}
    shift 4
    echo 19 >/proc/self/autogroup 2>/dev/null || true
    mkdir -p "$dir/corpus_$t"
    log="$dir/log_${t}_$(date -u +%H%M%S).txt"
    echo "$(date -u) start $t forks=$n bin=$(head -1 "$dir/COMMIT") log=$log $*" >>"$dir/RUNS.txt"
    common=(-entropic=0 -timeout=30 -rss_limit_mb=4096 "-artifact_prefix=$dir/art_$t-")
    if [ "$n" = 0 ]; then
        mode=(-runs=10000000)
    else
        mode=("-fork=$n" -ignore_crashes=0)
    fi
    rc=0
    nice -n 19 "$dir/fuzz_$t" "${common[@]}" "${mode[@]}" "$@" \
        "$dir/corpus_$t" "$root/fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
    echo "$(date -u) end $t rc=$rc $(count "$log" | cut -d' ' -f2-)" >>"$dir/RUNS.txt"
    ;;
count)
    shift
    count "$@"
    ;;
tally)
    # Counts add up over binaries that reach the same code; this sums one commit's.
    dir=$(cd "${2:?campaign.sh tally DIR TARGET [COMMIT]}" && pwd)
    t=${3:?target}
    bin=${4:-}
    if [ -z "$bin" ]; then
        [ -r "$dir/COMMIT" ] || { echo "no $dir/COMMIT: name the commit" >&2; exit 2; }
        bin=$(head -1 "$dir/COMMIT")
    fi
    logs=()
    while read -r log; do
        [[ "$log" = /* ]] || log="$dir/$log"
        if [ -e "$log" ]; then logs+=("$log"); fi
    done < <(grep -aE " start $t forks=[0-9]+ bin=$bin log=" "$dir/RUNS.txt" |
        sed -E 's/.* log=([^ ]+).*/\1/')
    if [ ${#logs[@]} -eq 0 ]; then
        echo "no runs of $t from $bin in $dir/RUNS.txt" >&2
        exit 1
    fi
    count "${logs[@]}"
    ;;
findings)
    shift
    findings "$@"
    ;;
replay)
    shift
    replay "$@"
    ;;
distil)
    # Coverage edges only (no hit counts), so the seeds gain one input per new reach
    # of the code rather than one per new loop count; the replay tests run them all.
    dir=$(cd "${2:?campaign.sh distil DIR TARGET}" && pwd)
    t=${3:?target}
    max=${4:-4096}
    pick=$(mktemp -d)
    trap 'rm -rf "$pick"' EXIT
    find "$dir/corpus_$t/" -type f -size "-$((max + 1))c" -exec cp {} "$pick/" \;
    before=$(ls "$root/fuzz/corpus/$t" | wc -l)
    "$dir/fuzz_$t" -use_counters=0 -set_cover_merge=1 -timeout=30 -rss_limit_mb=4096 \
        "$root/fuzz/corpus/$t" "$pick" >"$dir/distil_$t.log" 2>&1
    echo "$t: $(($(ls "$root/fuzz/corpus/$t" | wc -l) - before)) inputs added to fuzz/corpus/$t"
    ;;
*)
    sed -n '2,29p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
