#!/usr/bin/env bash
# Writes tests/files/sweep_steps.inc anew from the save sweeps' own record
# of each scene's system calls, after a change to the save that is meant to
# change them. Read the difference before committing it: each line is a
# step the sweeps then hold the save to.
set -euo pipefail
cd "$(dirname "$0")/.."
sweeps=${1:-build/release/tests/tst_save_sweeps}
{
    echo "// Made by tools/sweep-steps.sh from the sweeps' own record, then read through:"
    echo "// each scene's system calls in order, with the part each file plays."
    echo
    # The run fails where the steps changed; what it printed is what is wanted.
    { KGF_PRINT_SWEEP_STEPS=1 "$sweeps" stepsAreAsListed 2>/dev/null || true; } | sed -n 's/^steps: //p'
} > tests/files/sweep_steps.inc.new
mv tests/files/sweep_steps.inc.new tests/files/sweep_steps.inc
git diff --stat -- tests/files/sweep_steps.inc
