#!/usr/bin/env bash
# Builds the editor for 64-bit Windows on Debian 12, runs every test under
# Wine and writes kgf-formation-editor-<version>-win64.zip and the installer
# kgf-formation-editor-<version>-win64.msi, which it tries under Wine.
#
# As root it installs what is missing (MinGW-w64, Wine, ...); otherwise it
# prints the apt-get line and stops. Qt for Windows is built once from
# Debian's own source of the Qt we use, into a cache folder outside the
# clone (KGF_WINDOWS_CACHE, default ~/.cache/kgf-formation-editor/windows);
# later runs reuse it.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD

cache=${KGF_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kgf-formation-editor/windows}
build=build/windows

stage_started=$SECONDS
stage() {
    echo "== $1 (after $((SECONDS - stage_started)) s)"
}

stage "packages"
EXTRA_PACKAGES="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev wine64 wine zip unzip xvfb xauth \
imagemagick xdotool wixl msitools" tools/install-deps.sh
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/+.*//')
qt=$cache/qt-$qt_version-mingw64

# Qt for Windows, from the source package of the Qt this machine builds with.
if [ -f "$qt/.complete" ]; then
    stage "Qt $qt_version for Windows: reusing the build in $qt"
else
    stage "Qt $qt_version for Windows: building it once into $qt (about 25 minutes)"
    mkdir -p "$cache/source"
    if ! ls "$cache"/source/qt6-base_"$qt_version"*.orig.tar.* >/dev/null 2>&1; then
        if ! (cd "$cache/source" && apt-get source --download-only qt6-base >/dev/null 2>&1); then
            # Source packages need deb-src beside deb in the package sources.
            if [ "$(id -u)" -ne 0 ]; then
                echo "Add deb-src to /etc/apt/sources.list.d/debian.sources (Types: deb deb-src)," >&2
                echo "run apt-get update, and run this again." >&2
                exit 1
            fi
            sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
            apt-get update -qq
            (cd "$cache/source" && apt-get source --download-only qt6-base >/dev/null)
        fi
    fi
    tarball=$(ls "$cache"/source/qt6-base_"$qt_version"*.orig.tar.* | head -1)
    rm -rf "$cache/qtbase" "$cache/qtbase-build"
    rm -f "$qt/.complete-svg" # Qt SVG is built anew on the new qtbase
    mkdir -p "$cache/qtbase"
    tar -xf "$tarball" -C "$cache/qtbase" --strip-components=1
    # Qt remembers its toolchain file: keep a copy that outlives this clone.
    cp tools/mingw-w64.cmake "$cache/mingw-w64.cmake"
    features=()
    for feature in sql network dbus opengl opengl_dynamic dynamicgl vulkan printsupport \
        concurrent xml tabletevent icu glib zstd fontconfig jpeg direct2d1_1 \
        testlib_selfcover system_zlib system_png system_jpeg system_freetype \
        system_harfbuzz system_pcre2 system_doubleconversion system_libb2 \
        system_sqlite system_textmarkdownreader; do
        features+=("-DFEATURE_$feature=OFF")
    done
    # No host library may leak into the Windows build.
    PKG_CONFIG_LIBDIR=/nonexistent cmake -S "$cache/qtbase" -B "$cache/qtbase-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$qt" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DBUILD_SHARED_LIBS=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DINPUT_opengl=no -DFEATURE_direct2d=ON -DFEATURE_freetype=ON "${features[@]}" \
        >"$cache/qtbase-configure.log"
    cmake --build "$cache/qtbase-build"
    cmake --install "$cache/qtbase-build" >/dev/null
    find "$qt" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
    rm -rf "$cache/qtbase" "$cache/qtbase-build"
    touch "$qt/.complete"
fi

# Qt SVG (for pictures saved as SVG), a step of its own on top of the qtbase
# build: from Debian's source of the Qt SVG this machine builds with, else
# from the upstream source of the same version kept beside the project
# (third-party/ in the shared folder), once its checksum is right.
svg_version=$(dpkg-query -W -f='${Version}' qt6-svg-dev | sed 's/+.*//; s/-[^-]*$//')
svg=ON
# The shared folder lies beside the project; a clone finds it beside the
# repository it was cloned from too.
third_party_folders() {
    [ -n "${KGF_THIRD_PARTY:-}" ] && echo "$KGF_THIRD_PARTY"
    echo "$source_dir/../shared/third-party"
    local origin
    origin=$(git -C "$source_dir" remote get-url origin 2>/dev/null) || return 0
    [ -d "$origin" ] && echo "$origin/../shared/third-party"
    return 0
}
upstream_svg_source() { # prints the checked upstream tarball, if one is found
    local name=qtsvg-everywhere-src-$svg_version.tar.xz folder
    while read -r folder; do
        [ -f "$folder/$name" ] && [ -f "$folder/$name.sha256" ] || continue
        if (cd "$folder" && sha256sum --check --status "$name.sha256"); then
            echo "$folder/$name"
            return 0
        fi
        echo "$folder/$name does not match its checksum: not used" >&2
    done < <(third_party_folders)
    return 0
}
if [ -f "$qt/.complete-svg" ]; then
    stage "Qt SVG $svg_version for Windows: reusing the build in $qt"
else
    stage "Qt SVG $svg_version for Windows: building it once into $qt (a few minutes)"
    mkdir -p "$cache/source"
    if ! ls "$cache"/source/qt6-svg_"$svg_version"*.orig.tar.* >/dev/null 2>&1; then
        (cd "$cache/source" && apt-get source --download-only qt6-svg >/dev/null 2>&1) || true
    fi
    svg_tarball=$(ls "$cache"/source/qt6-svg_"$svg_version"*.orig.tar.* 2>/dev/null | head -1) || true
    if [ -n "$svg_tarball" ]; then
        echo "Qt SVG from Debian's source: $svg_tarball"
    else
        svg_tarball=$(upstream_svg_source)
        [ -n "$svg_tarball" ] && echo "Debian's source of Qt SVG could not be fetched; from the upstream source $svg_tarball, its checksum checked"
    fi
    if [ -z "$svg_tarball" ]; then
        echo "Debian's source of Qt SVG $svg_version could not be fetched (apt-get source" >&2
        echo "qt6-svg, with deb-src in the package sources), and no upstream source of it" >&2
        echo "with a right checksum lies in third-party/ beside the project: the Windows" >&2
        echo "program is built without it and saves pictures as PNG only." >&2
        svg=OFF
    else
        rm -rf "$cache/qtsvg" "$cache/qtsvg-build"
        mkdir -p "$cache/qtsvg"
        tar -xf "$svg_tarball" -C "$cache/qtsvg" --strip-components=1
        PKG_CONFIG_LIBDIR=/nonexistent "$qt/bin/qt-cmake" -S "$cache/qtsvg" -B "$cache/qtsvg-build" \
            -G Ninja -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
            >"$cache/qtsvg-configure.log"
        cmake --build "$cache/qtsvg-build"
        cmake --install "$cache/qtsvg-build" >/dev/null
        x86_64-w64-mingw32-strip --strip-unneeded "$qt/bin/Qt6Svg.dll"
        rm -rf "$cache/qtsvg" "$cache/qtsvg-build"
        touch "$qt/.complete-svg"
    fi
fi

stage "the editor and its tests for Windows"
"$qt/bin/qt-cmake" -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKGF_WARNINGS_AS_ERRORS=ON -DKGF_BUILD_BENCH=OFF -DKGF_SVG=$svg >/dev/null
cmake --build "$build"

stage "the programs start with QtCore alone"
# What the system loads with the programs: QtGui and QtWidgets only with the
# window's library, which the programs load for the window alone.
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
for program in kgf-formation-editor.exe kgf-formation-editor.com; do
    if imports "$build/app/$program" | grep -E '^(Qt6Gui|Qt6Widgets|kgf-formation-editor-gui)\.dll$'; then
        echo "$program imports the libraries above" >&2
        exit 1
    fi
done
imports "$build/app/kgf-formation-editor-gui.dll" | grep -qx Qt6Widgets.dll ||
    { echo "kgf-formation-editor-gui.dll does not import Qt6Widgets.dll" >&2; exit 1; }
echo "kgf-formation-editor.exe and .com import no QtGui or QtWidgets; the window's library does"

stage "every test under Wine"
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
fonts=/usr/share/fonts/truetype/liberation
# Wine drops QT_* variables; WINEQT_X arrives in the program as QT_X.
export WINEPATH="$(winepath -w "$qt/bin");$(winepath -w "$gcc_runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
export WINEQT_QPA_PLATFORM=offscreen
export WINEQT_QPA_FONTDIR=$(winepath -w "$fonts")
export WINEDEBUG=-all
# No offer to install Wine's .NET and HTML engines: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
wineboot --init >/dev/null 2>&1 || true
totals() { # Qt Test's reports go to files under Wine: sum up their totals
    cat "$build"/tests/*.log.txt | grep '^Totals:' |
        awk -v what="$1" '{ p += $2; f += $4; s += $6 } END { printf "%s: %d passed, %d failed, %d skipped\n", what, p, f, s }'
}
failures() { # what failed, from those reports
    grep -h -A6 '^FAIL' "$build"/tests/*.log.txt || true
    exit 1
}
# Each file call goes through Wine's server: one of every three rows of the
# save sweeps' two largest (all of them in the Linux stage).
# Offscreen, the suites run side by side, one per core; on Windows' own
# platform below they share one screen and its focus, so one at a time.
KGF_SWEEP_EVERY=3 ctest --test-dir "$build" --output-on-failure -j "$(nproc)" || failures
totals "Qt Test functions under Wine, offscreen"

stage "the window suites that depend most on the platform, on Windows' own, under Xvfb"
# A Wine session started without a display cannot open windows later.
wineserver -k 2>/dev/null || true
rm -f "$build"/tests/*.log.txt # the totals below are this run's only
WINEQT_QPA_PLATFORM="windows:fontengine=freetype" xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$build" --output-on-failure -L platform || failures
totals "Qt Test functions under Wine, windows platform"
wineserver -k 2>/dev/null || true

stage "the zip"
version=$(sed -n 's/^project(kgf_formation_editor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kgf-formation-editor-$version-win64
bundle=$build/$name
rm -rf "$bundle" "$name.zip"
mkdir -p "$bundle/platforms"
cp "$build/app/kgf-formation-editor.exe" "$build/app/kgf-formation-editor.com" \
    "$build/app/kgf-formation-editor-gui.dll" "$bundle/"
dlls=(Qt6Core Qt6Gui Qt6Widgets)
[ "$svg" = ON ] && dlls+=(Qt6Svg)
for dll in "${dlls[@]}"; do
    cp "$qt/bin/$dll.dll" "$bundle/"
done
# The window on Windows' own platform; the picture command offscreen.
cp "$qt/plugins/platforms/qwindows.dll" "$qt/plugins/platforms/qoffscreen.dll" "$bundle/platforms/"
cp "$gcc_runtime/libstdc++-6.dll" "$gcc_runtime/libgcc_s_seh-1.dll" \
    /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$bundle/"
x86_64-w64-mingw32-strip --strip-unneeded "$bundle"/*.exe "$bundle"/*.com "$bundle"/*.dll \
    "$bundle"/platforms/*.dll
cp examples/frmation.dat examples/readorder.txt "$bundle/"
sed "s/@VERSION@/$version/" packaging/windows/README.txt | sed 's/$/\r/' >"$bundle/README.txt"
(cd "$build" && zip -q -r -9 "$source_dir/$name.zip" "$name")
echo "wrote $name.zip ($(du -k "$name.zip" | cut -f1) KiB)"

stage "the program from the zip under Wine: the console program through cmd; start, load, save"
bash tools/try-windows-zip.sh "$name.zip" "$build/screenshot-wine.png"

stage "the installer"
# The same files as the zip; the window program has its own component in
# the installer's source, with the Start menu entry and "Open with".
installer() { # VERSION OUT
    local sources=$build/installer
    rm -rf "$sources"
    mkdir -p "$sources"
    cp packaging/windows/kgf-formation-editor.wxs packaging/windows/kgf-formation-editor.ico "$sources/"
    (cd "$build" && find "$name" -type f ! -path "$name/kgf-formation-editor.exe" | LC_ALL=C sort |
        wixl-heat -p "$name/" --var var.SourceDir --component-group BundleFiles \
            --directory-ref INSTALLDIR >installer/files.wxs)
    # wixl takes the paths of the sources relative to the folder it runs in.
    (cd "$build" && wixl -a x64 -D Version="$1" -D SourceDir="$name" \
        -D IconFile=installer/kgf-formation-editor.ico -o "$2" \
        installer/kgf-formation-editor.wxs installer/files.wxs)
}
rm -f "$name.msi"
installer "$version" "$source_dir/$name.msi"
echo "wrote $name.msi ($(du -k "$name.msi" | cut -f1) KiB)"
# An earlier version of the same files, for the upgrade's test alone.
installer 0.0.1 "$source_dir/$build/earlier-win64.msi"

stage "the installer under Wine in a fresh prefix: install, run, upgrade, uninstall"
bash tools/try-windows-msi.sh "$name.msi" "$build/earlier-win64.msi" "$name.zip" "$version"

stage "done"
