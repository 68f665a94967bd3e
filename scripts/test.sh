#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the portable code natively
# with sanitizers, a short run of each fuzzer, the Win32 layer and the real program under
# wine64 + Xvfb, and the same tests of the 32-bit Windows build under Wine's 32-bit loader (where
# the machine cannot run it, scripts/setup.sh says why and those tests report themselves skipped).
# PELMORA_BUILD_ROOT moves the build folders (default: build); PELMORA_FUZZ_SECONDS sets each
# fuzzer's run (default 10: a smoke run; scripts/fuzz.sh makes the long ones).
set -uo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
scripts/setup.sh || exit 1

root=${PELMORA_BUILD_ROOT:-build}
jobs=${PELMORA_JOBS:-$(nproc)}
summary=()
stages=()
status=0
skipped_total=0
stage_start=$SECONDS

step() {  # ends the previous stage's clock and starts the next
  [ -n "${stage_name:-}" ] && stages+=("$stage_name: $((SECONDS - stage_start)) s")
  stage_name=$1; stage_start=$SECONDS
  echo; echo "=== $*"
}

run_ctest() {  # name, ctest args...; leaves the run's counts in ctest_total/_failed/_skipped
  local name=$1; shift
  local log; log=$(mktemp)
  ctest "$@" --output-on-failure 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local closing; closing=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
  summary+=("$name: $closing")
  ctest_total=; ctest_failed=
  [[ $closing =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]] &&
    ctest_failed=${BASH_REMATCH[1]} ctest_total=${BASH_REMATCH[2]}
  # Tests that report themselves skipped (the sample corpus is not beside every clone).
  local skipped; skipped=$(grep -cE '^[[:space:]]+[0-9]+ - .*\(Skipped\)$' "$log")
  ctest_skipped=$skipped
  skipped_total=$((skipped_total + skipped))
  ((skipped)) && summary+=("$name skipped: $skipped, listed above with the reason in their output")
  rm -f "$log"
  return "$rc"
}

stages+=("setup: $((SECONDS - start)) s")

step "native build (ASan/UBSan)"
if cmake --preset linux -B "$root/linux" >/dev/null && cmake --build "$root/linux" -j "$jobs"; then
  step "native tests"
  run_ctest native --test-dir "$root/linux" -j "$jobs" || status=1
else
  summary+=("native: build failed"); status=1
fi

step "fuzzing (smoke run)"
fuzz_log=$(mktemp)
PELMORA_BUILD_ROOT="$root" scripts/fuzz.sh "${PELMORA_FUZZ_SECONDS:-10}" 2>&1 | tee "$fuzz_log"
[ "${PIPESTATUS[0]}" -eq 0 ] || status=1
while IFS= read -r line; do summary+=("$line"); done < <(grep '^fuzz' "$fuzz_log")
rm -f "$fuzz_log"

step "Windows x64 build"
if cmake --preset win64 -B "$root/win64" >/dev/null && cmake --build "$root/win64" -j "$jobs"; then
  step "Windows x64 tests under wine64"
  source scripts/wine-env.sh "$PWD/$root/win64"
  pelmora_wine_start
  # A window test that fails twice in a row fails; once may be Wine still settling activation.
  run_ctest win64 --test-dir "$root/win64" --repeat until-pass:2 || status=1
  pelmora_wine_stop
else
  summary+=("win64: build failed"); status=1
fi

step "Windows x86 build"
if cmake --preset win32 -B "$root/win32" >/dev/null && cmake --build "$root/win32" -j "$jobs"; then
  # The same tests as the x64 build's, in a 64-bit prefix of its own as on 64-bit Windows.
  x86_reason=$(cat .cache/x86-tests-skipped 2>/dev/null)
  step "Windows x86 tests under Wine's 32-bit loader"
  if [ -z "$x86_reason" ]; then
    source scripts/wine-env.sh "$PWD/$root/win32"
    pelmora_wine_start
  fi
  run_ctest win32 --test-dir "$root/win32" --repeat until-pass:2 || status=1
  [ -z "$x86_reason" ] && pelmora_wine_stop
  if [ -n "$ctest_total" ]; then
    summary+=("win32: $((ctest_total - ctest_failed - ctest_skipped)) passed, $ctest_failed failed, $ctest_skipped skipped${x86_reason:+ ($x86_reason)}")
  else
    summary+=("win32: the tests gave no result"); status=1
  fi
else
  summary+=("win32: build failed"); status=1
fi
step "done"

echo
echo "=== summary"
printf 'time %s\n' "${stages[@]}" "total: $((SECONDS - start)) s"
# Builds and fuzzers first, the test runners' own closing lines last, then their sum.
printf '%s\n' "${summary[@]}" | grep -v 'tests passed' || true
printf '%s\n' "${summary[@]}" | grep 'tests passed' || true
passed=0; failed=0
for line in "${summary[@]}"; do
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1])); passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
done
passed=$((passed - skipped_total))
echo "total: $passed passed, $failed failed, $skipped_total skipped"
exit "$status"
