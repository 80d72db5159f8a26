#!/usr/bin/env bash
# Installs the build into a staging folder and checks what lands there:
# every file a desktop needs, a desktop entry that desktop-file-validate
# passes without a word, metainfo that appstreamcli passes, pedantic, and a
# MIME type that update-mime-database takes silently and that gives the
# game's frmation.dat to the desktop entry.
#   check_install.sh BUILD_DIR      exit 77: a validator is missing
set -euo pipefail
build=$1
for tool in desktop-file-validate appstreamcli update-mime-database; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is missing (Debian packages desktop-file-utils, appstream and"
        echo "shared-mime-info)"
        exit 77
    fi
done
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cmake --install "$build" --prefix "$staging" >/dev/null

status=0
for file in bin/kgf-formation-editor lib/kgf-formation-editor/libkgf-formation-editor-gui.so \
    share/applications/kgf-formation-editor.desktop \
    share/metainfo/io.github.kgf_formation_editor.metainfo.xml \
    share/mime/packages/kgf-formation-editor.xml \
    share/icons/hicolor/scalable/apps/kgf-formation-editor.svg; do
    [ -f "$staging/$file" ] || { echo "missing: $file"; status=1; }
done
for size in 16 22 24 32 48 64 128 256; do
    icon=share/icons/hicolor/${size}x${size}/apps/kgf-formation-editor.png
    [ -f "$staging/$icon" ] || { echo "missing: $icon"; status=1; continue; }
    # The PNG's own width and height, from its header.
    read -r width height < <(od -An -tu1 -j16 -N8 "$staging/$icon" |
        awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
    [ "$width $height" = "$size $size" ] || { echo "$icon is ${width}x${height}"; status=1; }
done

# The staged program: the text modes without a display, and the window's
# library found from where it was installed (two files are one too many for
# the window, which it says once its library has started).
program=$staging/bin/kgf-formation-editor
[ "$("$program" --version)" = "kgf-formation-editor $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" ] ||
    { echo "the staged program does not give its version"; status=1; }
said=$(cd "$staging" && QT_QPA_PLATFORM=offscreen "$program" bin/kgf-formation-editor \
    share/applications/kgf-formation-editor.desktop 2>&1) && status=1
grep -q 'The window opens one file at a time' <<<"$said" ||
    { echo "the staged program's window did not start: $said"; status=1; }

said=$(desktop-file-validate "$staging"/share/applications/kgf-formation-editor.desktop 2>&1) ||
    status=1
[ -z "$said" ] || { echo "desktop-file-validate: $said"; status=1; }
if ! said=$(appstreamcli validate --no-net --pedantic --no-color \
    "$staging"/share/metainfo/io.github.kgf_formation_editor.metainfo.xml 2>&1); then
    status=1
fi
echo "appstreamcli: $said"
if grep -qE '^[EWIP]:' <<<"$said"; then status=1; fi

# The type the desktop entry opens is the one the MIME package gives frmation.dat.
mime=$staging/share/mime
# (It warns about a folder outside the data folders the session searches.)
said=$(XDG_DATA_DIRS=$staging/share update-mime-database "$mime" 2>&1) || status=1
[ -z "$said" ] || { echo "update-mime-database: $said"; status=1; }
type=$(awk -F: '$3 == "frmation.dat" { print $2 }' "$mime/globs2")
[ "$type" = application/x-kgf-formation-table ] ||
    { echo "frmation.dat is of type '$type'"; status=1; }
grep -qx "MimeType=$type;" "$staging"/share/applications/kgf-formation-editor.desktop ||
    { echo "the desktop entry does not open $type"; status=1; }
grep -q '^Exec=kgf-formation-editor %f$' "$staging"/share/applications/kgf-formation-editor.desktop ||
    { echo "the desktop entry does not pass the file"; status=1; }
exit $status
