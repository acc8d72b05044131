#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the normal build,
# then the Windows build under Wine (scripts/test-windows.sh), then the same
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer (clang, in
# build-asan or $VIDLUME_ASAN_BUILD_DIR), then each fuzz target for 20 seconds. Any sanitizer report, leak or fuzz finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache finds what another clone of the project compiled: paths are taken
# relative to the clone, and the folder the compiler runs in is left out.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
scripts/install-deps.sh test
scripts/build.sh
ctest --test-dir "${VIDLUME_BUILD_DIR:-build}" --output-on-failure -j2 --timeout 600
# The Windows programs, cross-built with mingw-w64 and tested under Wine.
scripts/test-windows.sh

asan=${VIDLUME_ASAN_BUILD_DIR:-build-asan}
cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DVIDLUME_FUZZ=ON >/dev/null
cmake --build "$asan" -j"$(nproc)"
# Every test and every program a test starts stops at the first report. Leaks
# count as reports, with no suppressions: Qt and the system's libraries free
# or keep reachable what they allocate for the window tests too.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir "$asan" --output-on-failure -j2 --timeout 600
VIDLUME_FUZZ_BUILD_DIR="$asan" scripts/fuzz.sh 20
