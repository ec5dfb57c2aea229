#!/usr/bin/env bash
# Builds the Debian package (tool, handset, ledger when built, RAM-run images, station list, translations and
# manuals) in build-package/ and prints its path. BUILD_DIR names another build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
build=${BUILD_DIR:-build-package}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDOVERARIZ_BUILD_TESTS=OFF \
    -DDOVERARIZ_BUILD_BENCH=OFF -DDOVERARIZ_BUILD_MANUALS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/doverariz_*.deb
