#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build for a while and prints what each
# did. Usage: fuzz/run.sh BUILD_DIR SECONDS_PER_HARNESS
# A crasher lands in BUILD_DIR/fuzz-findings/<harness>/; copy it into
# tests/data/fuzz/<target>/ once fixed, so the test suite replays it.
set -uo pipefail
build=$1
seconds=${2:-30}
source_dir="$(cd "$(dirname "$0")" && pwd)"
status=0
for harness in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$harness" _fuzzer)
  corpus="$build/fuzz-corpus/$name"
  findings="$build/fuzz-findings/$name"
  mkdir -p "$corpus" "$findings"
  log="$build/fuzz-findings/$name.log"
  ASAN_OPTIONS=detect_leaks=0 GGML_NO_BACKTRACE=1 QT_QPA_PLATFORM=offscreen \
    "$harness" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$source_dir/seeds/$name" >"$log" 2>&1
  result=$?
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  coverage=$(grep -oE 'cov: [0-9]+' "$log" | tail -n1 | grep -oE '[0-9]+')
  crashes=$(find "$findings" -maxdepth 1 -type f | wc -l)
  printf '%-18s %8s runs in %ss, coverage %s, corpus %s, findings %s%s\n' "$name" "${runs:-?}" "$seconds" \
    "${coverage:-?}" "$(find "$corpus" -type f | wc -l)" "$crashes" "$([ $result -ne 0 ] && echo ' (stopped on a finding: see '"$log"')')"
  [ $result -ne 0 ] && status=1
done
exit $status
