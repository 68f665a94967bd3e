#!/usr/bin/env bash
# Builds the libFuzzer targets of the analysis (clang, AddressSanitizer, UBSan) and runs each for
# SECONDS (default 60), seeded from the bundled samples, the project's test documents and, where it
# lies beside the clone, the third-party sample corpus. New inputs are kept in
# $PELMORA_BUILD_ROOT/fuzz/corpus/<target>, crashes in .../artifacts. Prints one summary line per
# target; exits 1 when a target found something.
# Usage: scripts/fuzz.sh [SECONDS] [target...]
#   (targets: header_scan link_image mac_binary dsc_comments xmp_packet native_data pdf_content
#    image_header)
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(header_scan link_image mac_binary dsc_comments xmp_packet native_data pdf_content
                              image_header)
out=${PELMORA_BUILD_ROOT:-build}/fuzz
seeds=("$out/seeds" samples)
corpus=$(realpath -m ../shared/corpus/files)
[ -d "$corpus" ] && seeds+=("$corpus")
cxx=${PELMORA_FUZZ_CXX:-clang++}
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=undefined -Isrc -Ifuzz)
sources=(analysis/ansi_text analysis/ansi_decode_iconv analysis/char_count analysis/document_file
         analysis/document_file_posix analysis/dsc_comments analysis/header_scan analysis/link_image
         analysis/mac_binary analysis/win32_errors analysis/xmp_packet base/text_utf8 preflight/native_data
         preflight/pdf_content preflight/image_header)
# pugixml's source, where scripts/deps.sh unpacked it, for the XMP reader.
pugixml=$(sed -n 's/^set(PELMORA_DEPS_PUGIXML_SOURCE "\(.*\)")$/\1/p' \
  "${PELMORA_DEPS_CACHE:-/var/cache/pelmora/deps}/index-pugixml.cmake" 2>/dev/null)/src
flags+=(-isystem "$pugixml")
libs=(-lz -lzstd -ltiff -ljpeg -lpng)
# Large seeds only slow the runs down: the targets blow small inputs up where size matters.
declare -A max_len=([header_scan]=16384 [link_image]=16384 [mac_binary]=512 [dsc_comments]=16384
                    [xmp_packet]=16384 [native_data]=65536 [pdf_content]=16384 [image_header]=65536)

if ! command -v "$cxx" >/dev/null; then
  echo "fuzz: $cxx not found (scripts/setup.sh installs clang)"; exit 1
fi
mkdir -p "$out/obj" "$out/artifacts"
rm -f "$out"/obj/*.o  # every run builds them afresh; an old name would link twice
python3 tests/documents/make_documents.py "$out/seeds" || { echo "fuzz: could not write the seed documents"; exit 1; }
# The test images seed the image header target (ImageMagick; without it the documents do).
sh tests/documents/make_images.sh "$out/image-seeds" >/dev/null 2>&1 && seeds+=("$out/image-seeds")
# The objects in parallel: on two cores the build is most of a short run.
export cxx out
[ -f "$pugixml/pugixml.cpp" ] || { echo "fuzz: pugixml's source is missing (scripts/setup.sh)"; exit 1; }
sources+=("$pugixml/pugixml")
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -I{} sh -c \
  'src="{}"; case "$src" in /*) ;; *) src="src/$src";; esac; obj=$(echo "{}" | tr / _)
   "$cxx" "$@" -c "$src.cpp" -o "$out/obj/$obj.o" || { echo "fuzz: build of {} failed"; exit 255; }' \
  sh "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" || exit 1

status=0
summary=()
for t in "${targets[@]}"; do
  if ! "$cxx" "${flags[@]}" "fuzz/${t}_fuzz.cpp" "$out"/obj/*.o "${libs[@]}" -o "$out/$t"; then
    summary+=("fuzz $t: build failed"); status=1; continue
  fi
  mkdir -p "$out/corpus/$t"
  log="$out/$t.log"
  nice -n 10 "$out/$t" -max_total_time="$seconds" -max_len="${max_len[$t]}" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$t-" "$out/corpus/$t" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  if ((rc == 0)); then
    summary+=("fuzz $t: ${seconds}s, ${runs:-?} runs, no finding")
  else
    summary+=("fuzz $t: FINDING (exit $rc), see $log and $out/artifacts/"); status=1
    tail -n 40 "$log"
  fi
done
printf '%s\n' "${summary[@]}"
exit "$status"
