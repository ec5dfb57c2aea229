#!/bin/sh
# Runs a program of the Windows build under wine, for ctest and the build's own steps (CMake's cross-compiling
# emulator). A QtTest program's log does not come through wine's console here, so it goes through a file and is
# printed afterwards. Under wine some test programs do not end once their log is finished (their process stays
# in its exit); such a program is ended five seconds after its last line, and its log's totals decide.
program=$1
shift
wine=${WINE:-/usr/lib/wine/wine64}
case "$(basename "$program")" in
Test*.exe) ;;
*) exec "$wine" "$program" "$@" ;;
esac
log=$(mktemp)
"$wine" "$program" "$@" -o "$log,txt" </dev/null &
pid=$!
finished_at=""
while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$finished_at" ] && grep -q '^\*\*\*\*\*\*\*\*\* Finished testing' "$log"; then
        finished_at=$(date +%s)
    fi
    if [ -n "$finished_at" ] && [ $(($(date +%s) - finished_at)) -ge 5 ]; then
        kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        cat "$log"
        echo "(the program did not end by itself after its log; ended by wine-run.sh)"
        grep -q '^Totals: .* 0 failed' "$log"
        rc=$?
        rm -f "$log"
        exit $rc
    fi
    sleep 0.5
done
wait "$pid"
rc=$?
cat "$log"
rm -f "$log"
exit $rc
