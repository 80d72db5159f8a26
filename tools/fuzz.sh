#!/usr/bin/env bash
# Fuzzes the editor's number texts, names file, both load paths and the
# table text reader with libFuzzer, under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#   bash tools/fuzz.sh [SECONDS [TARGET...]]   (default 600: ten minutes in all,
#                                               every target)
# The time is shared among the targets. Each starts from the committed
# corpus in tests/fuzz/corpus and keeps what it finds in build/fuzz/corpus;
# an input that breaks a check is written to build/fuzz/artifacts and the
# script exits non-zero. Replay one with: build/fuzz/tests/fuzz/fuzz_<target> FILE
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
EXTRA_PACKAGES="clang libclang-rt-14-dev" tools/install-deps.sh

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKGF_FUZZ=ON -DKGF_SANITIZE=ON -DKGF_BUILD_BENCH=OFF >/dev/null
targets=(number_text line_encoding names load table_text)
[ $# -lt 2 ] || targets=("${@:2}")
cmake --build build/fuzz --target "${targets[@]/#/fuzz_}"

each=$((seconds / ${#targets[@]}))
[ "$each" -ge 1 ] || each=1
mkdir -p build/fuzz/artifacts
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=0
for target in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "== $target: $each s"
    if ! build/fuzz/tests/fuzz/fuzz_"$target" -max_total_time="$each" -max_len=8192 \
        -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/"$target"- \
        "$corpus" tests/fuzz/corpus/"$target" 2>build/fuzz/"$target".log; then
        failed=1
        tail -30 build/fuzz/"$target".log
    fi
    grep -E "stat::number_of_executed_units|cov:" build/fuzz/"$target".log | tail -2 || true
done
exit $failed
