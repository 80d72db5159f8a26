#!/usr/bin/env bash
# The Debian package, made with cpack from the build.
#   check_deb.sh BUILD_DIR contents   makes it; checks its files and Depends
#   check_deb.sh BUILD_DIR install    as root: installs it with apt-get,
#                                     starts the program, removes it again
# Exit 77: skipped, with the reason printed.
set -euo pipefail
build=$(realpath "$1")
mode=$2
out=$build/package-test
package=kgf-formation-editor

deb() { ls "$out"/${package}_*_*.deb 2>/dev/null | head -1; }
if [ "$mode" = contents ] || [ -z "$(deb)" ]; then
    rm -rf "$out"
    (cd "$build" && cpack -G DEB -B "$out" >/dev/null)
fi
file=$(deb)
[ -n "$file" ] || { echo "cpack made no package"; exit 1; }

files=(usr/bin/kgf-formation-editor usr/lib/kgf-formation-editor/libkgf-formation-editor-gui.so
    usr/share/applications/kgf-formation-editor.desktop
    usr/share/metainfo/io.github.kgf_formation_editor.metainfo.xml
    usr/share/mime/packages/kgf-formation-editor.xml
    usr/share/icons/hicolor/scalable/apps/kgf-formation-editor.svg)
for size in 16 22 24 32 48 64 128 256; do
    files+=(usr/share/icons/hicolor/${size}x${size}/apps/kgf-formation-editor.png)
done

if [ "$mode" = contents ]; then
    status=0
    contents=$(dpkg-deb --contents "$file")
    for path in "${files[@]}"; do
        grep -q " \./$path\$" <<<"$contents" || { echo "not in the package: $path"; status=1; }
    done
    depends=$(dpkg-deb --field "$file" Depends)
    echo "$(basename "$file"): Depends: $depends"
    grep -q 'libqt6widgets6' <<<"$depends" || { echo "Depends lacks libqt6widgets6"; status=1; }
    grep -q 'fonts-liberation' <<<"$depends" || { echo "Depends lacks fonts-liberation"; status=1; }
    grep -q 'libqt6svg6' <<<"$depends" || { echo "Depends lacks libqt6svg6"; status=1; }
    exit $status
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing the package needs root"
    exit 77
fi
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    echo "skipped: $package is already installed here and is left alone"
    exit 77
fi
export DEBIAN_FRONTEND=noninteractive
remove() { apt-get remove -y -qq -o DPkg::Lock::Timeout=300 "$package" >/dev/null 2>&1 || true; }
trap remove EXIT
apt-get install -y -qq -o DPkg::Lock::Timeout=300 --no-install-recommends "$file" >/dev/null
for path in "${files[@]}"; do
    [ -f "/$path" ] || { echo "not installed: /$path"; exit 1; }
done
# Started offscreen in an empty folder, it must still be running after 3 s.
workdir=$(mktemp -d)
set +e
(cd "$workdir" && QT_QPA_PLATFORM=offscreen timeout 3 /usr/bin/kgf-formation-editor)
ran=$?
set -e
rm -rf "$workdir"
[ $ran -eq 124 ] || { echo "the installed program ended with $ran within 3 s"; exit 1; }
trap - EXIT
apt-get remove -y -qq -o DPkg::Lock::Timeout=300 "$package" >/dev/null
for path in "${files[@]}"; do
    [ ! -e "/$path" ] || { echo "left behind after removal: /$path"; exit 1; }
done
echo "installed, started for 3 s and removed: $(basename "$file")"
