#!/usr/bin/env bash
# Installs what is missing, builds the Windows program and shows its window for a sample
# document under wine64 (on the screen of $DISPLAY, or a virtual one whose screenshot is saved).
# Usage: scripts/run.sh [document]   (default: a bundled sample)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target pelmora

doc=${1:-samples/sample-ai8.eps}
doc=$(realpath "$doc")
winpath="Z:${doc//\//\\}"

PELMORA_KEEP_DISPLAY=${DISPLAY:+1}
source scripts/wine-env.sh "$PWD/build/win64"
pelmora_wine_start
trap pelmora_wine_stop EXIT
echo "run: pelmora.exe \"$winpath\" on display $DISPLAY"
if [ -n "${pelmora_xvfb_pid:-}" ]; then
  # No screen of our own: show it on the virtual display, save a picture, and close it.
  pelmora_window_picture build/win64/bin/pelmora.exe "$winpath" build/pelmora-window.png
  echo "run: window shown; screenshot in build/pelmora-window.png"
else
  "$pelmora_wine" build/win64/bin/pelmora.exe "$winpath"
fi
