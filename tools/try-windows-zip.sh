#!/usr/bin/env bash
# Tries the Windows program from its zip under Wine, on a virtual X display,
# as a user would. First the console program through `wine cmd /c`, which
# finds kgf-formation-editor.com by PATHEXT: an export and an import back
# give the sample byte for byte, a mistyped mode ends with status 2 and
# names the mode, and the window started through it comes up while cmd has
# already returned (cmd /c under Wine waits for a window program it starts
# itself). Then the window program: starts it in the unpacked folder, loads
# the sample frmation.dat through the file dialog, chooses formation 9,
# rests the mouse on selector 27, takes a picture, and saves the table as
# saved.dat, which must equal the sample byte for byte. Then it draws
# formation 9 with the picture command, which must write a PNG file.
#   bash tools/try-windows-zip.sh ZIP [PICTURE]   (default docs/screenshot-wine.png)
set -euo pipefail
cd "$(dirname "$0")/.."
zip=$(realpath "$1")
picture=$(realpath -m "${2:-docs/screenshot-wine.png}")
EXTRA_PACKAGES="wine64 wine xvfb xauth imagemagick xdotool unzip" tools/install-deps.sh

# The program must run from the zip alone, on its own DLLs and settings.
unset WINEPATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR
# A Wine session started without a display cannot open windows.
wineserver -k 2>/dev/null || true
work=$(mktemp -d /tmp/KGF-wine.XXXX)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
folder=$(ls -d "$work"/kgf-formation-editor-*-win64)
mkdir -p "$(dirname "$picture")"

cat >"$work/try.sh" <<'TRY'
set -euo pipefail
folder=$1 picture=$2
cd "$folder"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
find_window() {
    local found=""
    for _ in $(seq 300); do
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) || true
        [ -n "$found" ] && break
        sleep 0.2
    done
    [ -n "$found" ] || { echo "no window \"$1\" appeared" >&2; exit 1; }
    echo "$found"
}

wine cmd /c "kgf-formation-editor export frmation.dat > table.json && kgf-formation-editor import table.json copy.dat" \
    >/dev/null 2>&1
[ "$(head -c 1 table.json)" = "{" ] || { echo "cmd: export wrote no JSON" >&2; exit 1; }
cmp frmation.dat copy.dat
echo "cmd /c: export and import back through kgf-formation-editor.com give the sample"
set +e
said=$(wine cmd /c kgf-formation-editor exprot frmation.dat 2>&1)
status=$?
set -e
[ $status -eq 2 ] && grep -q "did you mean export?" <<<"$said" ||
    { echo "cmd: a mistyped mode ended with $status: $said" >&2; exit 1; }
echo "cmd /c: a mistyped mode ends with status 2 and names export"
# Output to a file: the window program keeps the handles it was given.
timeout 60 wine cmd /c kgf-formation-editor >/dev/null 2>&1 ||
    { echo "cmd /c did not return while the window is open" >&2; exit 1; }
find_window "Formation table utility" >/dev/null
echo "cmd /c: the window started through kgf-formation-editor.com, and cmd returned"
wineserver -k 2>/dev/null || true
sleep 1

wine kgf-formation-editor.exe >/dev/null 2>&1 &
window=$(find_window "Formation table utility")
sleep 2
# Pixel positions in the window: the layout's twips / 15.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 1; }
answer() { # types a file name into the file dialog, which has the focus
    sleep 4
    xdotool type --delay 30 "$1"
    xdotool key Return
    sleep 3
}
click 100 23                 # Load
answer "frmation.dat"
click 313 248                # selector 9
xdotool mousemove --window "$window" 179 354   # over selector 27
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$picture"
click 278 413                # Save Formation file
answer "saved.dat"
cmp frmation.dat saved.dat
echo "saved.dat equals the sample frmation.dat, byte for byte"
WINEDEBUG=-all wine kgf-formation-editor.exe picture --formation 9 -o nine.png frmation.dat
file nine.png | grep -q "PNG image data" || { echo "the picture command wrote no PNG" >&2; exit 1; }
echo "the picture command wrote $(file -b nine.png)"
cp nine.png "${picture%.png}-picture-command.png"
TRY
xvfb-run -a -s "-screen 0 1024x600x24" bash "$work/try.sh" "$folder" "$picture"
echo "wrote $picture"
