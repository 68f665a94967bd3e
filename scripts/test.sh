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

ctest_into() {  # log, ctest args...: the run's whole output into the log
  local log=$1; shift
  ctest "$@" --output-on-failure >"$log" 2>&1
}

ctest_summary() {  # name, log; leaves the run's counts in ctest_total/_failed/_skipped
  local name=$1 log=$2
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
}

run_ctest() {  # name, ctest args...: runs in the foreground, output shown as it comes
  local name=$1; shift
  local log; log=$(mktemp)
  ctest "$@" --output-on-failure 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  ctest_summary "$name" "$log"
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

step "Windows x64 build"
win64_built=
if cmake --preset win64 -B "$root/win64" >/dev/null && cmake --build "$root/win64" -j "$jobs"; then
  win64_built=1
else
  summary+=("win64: build failed"); status=1
fi

step "Windows x86 build"
win32_built=
if cmake --preset win32 -B "$root/win32" >/dev/null && cmake --build "$root/win32" -j "$jobs"; then
  win32_built=1
else
  summary+=("win32: build failed"); status=1
fi

# The two Wine runs and the fuzzers side by side: the window tests spend most of their time waiting
# for windows, and each build has a prefix, a wineserver and a display of its own.
step "Windows x64 tests under wine64, x86 tests under Wine's 32-bit loader, fuzzing (smoke run), side by side"
logs=$(mktemp -d)
x86_reason=$(cat .cache/x86-tests-skipped 2>/dev/null)
pids=()
if [ -n "$win64_built" ]; then
  (
    source scripts/wine-env.sh "$PWD/$root/win64"
    PELMORA_DISPLAY_FROM=90 pelmora_wine_start
    # A window test that fails twice in a row fails; once may be Wine still settling activation.
    ctest_into "$logs/win64" --test-dir "$root/win64" --repeat until-pass:2
    rc=$?
    pelmora_wine_stop
    exit "$rc"
  ) &
  pids+=("$!:win64")
fi
if [ -n "$win32_built" ]; then
  (
    # The same tests as the x64 build's, in a 64-bit prefix of its own as on 64-bit Windows.
    if [ -z "$x86_reason" ]; then
      source scripts/wine-env.sh "$PWD/$root/win32"
      PELMORA_DISPLAY_FROM=141 pelmora_wine_start
    fi
    ctest_into "$logs/win32" --test-dir "$root/win32" --repeat until-pass:2
    rc=$?
    [ -z "$x86_reason" ] && pelmora_wine_stop
    exit "$rc"
  ) &
  pids+=("$!:win32")
fi
PELMORA_BUILD_ROOT="$root" scripts/fuzz.sh "${PELMORA_FUZZ_SECONDS:-10}" >"$logs/fuzz" 2>&1
fuzz_rc=$?
declare -A rcs=()
for entry in "${pids[@]}"; do
  wait "${entry%%:*}"; rcs[${entry#*:}]=$?
done

echo; echo "=== fuzzing (smoke run)"
cat "$logs/fuzz"
[ "$fuzz_rc" -eq 0 ] || status=1
while IFS= read -r line; do summary+=("$line"); done < <(grep '^fuzz' "$logs/fuzz")
if [ -n "$win64_built" ]; then
  echo; echo "=== Windows x64 tests under wine64"
  cat "$logs/win64"
  ctest_summary win64 "$logs/win64"
  [ "${rcs[win64]}" -eq 0 ] || status=1
fi
if [ -n "$win32_built" ]; then
  echo; echo "=== Windows x86 tests under Wine's 32-bit loader"
  cat "$logs/win32"
  ctest_summary win32 "$logs/win32"
  [ "${rcs[win32]}" -eq 0 ] || status=1
  if [ -n "$ctest_total" ]; then
    summary+=("win32: $((ctest_total - ctest_failed - ctest_skipped)) passed, $ctest_failed failed, $ctest_skipped skipped${x86_reason:+ ($x86_reason)}")
  else
    summary+=("win32: the tests gave no result"); status=1
  fi
fi
rm -rf "$logs"
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
