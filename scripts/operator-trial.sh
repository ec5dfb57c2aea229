#!/usr/bin/env bash
# Runs the randomized operator trial (tests/TestOperatorTrial.cpp) long: random operator sequences through the
# window on bench handsets, each checked against the invariants; a failing one is printed with its seed and
# shrunk to a short list of steps.
#
#   scripts/operator-trial.sh [--sequences N] [--seed S] [--full] [--hold LIST] [--build DIR]
#
# --sequences  how many sequences (default 2000); --seed  the first one's seed (default: from the clock)
# --full       every action and invariant, also those held back from the suite's run (see the README)
# --hold LIST  leave out these invariants and actions instead (comma list of names, e.g. unwritten-logged,swap)
# --build DIR  the build directory (default build; built here when the test is missing)
# A failure replays alone with --sequences 1 --seed <its seed>, and its shrunk steps with
# DOVERARIZ_TRIAL_STEPS=<the list printed>; DOVERARIZ_TRIAL_VERBOSE=1 prints each step with the log it made.
set -euo pipefail
cd "$(dirname "$0")/.."
sequences=2000
seed=$(date +%s)
build=build
unset DOVERARIZ_TRIAL_FULL DOVERARIZ_TRIAL_HOLD
while [ $# -gt 0 ]; do
    case "$1" in
    --sequences) sequences=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --full) export DOVERARIZ_TRIAL_FULL=1; shift ;;
    --hold) export DOVERARIZ_TRIAL_HOLD=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    -h | --help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done
if [ ! -x "$build/tests/TestOperatorTrial" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target TestOperatorTrial -j"$(nproc)"
fi
echo "operator trial: $sequences sequences from seed $seed"
# QtTest ends a test function after 5 minutes unless told otherwise: a long run needs its time.
QTEST_FUNCTION_TIMEOUT=$((300000 + sequences * 1000)) QT_QPA_PLATFORM=offscreen TGTLINK_DELAY_SCALE=0 DOVERARIZ_TRIAL_SEED=$seed DOVERARIZ_TRIAL_SEQUENCES=$sequences \
    "$build/tests/TestOperatorTrial" -maxwarnings 0 2>&1 | grep -v 'propagateSizeHints'
exit "${PIPESTATUS[0]}"
