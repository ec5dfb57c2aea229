#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a given time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 60 seconds, every target
#
# Each target's corpus is kept in build-fuzz/corpus/<Name>/ and grows from run to run (the seeds in
# fuzz/corpus/<Name>/ are read, never written); inputs that fail land in build-fuzz/findings/<Name>/.
# FUZZ_JOBS (default 1) runs that many fuzzing processes per target.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
jobs=${FUZZ_JOBS:-1}
scripts/install-deps.sh test

CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDOVERARIZ_FUZZ=ON -DDOVERARIZ_SANITIZE=ON -DDOVERARIZ_BUILD_TESTS=OFF -DDOVERARIZ_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzzers -j"$(nproc)"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    while read -r t; do
        targets+=("$t")
    done < <(sed -n 's/^doverariz_add_fuzzer(\(Fuzz[A-Za-z0-9_]*\).*/\1/p' fuzz/CMakeLists.txt)
fi

status=0
for t in "${targets[@]}"; do
    corpus="build-fuzz/corpus/$t"
    findings="build-fuzz/findings/$t"
    mkdir -p "$corpus" "$findings"
    log="build-fuzz/$t.log"
    echo "== $t: ${seconds}s"
    parallel=()
    # More than one process: each writes its own fuzz-N.log, counted below with the main log.
    [ "$jobs" -le 1 ] || parallel=(-jobs="$jobs" -workers="$jobs")
    if ! (cd build-fuzz && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
          TGTLINK_DELAY_SCALE=0 "fuzz/$t" -max_total_time="$seconds" "${parallel[@]}" \
          -print_final_stats=1 -artifact_prefix="$PWD/findings/$t/" "corpus/$t" "../fuzz/corpus/$t") >"$log" 2>&1; then
        status=1
    fi
    logs=("$log")
    for f in build-fuzz/fuzz-*.log; do
        if [ -e "$f" ]; then logs+=("$f"); fi # a failed test here would end the script under set -e
    done
    execs=$(awk '/stat::number_of_executed_units/ { s += $2 } END { print s + 0 }' "${logs[@]}")
    found=$(find "$findings" -type f | wc -l)
    echo "$t: executions: $execs, corpus: $(find "$corpus" -type f | wc -l), findings: $found"
    rm -f build-fuzz/fuzz-*.log
    [ "$found" -eq 0 ] || status=1
done
exit $status
