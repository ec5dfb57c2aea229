#!/usr/bin/env bash
# Renders the window with a demo handset plugged in into docs/screenshot.png, on Qt's offscreen platform (no
# display needed). SCREENSHOT_LANGUAGE=Chinese renders the Chinese interface (needs a CJK font installed).
# SCREENSHOT_NO_BUILD=1 uses the executables as they are (the build itself renders the manuals' pictures so).
# SCREENSHOT_SETUP=<prefix> also pictures each tab of the Setup dialog, into <prefix>-imei.png, -mbsn, -psn, -bt.
set -euo pipefail
out=$(realpath -m "${1:-docs/screenshot.png}")
cd "$(dirname "$0")/.."
build=$(realpath -m "${BUILD_DIR:-build}")
language=${SCREENSHOT_LANGUAGE:-English}

if [ -z "${SCREENSHOT_NO_BUILD:-}" ]; then
    if [ ! -x "$build/bin/doverariz" ] || [ ! -x "$build/bin/handset" ]; then
        scripts/install-deps.sh
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$build" --target doverariz handset >/dev/null
fi

# A copy of the runtime directory, so that the build's own cfg/ and log/ stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/app/cfg" "$work/tmp"
cp "$build/bin/doverariz" "$work/app/"
cp -r "$build/bin/tr" "$work/app/"
cat >"$work/app/cfg/ImeiSN.ini" <<INI
[ImeiSN]
language=$language
RunType=15
ImeiNum=2
Imei1InputType=4
Imei2InputType=4
INI
"$build/bin/handset" --bench "$work/bench" plug USB1 >/dev/null

mkdir -p "$(dirname "$out")"
output=$(cd "$work" && TMPDIR="$work/tmp" TGTLINK_BENCH="$work/bench" QT_QPA_PLATFORM=offscreen \
    DOVERARIZ_DATA_DIR='' DOVERARIZ_EXIT_AFTER_MS=2000 DOVERARIZ_GRAB="$out" \
    DOVERARIZ_GRAB_SETUP="${SCREENSHOT_SETUP:-}" "$work/app/doverariz" 2>/dev/null)
echo "$output"
[ -s "$out" ] || { echo "no screenshot was written" >&2; exit 1; }
if [ -n "${SCREENSHOT_SETUP:-}" ]; then
    for tab in imei mbsn psn bt; do
        [ -s "$SCREENSHOT_SETUP-$tab.png" ] || { echo "no picture of the Setup tab $tab was written" >&2; exit 1; }
    done
fi
[[ "$output" != *"grab failed"* ]] || exit 1
echo "Wrote $out"
