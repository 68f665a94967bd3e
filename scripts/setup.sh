#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test Pelmora. Idempotent: apt is only
# asked when a package is missing, and the Japanese locale is generated only once.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-utils imagemagick locales
  fonts-ipafont-gothic fonts-ipafont-mincho fonts-wine
  libimage-exiftool-perl file
  wixl msitools zip dpkg-dev python3 chromium
  zlib1g-dev libzstd-dev libjpeg62-turbo-dev libpng-dev libtiff-dev libqpdf-dev pkg-config
  libz-mingw-w64-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages (pugixml for every target, the scanner's libraries for MinGW) come from a deb-src
# entry beside the system's deb entry.
sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
src_list=/etc/apt/sources.list.d/pelmora-deb-src
if ! ls "$src_list".* >/dev/null 2>&1 &&
   ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  # The same URIs, suites and components as the deb entries, as source entries.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: *deb *$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee "$src_list.sources" >/dev/null
  else
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list | "${sudo_cmd[@]}" tee "$src_list.list" >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
fi
# Built once per machine into a cache outside the clone (scripts/deps.sh says where and how).
repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/deps.sh"
# pugixml's source used to be unpacked into the clone; the machine's cache holds it now.
rm -rf "$repo/.cache/pugixml"
rmdir "$repo/.cache" 2>/dev/null || true

# Wine needs ja_JP.UTF-8 to pick ANSI code page 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# ---- 32-bit Windows programs: the x86 build's tests ----
# Debian's wine32:i386 (multiarch) brings Wine's 32-bit loader, /usr/lib/wine/wine, which runs the
# x86 build in the same 64-bit prefix kind as the x64 one. Where this machine cannot have it, the
# reason is kept in .cache/x86-tests-skipped: the x86 build is still compiled and packaged, and its
# tests report themselves skipped with that reason rather than failing.
x86_reason_file="$repo/.cache/x86-tests-skipped"
x86_reason=
sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
x86_kernel_runs_i386() {
  # A static i386 program of 93 bytes, exit(0) through int 0x80: it returns normally exactly when
  # the kernel runs 32-bit code, whatever i386 libraries are installed.
  local prog; prog=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$prog"
  chmod +x "$prog"
  "$prog" 2>/dev/null; local rc=$?
  rm -f "$prog"
  return "$rc"
}
if [ -x /usr/lib/wine/wine ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  :  # installed and running: a second run costs these two checks
elif [ "$(dpkg --print-architecture)" != amd64 ]; then
  x86_reason="the machine is $(dpkg --print-architecture), not amd64: Debian's wine32:i386 does not install beside it"
elif ! x86_kernel_runs_i386; then
  x86_reason="the kernel does not run 32-bit programs (no IA-32 emulation), so Wine's 32-bit loader cannot run"
else
  echo "setup: installing Wine's 32-bit loader (wine32:i386, about 130 MB)"
  apt_log=$(mktemp)
  added_i386=
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    added_i386=yes
  fi
  if ! "${sudo_cmd[@]}" apt-get update -qq >"$apt_log" 2>&1 ||
     grep -q '^E:' "$apt_log" ||
     ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
         -o DPkg::Lock::Timeout=300 wine32:i386 >>"$apt_log" 2>&1; then
    # Most often the archive's i386 index out of step with amd64 ("File has unexpected size …
    # Mirror sync in progress?"): say what apt said, its first error rather than a warning.
    said=$({ grep -m1 '^E:' "$apt_log" || grep -m1 '^W:' "$apt_log" || tail -n1 "$apt_log"; } | cut -c1-300)
    x86_reason="apt could not install wine32:i386: ${said:-no message}"
    # An architecture whose index cannot be had would fail every later apt-get update, and with it
    # the installs above: it goes again until the next try.
    if [ -n "$added_i386" ]; then
      "${sudo_cmd[@]}" dpkg --remove-architecture i386 2>/dev/null || true
    fi
  elif ! /lib/ld-linux.so.2 --version >/dev/null 2>&1 || [ ! -x /usr/lib/wine/wine ]; then
    x86_reason="wine32:i386 is installed, but /lib/ld-linux.so.2 or /usr/lib/wine/wine does not run"
  fi
  rm -f "$apt_log"
fi
mkdir -p "$repo/.cache"
if [ -n "$x86_reason" ]; then
  echo "setup: the x86 tests will be skipped: $x86_reason" >&2
  printf '%s\n' "$x86_reason" >"$x86_reason_file"
else
  rm -f "$x86_reason_file"
fi
