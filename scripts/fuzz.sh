#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 8). A longer hunt: bash scripts/fuzz.sh 600
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-8}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKV_FUZZ=ON -DKV_SANITIZE=ON -DKV_WITH_QT=OFF -DKV_BENCH=OFF -DKV_TESTS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-fuzz -j "$(nproc)"
mkdir -p build-fuzz/corpus
for target in build-fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  mkdir -p "build-fuzz/corpus/$name"
  seeds="fuzz/seeds/${name#fuzz_}"
  [ -d "$seeds" ] || seeds=""
  echo "== $name for ${seconds}s"
  rc=0
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    "build-fuzz/corpus/$name" $seeds >"build-fuzz/$name.log" 2>&1 || rc=$?
  grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' "build-fuzz/$name.log" || true
  if [ "$rc" -ne 0 ]; then
    tail -n 40 "build-fuzz/$name.log"
    exit "$rc"
  fi
done
