#!/usr/bin/env bash
# Builds the benchmarks (RelWithDebInfo, in build/) and runs them. Each prints one figure a line as
# "name: value unit", with the reference figures of the same run beside ours.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target ImeiHistoryBenchmark HistoryListBenchmark IdentitySourcesBenchmark CycleBenchmark SheetImportBenchmark -j"$(nproc)"
build/bench/ImeiHistoryBenchmark
build/bench/HistoryListBenchmark
build/bench/IdentitySourcesBenchmark
build/bench/CycleBenchmark
build/bench/SheetImportBenchmark

# The shared ledger, on a PostgreSQL server the benchmark starts for itself.
cmake --build build --target LedgerBenchmark -j"$(nproc)"
build/bench/LedgerBenchmark
