#!/bin/sh
# Runs a program of the Windows build under wine, for ctest and the build's own steps (CMake's cross-compiling
# emulator). A QtTest program's log does not come through wine's console here, so it goes through a file and is
# printed afterwards.
program=$1
shift
wine=${WINE:-/usr/lib/wine/wine64}
case "$(basename "$program")" in
Test*.exe)
    log=$(mktemp)
    "$wine" "$program" "$@" -o "$log,txt"
    rc=$?
    cat "$log"
    rm -f "$log"
    exit $rc
    ;;
*) exec "$wine" "$program" "$@" ;;
esac
