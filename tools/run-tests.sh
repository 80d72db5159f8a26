#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test: on Linux (and the save sweeps against saves broken on purpose,
# tools/mutants.sh), then again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows build under Wine (the first
# run builds Qt for Windows, about 25 minutes; KGF_SKIP_WINDOWS=1 leaves the
# Windows stage out). Exits non-zero on any failure and prints how long
# each stage took.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
timings=()
finish_stage() {
    timings+=("$1: $((SECONDS - stage_start)) s")
}

stage_start=$SECONDS
tools/install-deps.sh
# The suites side by side, one per core: each works in its own temporary
# folders and on its own offscreen screen.
jobs=$(nproc)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKGF_WARNINGS_AS_ERRORS=ON
cmake --build build/release
ctest --test-dir build/release --output-on-failure -j "$jobs"
# Saves broken on purpose, each of which the save sweeps must fail.
tools/mutants.sh
finish_stage "Linux build, tests and mutants"

stage_start=$SECONDS
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKGF_WARNINGS_AS_ERRORS=ON -DKGF_SANITIZE=ON -DKGF_BUILD_BENCH=OFF
cmake --build build/sanitize
# The save sweeps by another program's acts and by failing calls: a third
# of their rows here (all of them in the Linux stage above).
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" KGF_SWEEP_EVERY=3 \
    ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
finish_stage "ASan + UBSan build and tests"

if [ "${KGF_SKIP_WINDOWS:-0}" != 1 ]; then
    stage_start=$SECONDS
    tools/build-windows.sh
    finish_stage "Windows build, tests under Wine and zip"
fi

printf '%s\n' "${timings[@]}" "all: $((SECONDS - started)) s"
