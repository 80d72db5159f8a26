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

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKGF_BUILD_BENCH=OFF -DKGF_WARNINGS_AS_ERRORS=OFF >/dev/null
cmake --build "$build" --target tst_save_sweeps >/dev/null
sweeps=$build/tests/tst_save_sweeps
# The unbroken copy passes, or no failure below would mean anything.
"$sweeps" -silent stepsAreAsListed >/dev/null

# The sweeps one after another, quickest first; the first failure catches.
functions=(stepsAreAsListed callsFail anotherProgramActs cutOffAtEachStep)

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
        for function in "${functions[@]}"; do
            # grep stops at the first failure, and the sweeps with it.
            first=$("$sweeps" -silent "$function" 2>&1 | grep -m1 '^FAIL!' || true)
            if [ -n "$first" ]; then
                by="$function: ${first#FAIL!  : SaveSweepTest::}"
                break
            fi
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
