#!/usr/bin/env bash
# Builds everything and runs the whole suite twice: a normal build, then one under AddressSanitizer
# and UndefinedBehaviorSanitizer; then builds the Debian package and checks it; then the Windows build, its
# installer and its check under wine (scripts/windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
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

# The Debian package, built as a station gets it and checked: its files, links, documentation and maintainer
# scripts, then installed, started, reinstalled and purged in a scratch root.
scripts/package.sh
scripts/check-package.sh

scripts/windows.sh
