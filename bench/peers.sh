#!/usr/bin/env bash
# Times the programs a user would use instead (ExifTool, file) and this program's native driver
# on documents (a) and (c) of the benchmark, against a plain read of the bytes the analysis must
# cover (dd through a 1 MiB buffer). Whole processes each: the median of RUNS wall-clock runs.
# Usage: bench/peers.sh DOCUMENT_FOLDER PELMORA_ANALYSE [RUNS]
set -euo pipefail
dir=$1 analyse=$2 runs=${3:-5}

median_ms() {  # command... ; prints the median wall time in milliseconds
  local times=()
  for _ in $(seq "$runs"); do
    local t0 t1; t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N)
    times+=($(((t1 - t0) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]/1000}'
}

plain() {  # file, byte counts of each read from the start
  local f=$1; shift
  for bytes in "$@"; do dd if="$f" of=/dev/null bs=1M count="$bytes" iflag=count_bytes status=none; done
}

row() {  # label, plain ms, command...
  local label=$1 base=$2; shift 2
  local ms; ms=$(median_ms "$@")
  printf '  %-22s %10s ms %8s x\n' "$label" "$ms" "$(awk -v a="$ms" -v b="$base" 'BEGIN {printf "%.1f", a/b}')"
}

# The bytes of the windows the analysis reads: (a) is ASCII, so characters are bytes.
for doc in "a.ai 40960000" "c.ai 102400 2048000"; do
  set -- $doc
  f=$dir/$1; shift
  base=$(median_ms plain "$f" "$@")
  echo "$(basename "$f") ($(du -h "$f" | cut -f1)), plain read of $* bytes: $base ms"
  row "pelmora_analyse" "$base" "$analyse" "$f"
  row "exiftool" "$base" exiftool "$f"
  row "file" "$base" file "$f"
done
