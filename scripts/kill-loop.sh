#!/usr/bin/env bash
# Kills processes with SIGKILL at random moments while they save factory data, append history records, take the
# bench connection lock and set bench faults, then checks what they left:
#   mixed    a handset or history file holding parts of two records
#   lost     a save or append that was reported complete and is not there
#   blocked  a handset that cannot be connected to, or its faults file that cannot be changed, after the kill
#   stalled  a check that had to wait for a lock nobody holds
#
#   scripts/kill-loop.sh [TRIALS]      default 200, spread over the four kinds of victim
set -euo pipefail
cd "$(dirname "$0")/.."
trials=${1:-200}
[ -d build ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target killtrial tgtlink_runtime >/dev/null
killtrial=$PWD/build/tests/killtrial
runtime=$PWD/build/bin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TGTLINK_BENCH=$work/bench TGTLINK_STATIONS=$runtime/stations.txt TGTLINK_DELAY_SCALE=0
cd "$runtime" # the RAM-run images are found relative to it
"$killtrial" plug USB1 >/dev/null
history=$work/imei_history.data

# The last "<word> N" line a victim printed, else its "start N".
last_done() { awk -v word="$1" '$1 == word || $1 == "start" { n = $2 } END { print (n == "" ? -1 : n) }' "$2"; }
field() { sed -n "s/.*$1: \([0-9-]*\).*/\1/p" <<<"$2"; }

mixed=0 lost=0 blocked=0 stalled=0 known=0
for ((t = 0; t < trials; t++)); do
    kinds=(save append connect faults)
    kind=${kinds[t % 4]}
    out=$work/victim.out
    case $kind in
        save | connect | faults) "$killtrial" "$kind" USB1 >"$out" 2>/dev/null & ;;
        append) "$killtrial" append "$history" >"$out" 2>/dev/null & ;;
    esac
    victim=$!
    # Somewhere from start-up to well into the loop.
    sleep "0.$(printf '%03d' $((RANDOM % 400)))"
    kill -KILL "$victim" 2>/dev/null || true
    wait "$victim" 2>/dev/null || true
    case $kind in
        save)
            # Nothing printed (killed at start-up): the record found by the trial before is the one reported.
            reported=$(last_done saved "$out")
            [ "$reported" -ge "$known" ] || reported=$known
            verdict=$("$killtrial" check-save USB1 "$reported")
            known=$(field record "$verdict")
            [ "$known" -ge 0 ] 2>/dev/null || known=0
            ;;
        append) verdict=$("$killtrial" check-append "$history" "$(last_done appended "$out")") ;;
        *) verdict=$("$killtrial" check-port USB1) ;;
    esac
    mixed=$((mixed + $(field mixed "$verdict" || echo 0) + 0))
    lost=$((lost + $(field lost "$verdict" || echo 0) + 0))
    blocked=$((blocked + $(field blocked "$verdict" || echo 0) + 0))
    stalled=$((stalled + $(field stalled "$verdict" || echo 0) + 0))
    if grep -q '[1-9]' <<<"$(field mixed "$verdict")$(field lost "$verdict")$(field blocked "$verdict")"; then
        echo "trial $t ($kind): $verdict"
    fi
done
echo "trials: $trials"
echo "mixed: $mixed"
echo "lost: $lost"
echo "blocked: $blocked"
echo "stalled: $stalled"
[ $((mixed + lost + blocked)) -eq 0 ]
