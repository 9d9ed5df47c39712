#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the normal build
# (with the window's tests offscreen), the sanitizer build of the core and the
# command-line programs, a short run of every fuzz target, the Release builds with GCC and
# with clang, and the Debian packages built, installed, checked and purged. Every build
# treats warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
strict=-DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $strict
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DKV_WITH_QT=OFF -DKV_BENCH=OFF $strict
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs"

bash scripts/fuzz.sh "${FUZZ_SECONDS:-8}"

# What a packager's plain build does: it only has to compile.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF -DKV_BENCH=OFF $strict
cmake --build build-release -j "$jobs"
CC=clang CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=Release -DKV_TESTS=OFF \
  -DKV_BENCH=OFF $strict
cmake --build build-clang -j "$jobs"

bash scripts/package-check.sh
