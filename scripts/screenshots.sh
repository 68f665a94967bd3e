#!/usr/bin/env bash
# Pictures of each window for the user guide (docs/guide-*.png), drawn by the built program under
# Wine in a prefix of their own, made to look as Windows 10 draws its classic controls: Wine's
# caption-button font (else the close box shows an "r") and the Windows 10 system colours.
# Needs the win64 build with its tests (cmake --build build/win64).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$PWD/build/win64
[ -x "$build/bin/pelmora.exe" ] || { echo "screenshots: build win64 first" >&2; exit 1; }

source scripts/wine-env.sh "$build/docs"
pelmora_wine_start
trap pelmora_wine_stop EXIT
cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
colours=(
  "ActiveTitle=255 255 255" "GradientActiveTitle=255 255 255" "TitleText=0 0 0"
  "InactiveTitle=255 255 255" "GradientInactiveTitle=255 255 255" "InactiveTitleText=153 153 153"
  "ActiveBorder=255 255 255" "InactiveBorder=255 255 255" "WindowFrame=100 100 100"
  "ButtonFace=240 240 240" "ButtonLight=227 227 227" "ButtonHilight=255 255 255"
  "ButtonShadow=160 160 160" "ButtonDkShadow=105 105 105" "Menu=255 255 255" "MenuBar=255 255 255"
  "Window=255 255 255" "Hilight=0 120 215" "HilightText=255 255 255" "GrayText=109 109 109"
)
for c in "${colours[@]}"; do
  "$pelmora_wine" reg add 'HKCU\Control Panel\Colors' /v "${c%%=*}" /t REG_SZ /d "${c#*=}" /f >/dev/null 2>&1
done

# The result window on the bundled sample, as a user opens it.
winpath="Z:${PWD//\//\\}\\samples\\sample-ai8.eps"
pelmora_window_picture "$build/bin/pelmora.exe" "$winpath" docs/guide-result-window.png

# The other windows as the end-to-end tests open them; the harness saves each one.
ctest --test-dir "$build" -R 'TypeWindow.AllElevenLines|AboutWindow.ShowsTheLayout|LateCreators/ProgressWindow.*generated' >/dev/null
convert "$build/screenshots/type-window.bmp" docs/guide-notes-window.png
convert "$build/screenshots/about-window.bmp" docs/guide-about-window.png
convert "$build/screenshots/progress-window-generated.bmp" docs/guide-progress-window.png
ls -l docs/guide-*.png
