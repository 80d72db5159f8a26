#!/usr/bin/env bash
# Breaks the save on purpose, one promise at a time (each patch in
# tools/mutants/ says which in its first line), and requires the save sweeps
# to fail on every broken copy: sweeps that pass a broken save prove
# nothing. Prints which sweep caught each, then "N of N mutants caught".
# Exits non-zero when one is not caught, or a patch no longer applies or
# builds (then the patch is to be made again against the save as it is).
#
# It works on a copy of the sources in build/mutants (KGF_MUTANTS_DIR moves
# it) and builds only the sweeps there. Patches named as arguments are
# tried alone: tools/mutants.sh tools/mutants/07-*.patch
set -euo pipefail
cd "$(dirname "$0")/.."

work=${KGF_MUTANTS_DIR:-build/mutants}
src=$work/src
build=$work/build
mkdir -p "$work"
rm -rf "$src"
mkdir -p "$src"
# Each file new (-m): a build left by an earlier run must not take the
# patched copies it compiled for the sources.
tar --exclude=./build --exclude=./.git -cf - . | tar -C "$src" -m -xf -

# Built for a quick rebuild after each patch: -O1, no debugging data.
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
    -DKGF_BUILD_BENCH=OFF -DKGF_WARNINGS_AS_ERRORS=OFF >/dev/null
cmake --build "$build" --target tst_save_sweeps >/dev/null
sweeps=$build/tests/tst_save_sweeps
# The unbroken copy passes, or no failure below would mean anything.
"$sweeps" -silent stepsAreAsListed >/dev/null

# The sweeps in rounds, quickest first, the two long ones side by side on
# two cores (the longest in two halves, FUNCTION:PART/PARTS); the first
# failure catches. A failure ends its sweep at once.
rounds=("stepsAreAsListed" "callsFail anotherProgramActs:0/2 anotherProgramActs:1/2"
    "cutOffAtEachStep")
export QTEST_FATAL_FAIL=1 QTEST_DISABLE_STACK_DUMP=1 QTEST_DISABLE_CORE_DUMP=1
outputs=$work/outputs
mkdir -p "$outputs"
# What a stopped sweep leaves behind stays in here.
export TMPDIR=$work/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

# Runs the sweeps named, side by side; prints the first failure of any of
# them ("function: failure"), stopping the others then, or nothing.
firstFailure() {
    local pids=() entry function part pid failure
    rm -f "$outputs"/*
    for entry in "$@"; do
        function=${entry%%:*}
        part=${entry#"$function"}
        part=${part#:}
        part=${part:-0/1}
        KGF_SWEEP_OFFSET=${part%/*} KGF_SWEEP_EVERY=${part#*/} \
            "$sweeps" -silent "$function" >"$outputs/${entry//\//-}" 2>&1 &
        pids+=($!)
    done
    while [ ${#pids[@]} -gt 0 ]; do
        wait -n "${pids[@]}" || true
        for entry in "$@"; do
            failure=$(grep -m1 '^FAIL!' "$outputs/${entry//\//-}" || true)
            if [ -n "$failure" ]; then
                kill "${pids[@]}" 2>/dev/null || true
                wait "${pids[@]}" 2>/dev/null || true
                echo "${entry%%:*}: ${failure#FAIL!  : SaveSweepTest::}"
                return
            fi
        done
        local running=()
        for pid in "${pids[@]}"; do
            kill -0 "$pid" 2>/dev/null && running+=("$pid")
        done
        pids=("${running[@]}")
    done
}

caught=0
total=0
broken=0
# Patches named on the command line, or all of them.
patches=("$@")
[ ${#patches[@]} -gt 0 ] || patches=(tools/mutants/*.patch)
for patch in "${patches[@]}"; do
    name=$(basename "$patch" .patch)
    total=$((total + 1))
    if ! patch -p1 -d "$src" --forward --quiet <"$patch" >/dev/null; then
        echo "$name: the patch no longer applies"
        broken=$((broken + 1))
        continue
    fi
    if ! cmake --build "$build" --target tst_save_sweeps >/dev/null 2>&1; then
        echo "$name: the broken copy does not build"
        broken=$((broken + 1))
    else
        by=""
        for round in "${rounds[@]}"; do
            # shellcheck disable=SC2086 # a round is a list of names
            by=$(firstFailure $round)
            [ -n "$by" ] && break
        done
        if [ -n "$by" ]; then
            caught=$((caught + 1))
            echo "$name: caught by ${by:0:200}"
        else
            echo "$name: NOT CAUGHT ($(head -n1 "$patch"))"
        fi
    fi
    patch -p1 -R -d "$src" --quiet <"$patch" >/dev/null
done

echo "$caught of $total mutants caught"
[ "$caught" -eq "$total" ] && [ "$broken" -eq 0 ]
