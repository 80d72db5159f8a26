#!/usr/bin/env bash
# Writes the lists of steps the save sweeps hold each save to anew, from the
# sweeps' own record of each scene's system calls, after a change to the
# save that is meant to change them. Read the difference before committing
# it: each line is a step the sweeps then hold the save to.
#
#   tools/sweep-steps.sh            tests/files/sweep_steps.inc, from the Linux build
#   tools/sweep-steps.sh --windows  tests/files/sweep_steps_windows.inc, from the
#                                   Windows build (build/windows) under Wine
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --windows ]; then
    list=tests/files/sweep_steps_windows.inc
    qt=$(ls -d "${KGF_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kgf-formation-editor/windows}"/qt-*-mingw64 | head -1)
    runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    export WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    record() {
        # Under Wine the report goes to a file; the steps go to standard output.
        (cd build/windows/tests && KGF_PRINT_SWEEP_STEPS=1 wine tst_save_sweeps.exe \
            stepsAreAsListed -o steps.log.txt,txt 2>/dev/null) | tr -d '\r'
    }
else
    list=tests/files/sweep_steps.inc
    record() {
        KGF_PRINT_SWEEP_STEPS=1 "${1:-build/release/tests/tst_save_sweeps}" stepsAreAsListed \
            2>/dev/null
    }
fi
{
    echo "// Made by tools/sweep-steps.sh from the sweeps' own record, then read through:"
    echo "// each scene's system calls in order, with the part each file plays."
    echo
    # The run fails where the steps changed; what it printed is what is wanted.
    { record || true; } | sed -n 's/^steps: //p'
} >"$list.new"
mv "$list.new" "$list"
git diff --stat -- "$list"
