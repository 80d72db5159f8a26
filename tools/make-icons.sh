#!/usr/bin/env bash
# Renders the icon at the sizes desktops look for, from its SVG source.
# The PNGs are kept in the repository; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
EXTRA_PACKAGES="librsvg2-bin imagemagick" tools/install-deps.sh
root=packaging/icons/hicolor
source=$root/scalable/apps/kgf-formation-editor.svg
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$root/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$source" -o "$root/${size}x${size}/apps/kgf-formation-editor.png"
done
# The Windows program's icon: the same pictures in one .ico file.
pictures=()
for size in 16 24 32 48 64 128 256; do
    pictures+=("$root/${size}x${size}/apps/kgf-formation-editor.png")
done
convert "${pictures[@]}" packaging/windows/kgf-formation-editor.ico
echo "icons written under $root and to packaging/windows"
