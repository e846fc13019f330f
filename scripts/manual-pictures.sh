#!/usr/bin/env bash
# Makes the manual's pictures (main window, value viewer, filter, end of a
# save) by driving the program as a user
# does: under a virtual X server with a small window manager, the mouse and
# the keyboard sent by xdotool, the screen taken by ImageMagick's import.
# Not a test: run it by hand when the windows change, look at the pictures,
# and copy them into resources/help.
#
#   scripts/manual-pictures.sh [OUT_DIR]
#     BUILD_DIR  build folder with mendora (default: build)
#     MDF_DIR    the real data files (default: ../shared/mdf beside the clone)
#
# Needs xvfb, twm, xdotool and imagemagick (apt-get install xvfb twm xdotool
# imagemagick). The window is 1200 x 760 at the screen's top left; the
# positions below are of that layout.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
MDF_DIR="${MDF_DIR:-$ROOT/../shared/mdf}"
OUT="${1:-$BUILD_DIR/manual-pictures}"
mkdir -p "$OUT"
WORK="$(mktemp -d)"
export DISPLAY=:${MENDORA_PICTURES_DISPLAY:-58}
export XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/run"
# The save goes to a short path, so that the picture reads well.
SAVED=/tmp/Recovered
if [[ -e "$SAVED" ]]; then
  echo "$SAVED exists; move it away first" >&2
  exit 1
fi
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$SAVED"
chmod 700 "$XDG_RUNTIME_DIR"

Xvfb "$DISPLAY" -screen 0 1280x800x24 >/dev/null 2>&1 &
XVFB=$!
APP=""
cleanup() {
  [[ -n "$APP" ]] && kill "$APP" 2>/dev/null || true
  kill "$XVFB" 2>/dev/null || true
  rm -rf "$WORK" "$SAVED"
}
trap cleanup EXIT
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
twm >/dev/null 2>&1 &

"$BUILD_DIR/mendora" >"$WORK/mendora.log" 2>&1 &
APP=$!
# Waits until a window with this name shows.
wait_window() { xdotool search --sync --onlyvisible --name "$1" >/dev/null; sleep "${2:-0.5}"; }
click() { xdotool mousemove "$1" "$2" click 1; sleep "${3:-0.5}"; }
shot() { import -window root -crop 1200x760+0+0 "$OUT/$1"; }

# The file selection: Select MDF File, the file's path, Start.
wait_window "Mendora for Sql Server" 2
click 424 153 1.5
xdotool type --delay 5 "$MDF_DIR/v611-northwind.mdf"
xdotool key Return
sleep 1
xdotool key Return
sleep 3
for w in $(xdotool search --name "Mendora for Sql Server"); do xdotool windowsize "$w" 1200 760; done
sleep 1

# Categories: the tree and the grid as a user first sees them.
click 120 130 1
shot main-window.png

# Categories, its first picture in the value viewer.
click 590 123
xdotool key Return
sleep 1
shot grid-viewer.png

# Products filtered by category, sorted by price.
click 120 242 1
click 700 81
xdotool type "CategoryID = 1"
xdotool key Return
sleep 0.5
click 790 104 1
shot grid-filter.png

# Everything checked and saved: the message with the saved folder.
click 31 103
click 109 45 1.5
xdotool type --delay 5 "$SAVED"
xdotool key Return
sleep 3
shot save-done.png
xdotool key Return
echo "pictures in $OUT"
