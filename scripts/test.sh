#!/usr/bin/env bash
# Builds everything and runs the whole suite twice: a normal build, then one under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
# The ledger tests start their own PostgreSQL server; here its absence is a failure, not a skip.
export DOVERARIZ_REQUIRE_POSTGRESQL=1

# The plain build also renders the manuals (and tests them); the sanitized one skips that.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVERARIZ_BUILD_MANUALS=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDOVERARIZ_SANITIZE=ON -DDOVERARIZ_BUILD_BENCH=OFF
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
