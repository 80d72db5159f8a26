#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and runs
# every test, then again in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKGF_WARNINGS_AS_ERRORS=ON
cmake --build build/release
ctest --test-dir build/release --output-on-failure

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DKGF_WARNINGS_AS_ERRORS=ON -DKGF_SANITIZE=ON -DKGF_BUILD_BENCH=OFF
cmake --build build/sanitize
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/sanitize --output-on-failure
