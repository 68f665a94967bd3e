#!/usr/bin/env bash
# Builds the Windows release, x64 and x86: for each a portable zip and a per-user MSI installer,
# checked against the programs they hold. Leaves them in build/<preset>/packages/ and lists them.
# PELMORA_BUILD_ROOT moves the build folders (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

root=${PELMORA_BUILD_ROOT:-build}
jobs=${PELMORA_JOBS:-$(nproc)}
for preset in win64 win32; do
  cmake --preset "$preset" -B "$root/$preset" >/dev/null
  cmake --build "$root/$preset" -j "$jobs" --target pelmora_packages
done
echo
ls -l "$root"/win64/packages/*.zip "$root"/win64/packages/*.msi "$root"/win32/packages/*.zip "$root"/win32/packages/*.msi
