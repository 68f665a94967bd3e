# Sourced by run.sh and test.sh: a Wine prefix of the project's own, a virtual display and a
# persistent wineserver, so each test process starts in well under a second.
# Usage: source scripts/wine-env.sh <build-dir>; then pelmora_wine_start / pelmora_wine_stop.
# Every build's prefix is a 64-bit one, as on 64-bit Windows: the x86 build's programs run in it
# through Wine's 32-bit loader, the loader its CMake cache names (CMAKE_CROSSCOMPILING_EMULATOR).

pelmora_build_dir=${1:?build dir}
export WINEPREFIX="$pelmora_build_dir/wine-prefix"
export WINEDEBUG=-all
# No Mono or Gecko prompts; and no menu entries or file associations of the host from what the
# installer tests install (winemenubuilder would write them under ~/.local and ~/.config).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
pelmora_wine=/usr/lib/wine/wine64  # the prefix's own tools: wineboot, reg, cmd
pelmora_wineserver=/usr/lib/wine/wineserver
# The loader of the build's programs.
pelmora_loader=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$pelmora_build_dir/CMakeCache.txt" 2>/dev/null)
pelmora_loader=${pelmora_loader:-$pelmora_wine}

pelmora_start_display() {
  if [ -n "${PELMORA_KEEP_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then return; fi
  local n
  # Runs side by side take displays from ranges of their own: two scans of one range at once could
  # both take the same free number.
  local from=${PELMORA_DISPLAY_FROM:-90}
  for n in $(seq "$from" $((from + 50))); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pelmora_xvfb_pid=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return; sleep 0.1; done
  done
  echo "wine-env: could not start Xvfb" >&2; return 1
}

pelmora_init_prefix() {
  [ -f "$WINEPREFIX/.pelmora-ready" ] && return
  mkdir -p "$WINEPREFIX"
  "$pelmora_wine" wineboot --init </dev/null >/dev/null 2>&1
  "$pelmora_wineserver" -w
  # The program's fonts and the Japanese dialog font, mapped onto the IPA fonts.
  local key='HKCU\Software\Wine\Fonts\Replacements' f
  for f in "ＭＳ ゴシック" "MS Gothic"; do
    "$pelmora_wine" reg add "$key" /v "$f" /t REG_SZ /d "IPAGothic" /f >/dev/null 2>&1
  done
  for f in "ＭＳ Ｐゴシック" "MS PGothic" "MS UI Gothic" "Meiryo UI" "メイリオ" "Meiryo" "Yu Gothic UI" "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI"; do
    "$pelmora_wine" reg add "$key" /v "$f" /t REG_SZ /d "IPAPGothic" /f >/dev/null 2>&1
  done
  # No window manager runs on the virtual display: Wine draws title bars and borders itself.
  "$pelmora_wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  "$pelmora_wineserver" -w
  touch "$WINEPREFIX/.pelmora-ready"
}

pelmora_wine_start() {
  pelmora_start_display
  pelmora_init_prefix
  # Redirected, or the server holds the caller's pipes open and a piped run hangs.
  "$pelmora_wineserver" -p </dev/null >/dev/null 2>&1
  # The first program in a prefix starts Wine's background services, which inherit its standard
  # handles and keep them for the server's lifetime: start them here, on /dev/null, so that no
  # test runner later waits forever for the end of a test's output.
  "$pelmora_wine" cmd /c exit </dev/null >/dev/null 2>&1
}

pelmora_wine_stop() {
  "$pelmora_wineserver" -k >/dev/null 2>&1 || true
  "$pelmora_wineserver" -w >/dev/null 2>&1 || true
  if [ -n "${pelmora_xvfb_pid:-}" ]; then kill "$pelmora_xvfb_pid" 2>/dev/null || true; wait "$pelmora_xvfb_pid" 2>/dev/null || true; fi
}

# Starts EXE on the document WINPATH, saves a picture of its result window once it has appeared
# and painted, and ends the program. Usage: pelmora_window_picture EXE WINPATH OUT.png
pelmora_window_picture() {
  "$pelmora_loader" "$1" "$2" &
  local app=$! win= i
  for i in $(seq 200); do
    win=$(xwininfo -root -tree -display "$DISPLAY" 2>/dev/null | awk '/"Pelmora 3.1"/ {print $1; exit}')
    [ -n "$win" ] && break
    sleep 0.1
  done
  if [ -z "$win" ]; then
    kill "$app" 2>/dev/null
    echo "the result window did not appear" >&2
    return 1
  fi
  sleep 1  # let Wine finish painting before the picture is taken
  import -display "$DISPLAY" -window "$win" "$3"
  kill "$app" 2>/dev/null || true
}
