#!/bin/sh
# run-unprivileged.sh <test executable> <function[:row]>...
# Runs test functions that need the file permissions to bind: as root (the suite runs so in CI) they would be
# skipped, so they run here as nobody, with a temporary folder of that user's own for TMPDIR and HOME. Run by
# any other user, the functions simply run as that user.
set -eu
test_exe=$1
shift
if [ "$(id -u)" -ne 0 ]; then
    exec "$test_exe" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
chown nobody:nogroup "$work"
cd "$work"
as_nobody() { TMPDIR="$work" HOME="$work" setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
# A build tree that nobody may not enter (below /root, say): the functions run from a copy of the executable.
if ! as_nobody test -x "$test_exe"; then
    cp "$test_exe" "$work/"
    test_exe="$work/$(basename "$test_exe")"
    chown nobody:nogroup "$test_exe"
fi
status=0
as_nobody "$test_exe" "$@" || status=$?
exit "$status"
