#!/usr/bin/env bash
# Builds Zelo with AddressSanitizer and UndefinedBehaviorSanitizer and runs every
# test through CTest. Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")"

# What the program needs (scripts/packages.sh), and what the tests, the sanitizer and
# fuzz builds, the benchmarks and the window-system runs add.
source scripts/packages.sh
PACKAGES=("${ZELO_PACKAGES[@]}" libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev locales xvfb xauth openbox x11-utils python3
          libjpeg-dev imagemagick poppler-utils ffmpeg)
# Keys and clicks for looking at the program by hand under Xvfb.
PACKAGES+=(xdotool)
zelo_install_packages "${PACKAGES[@]}"

# Every library includes only the libraries below it in docs/architecture.md's table,
# and Qt stays on the window side.
python3 .ci/check_levels

JOBS=$(nproc)
BUILD=${ZELO_BUILD_DIR:-build/asan}

# The sanitizer build holds the tests, and of the benchmarks only those that need the
# window side (the fuzz build below has none); the others are compile-checked there.
# Line tables are all the sanitizers' reports need. -O1: under the sanitizers -O2 took
# up to twice as long to compile for a tenth less test time.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELO_SANITIZE=ON \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DZELO_BUILD_TESTS=ON -DZELO_UNITY=ON \
      -DZELO_BUILD_BENCH=ON -DZELO_BENCH_SELECT='^bench_(canvas|glimpse|print)$'
cmake --build "$BUILD" -j "$JOBS"

# The libFuzzer targets need clang: compile them with it, and with them the benchmark
# programs of the engine, so that both stay compilable. Only their own sources are
# compiled (no library, no link): the sanitizer build above links every fuzz target
# into its corpus replay (with GCC's runtime and the whole program, where a campaign
# links the engine alone), and bench/run.sh builds and links the benchmarks. Nothing of
# this runs here, so it is compiled without optimisation or debug information.
if command -v clang++ >/dev/null 2>&1; then
    FUZZ_BUILD=${ZELO_FUZZ_BUILD_DIR:-build/fuzz}
    CXX=clang++ cmake -S . -B "$FUZZ_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -DNDEBUG" \
          -DZELO_BUILD_FUZZ=ON -DZELO_BUILD_TESTS=OFF -DZELO_BUILD_BENCH=ON -DZELO_BENCH_SELECT= >/dev/null
    mapfile -t FUZZ_OBJECTS < <(ninja -C "$FUZZ_BUILD" -t inputs all |
                                grep -E '^(fuzz|bench)/CMakeFiles/.*\.o$')
    if [ ${#FUZZ_OBJECTS[@]} -eq 0 ]; then
        echo "test.sh: no fuzz or benchmark sources found in $FUZZ_BUILD" >&2; exit 1
    fi
    ninja -C "$FUZZ_BUILD" -j "$JOBS" "${FUZZ_OBJECTS[@]}"
fi

# Window tests never open a real window.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" -j "$JOBS" --output-on-failure --timeout 600

# The renderers' threads once more under ThreadSanitizer: a separate build of just
# their test programs and what they link (line tables and -O1, as above).
TSAN_BUILD=${ZELO_TSAN_BUILD_DIR:-build/tsan}
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
      -DZELO_BUILD_TESTS=ON -DZELO_BUILD_BENCH=OFF >/dev/null
TSAN_TESTS=(raytrace hide scanline renderjob material_sample imagemap)
TSAN_TARGETS=(); for t in "${TSAN_TESTS[@]}"; do TSAN_TARGETS+=("zelo_${t}_tests"); done
cmake --build "$TSAN_BUILD" -j "$JOBS" --target "${TSAN_TARGETS[@]}"
# What each program checks under it:
#   raytrace, scanline: the renderers' banded loops over every core;
#   renderjob: the render job's worker thread and its stop flag;
#   hide: the hidden-line worker thread and its cancel request;
#   material_sample: the material sheet's sample, its worker thread beside a render of
#     the same image map;
#   imagemap: an animated image map decoded while playback steps the drawing's frame.
# Tests that never start a thread gain nothing under ThreadSanitizer (the sanitizer
# build above runs them): the longest of them are left out here.
declare -A TSAN_SKIP=(
    [raytrace]='RtLoop.SilhouettesMatchTheProjection:RtSlabs.HierarchyAgreesWithLinearSearch'
    [hide]='HideMeshReference.*')
# They run side by side, each to its own log, shown when it fails.
TSAN_LOGS=$(mktemp -d)
tsan_failed=0
for t in "${TSAN_TESTS[@]}"; do echo "$t -${TSAN_SKIP[$t]:-}"; done | xargs -P "$JOBS" -L 1 sh -c \
    'TSAN_OPTIONS=halt_on_error=1 "$1/tests/zelo_$3_tests" --gtest_brief=1 --gtest_filter="$4" >"$2/$3.log" 2>&1 || touch "$2/$3.failed"' \
    sh "$TSAN_BUILD" "$TSAN_LOGS" || true
for t in "${TSAN_TESTS[@]}"; do
    if [ -e "$TSAN_LOGS/$t.failed" ]; then
        echo "ThreadSanitizer: zelo_${t}_tests failed:"; cat "$TSAN_LOGS/$t.log"; tsan_failed=1
    else
        echo "ThreadSanitizer: zelo_${t}_tests passed $(grep -a 'tests from .* ran' "$TSAN_LOGS/$t.log" | sed 's/.*ran\. //')"
    fi
done
rm -rf "$TSAN_LOGS"
exit $tsan_failed
