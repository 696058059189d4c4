#!/usr/bin/env bash
# Run inside a virtual X display (scripts/screenshots.sh): starts openbox and the desktop program
# with fresh settings, as at a user's first start, and takes a picture of the whole screen.
# Usage: first_start.sh PATH/TO/tarvex OUT.png
set -euo pipefail
program=$(realpath "$1")
out=$2
here=$(cd "$(dirname "$0")" && pwd)
config=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$config" "$work"' EXIT
openbox >/dev/null 2>&1 &
wm=$!
sleep 1.5
(cd "$work" && XDG_CONFIG_HOME=$config exec "$program" >/dev/null 2>&1) &
app=$!
# The windows are up and placed well within this time, even on a busy machine.
sleep 5
xwd -root -silent >"$work/screen.xwd"
python3 "$here/xwd_to_png.py" "$work/screen.xwd" "$out"
kill "$app" "$wm" 2>/dev/null || true
wait 2>/dev/null || true
