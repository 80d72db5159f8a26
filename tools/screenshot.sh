#!/usr/bin/env bash
# Makes a picture of the editor with the bundled sample table loaded,
# formation 9 chosen and the mouse over selector 27, under a virtual X
# display, and a second one of the formation picture window it then opens
# with Ctrl+P. Remake them after any change to the form or the picture:
#   bash tools/screenshot.sh [OUTPUT.png [PICTURE.png]]
#   (default docs/screenshot.png and docs/screenshot-picture.png)
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-docs/screenshot.png}")
picture=$(realpath -m "${2:-docs/screenshot-picture.png}")

EXTRA_PACKAGES="xvfb xauth imagemagick xdotool" tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release --target kgf-formation-editor >/dev/null

workdir=$(mktemp -d /tmp/KGF-sample.XXXX)
trap 'rm -rf "$workdir"' EXIT
cp examples/readorder.txt examples/frmation.dat "$workdir/"
mkdir -p "$(dirname "$output")" "$(dirname "$picture")"

# Runs inside the virtual display: start the editor, load, choose, hover, shoot.
cat > "$workdir/shoot.sh" <<'SHOOT'
set -euo pipefail
program=$1 output=$2 picture=$3
"$program" &
editor=$!
trap 'kill $editor 2>/dev/null || true' EXIT
window=""
for _ in $(seq 100); do
    window=$(xdotool search --name "Formation table utility" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "the editor window did not appear" >&2; exit 1; }
sleep 1
# Pixel positions in the window: the layout's twips / 15.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.5; }
click 100 23                       # Load
for _ in $(seq 50); do             # the file dialog
    dialog=$(xdotool search --name "Open" 2>/dev/null | head -1) && [ -n "$dialog" ] && break
    sleep 0.1
done
sleep 1
xdotool type --delay 20 "frmation.dat"
xdotool key Return
sleep 1
click 313 248                      # selector 9
xdotool mousemove --window "$window" 179 354   # over selector 27
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$output"
# The picture window, opened from the keyboard.
xdotool key --window "$window" ctrl+p
shown=""
for _ in $(seq 50); do
    shown=$(xdotool search --name "Formation 9:" 2>/dev/null | head -1) && [ -n "$shown" ] && break
    sleep 0.1
done
[ -n "$shown" ] || { echo "the picture window did not appear" >&2; exit 1; }
sleep 1
xdotool mousemove 0 0
eval "$(xdotool getwindowgeometry --shell "$shown")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$picture"
SHOOT
(cd "$workdir" && xvfb-run -a -s "-screen 0 1024x600x24" \
    bash shoot.sh "$(realpath -m "$OLDPWD/build/release/app/kgf-formation-editor")" "$output" \
    "$picture")
echo "wrote $output and $picture"
