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
zelo_install_packages "${PACKAGES[@]}"

# Every library includes only the libraries below it in docs/architecture.md's table,
# and Qt stays on the window side.
python3 .ci/check_levels

JOBS=$(nproc)
BUILD=${ZELO_BUILD_DIR:-build/asan}

# The sanitizer build holds the tests, and of the benchmarks only those that need the
# window side (the fuzz build below has none); the others are compile-checked there.
# Line tables are all the sanitizers' reports need.
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELO_SANITIZE=ON \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DZELO_BUILD_TESTS=ON -DZELO_BUILD_BENCH=ON -DZELO_BENCH_SELECT='^bench_(canvas|glimpse|print)$'
cmake --build "$BUILD" -j "$JOBS"

# The libFuzzer targets need clang; build them (not run them) so they stay compilable,
# and with them the benchmark programs of the engine. Their seed corpora are replayed
# by the sanitizer build's tests above.
if command -v clang++ >/dev/null 2>&1; then
    FUZZ_BUILD=${ZELO_FUZZ_BUILD_DIR:-build/fuzz}
    CXX=clang++ cmake -S . -B "$FUZZ_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DZELO_BUILD_FUZZ=ON -DZELO_BUILD_TESTS=OFF -DZELO_BUILD_BENCH=ON -DZELO_BENCH_SELECT= >/dev/null
    cmake --build "$FUZZ_BUILD" -j "$JOBS"
fi

# Window tests never open a real window.
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$BUILD" -j "$JOBS" --output-on-failure --timeout 600

# The renderers' threads once more under ThreadSanitizer: a separate build of just
# their test programs and what they link (line tables are all its reports need).
TSAN_BUILD=${ZELO_TSAN_BUILD_DIR:-build/tsan}
cmake -S . -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
      -DZELO_BUILD_TESTS=ON -DZELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$TSAN_BUILD" -j "$JOBS" --target zelo_scanline_tests zelo_renderjob_tests zelo_raytrace_tests zelo_hide_tests \
    zelo_material_sample_tests zelo_imagemap_tests
TSAN_OPTIONS=halt_on_error=1 "$TSAN_BUILD/tests/zelo_scanline_tests" --gtest_brief=1
# The render job's worker thread and its stop flag.
TSAN_OPTIONS=halt_on_error=1 "$TSAN_BUILD/tests/zelo_renderjob_tests" --gtest_brief=1
TSAN_OPTIONS=halt_on_error=1 "$TSAN_BUILD/tests/zelo_raytrace_tests" --gtest_brief=1
# The hidden-line worker thread and its cancel request.
TSAN_OPTIONS=halt_on_error=1 "$TSAN_BUILD/tests/zelo_hide_tests" --gtest_brief=1
# The material sheet's sample: its worker thread beside a render of the same image map.
TSAN_OPTIONS=halt_on_error=1 "$TSAN_BUILD/tests/zelo_material_sample_tests" --gtest_brief=1
# An animated image map decoded while playback steps the drawing's frame.
TSAN_OPTIONS=halt_on_error=1 "$TSAN_BUILD/tests/zelo_imagemap_tests" --gtest_brief=1
