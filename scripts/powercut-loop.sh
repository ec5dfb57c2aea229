#!/usr/bin/env bash
# Cuts the power at random bytes of factory-data saves and of history appends, and checks what is left:
#   mixed  a handset or history file holding parts of two records (or a failed save that changed the handset)
#   lost   a save or append that was reported complete and is not there
#
#   scripts/powercut-loop.sh [TRIALS]  default 500 of each
set -euo pipefail
cd "$(dirname "$0")/.."
trials=${1:-500}
[ -d build ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target killtrial tgtlink_runtime >/dev/null
killtrial=$PWD/build/tests/killtrial
runtime=$PWD/build/bin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TGTLINK_BENCH=$work/bench TGTLINK_STATIONS=$runtime/stations.txt TGTLINK_DELAY_SCALE=0
cd "$runtime"
"$killtrial" plug USB1 >/dev/null

saves=$("$killtrial" powercut-save USB1 "$trials")
appends=$("$killtrial" powercut-append "$work/imei_history.data" "$trials")
sum() { awk -v key="$1:" '$1 == key { s += $2 } END { print s + 0 }' <<<"$saves"$'\n'"$appends"; }
echo "trials: $(sum trials)"
echo "mixed: $(sum mixed)"
echo "lost: $(sum lost)"
[ "$(sum mixed)" -eq 0 ] && [ "$(sum lost)" -eq 0 ]
