#!/usr/bin/env bash
# Installs what is missing, builds the editor and starts it in a working
# directory holding the bundled sample names and formation table, with the
# table loaded.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target kgf-formation-editor

workdir=build/sample-workdir
mkdir -p "$workdir"
cp examples/readorder.txt examples/frmation.dat "$workdir/"
cd "$workdir"
exec ../release/app/kgf-formation-editor frmation.dat
