#!/usr/bin/env bash
# Installs what is missing, builds the optimised native build and runs the analysis benchmark,
# the peak-memory check of the one-document driver, the timing of the peer programs and
# pelmora-scan over a delivery of 1,000 small documents, and its peak memory and time on 80 MB
# creator lines, over 100,000 documents and on hostile deliveries (deep trees, huge folders, a
# trailer storm, a packet of 155,000 fonts), --check on a 100 MB PDF-based .ai and its peak memory
# on a 200 MB one, and the headers of 1,000 linked images.
# Documents are generated once into PELMORA_BENCH_DIR (default: $TMPDIR/pelmora-bench, about 700 MB).
# Usage: scripts/bench.sh [benchmark flags...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

build=${PELMORA_BUILD_ROOT:-build}/linux-release
export PELMORA_BENCH_DIR=${PELMORA_BENCH_DIR:-${TMPDIR:-/tmp}/pelmora-bench}
cmake --preset linux-release -B "$build" >/dev/null
cmake --build "$build" -j "${PELMORA_JOBS:-2}" --target pelmora_bench pelmora_analyse pelmora_cli_bench \
  pelmora-scan pelmora_scan_memory pelmora_image_bench

echo "=== analysis against the plain read (documents in $PELMORA_BENCH_DIR)"
"$build/bin/pelmora_bench" --benchmark_min_time=1 "$@"

echo; echo "=== peak memory of one analysis (one process per document)"
for f in a.ai b.ai c.ai d.eps e.ai; do
  printf '%-6s ' "$f"; "$build/bin/pelmora_analyse" "$PELMORA_BENCH_DIR/$f" | grep 'peak RSS'
done

echo; echo "=== peers"
bench/peers.sh "$PELMORA_BENCH_DIR" "$build/bin/pelmora_analyse"

echo; echo "=== pelmora-scan over 1,000 small documents against reading them (ratio: scan / read)"
"$build/bin/pelmora_cli_bench" --benchmark_min_time=2 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

echo; echo "=== headers of 1,000 linked images against opening each and reading 64 KiB (ratio: headers / read)"
"$build/bin/pelmora_image_bench" --benchmark_min_time=2 --benchmark_repetitions=3 --benchmark_report_aggregates_only=true

echo; echo "=== peak memory and time of pelmora-scan: 80 MB creator lines, 100,000 documents, hostile deliveries (one process each)"
"$build/bin/pelmora_scan_memory" "$build/bin/pelmora-scan"
