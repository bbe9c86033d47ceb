#!/usr/bin/env bash
# Builds the workbook reader's fuzz target and runs it over the committed
# workbooks as seeds. Usage: fuzz/run.sh [seconds] (default 600).
# Three workers; a crash, hang or memory blow-up leaves its input in
# build-fuzz/found/ and the run goes on. Copy each one to
# tests/fixtures/workbook_crashers/: the normal tests read them from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-600}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTENVORA_FUZZ=ON \
  -DTENVORA_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_workbook >/dev/null
corpus="$build/corpus"
mkdir -p "$corpus" "$build/found"
cp tests/fixtures/workbook_*.xlsx tests/fixtures/workbook_*.ods tests/fixtures/exchange_*.xlsx tests/fixtures/workbooks/*.xlsx \
  tests/fixtures/workbooks/*.ods "$corpus"/ 2>/dev/null || true
cp tests/fixtures/workbook_crashers/* "$corpus"/ 2>/dev/null || true
export TMPDIR=${TMPDIR:-/dev/shm}
"$build/fuzz/fuzz_workbook" "$corpus" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
  -max_len=65536 -artifact_prefix="$build/found/" -fork=3 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1
