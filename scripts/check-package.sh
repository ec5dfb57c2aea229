#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built (or the one named): its control data, file list,
# permissions and maintainer scripts; that its dependencies resolve on this Debian release; then installs it
# into a scratch root (dpkg --root, maintainer scripts run outside a chroot against that root), starts the
# installed tool there, and checks that its settings and histories survive a reinstall and a purge.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(ls build-package/doverariz_*.deb | tail -n1)}")
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
listing="$work/listing"
dpkg-deb -c "$deb" | awk '{ line = $1 " " $2 " " $6; for (i = 7; i <= NF; i++) line = line " " $i; print line }' \
    | sed 's# \./# /#' >"$listing"

# --- control data -----------------------------------------------------------------------------------------
for field in Package Version Architecture Maintainer Depends Description; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] && pass "control field $field" || fail "control field $field missing"
done
# A PDF viewer would pull a desktop's worth of packages in: Help only needs one when it is opened.
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ "$recommends" != *evince* && "$recommends" != *okular* ]] && pass "no PDF viewer recommended" \
    || fail "a PDF viewer is recommended: $recommends"
[[ "$(dpkg-deb -f "$deb" Suggests)" == *evince* ]] && pass "a PDF viewer suggested" || fail "no PDF viewer suggested"
depends=$(dpkg-deb -f "$deb" Depends)
deps=(libqt6widgets6 libqt6gui6 libqt6core6 passwd fonts-wqy-microhei)
[ -d tools/ledger ] && deps+=(libqt6httpserver6 libqt6network6)
for dep in "${deps[@]}"; do
    [[ "$depends" == *"$dep"* ]] && pass "depends on $dep" || fail "Depends lacks $dep: $depends"
done

# --- file list and permissions ----------------------------------------------------------------------------
lib=/usr/lib/doverariz
expect_file() { # expect_file <path> <mode>
    local line
    line=$(awk -v p="$1" '$3 == p' "$listing")
    if [ -z "$line" ]; then
        fail "missing $1"
    elif [[ "$line" != "$2 root/root "* ]]; then
        fail "$1: expected $2 root/root, got: $line"
    else
        pass "$1 $2"
    fi
}
expect_file "$lib/doverariz" -rwxr-xr-x
expect_file "$lib/handset" -rwxr-xr-x
expect_file "$lib/ledger" -rwxr-xr-x
expect_file "$lib/xlscells" -rwxr-xr-x
expect_file "$lib/data-location" -rw-r--r--
expect_file "$lib/stations.txt" -rw-r--r--
expect_file "$lib/tr/imei_chs.qm" -rw-r--r--
expect_file "$lib/tr/imei_chs_en.qm" -rw-r--r--
expect_file "$lib/DOC/DOVER_ARIZ_TOOL_USERGUIDE.pdf" -rw-r--r--
expect_file "$lib/DOC/DOVER_ARIZ_TOOL_USERGUIDE_en.pdf" -rw-r--r--
expect_file "$lib/doc/dover_ariz_tool_manual_cn.pdf" -rw-r--r--
expect_file /usr/share/applications/doverariz.desktop -rw-r--r--
expect_file /usr/share/icons/hicolor/256x256/apps/doverariz.png -rw-r--r--
if [ -d tools/ledger ]; then
    expect_file "$lib/ledger" -rwxr-xr-x
fi
[ "$(grep -c "^-rw-r--r-- root/root $lib/ramrun/.*\.lod$" "$listing")" -gt 0 ] && pass "RAM-run images" \
    || fail "no RAM-run images under $lib/ramrun"
# The commands on the path are links to their executables; the helpers the tool runs (xlscells) stay off it.
commands=(doverariz handset)
[ -d tools/ledger ] && commands+=(ledger)
for tool in "${commands[@]}"; do
    grep -q "^lrwxrwxrwx root/root /usr/bin/$tool -> ../lib/doverariz/$tool$" "$listing" \
        && pass "/usr/bin/$tool links to the executable" || fail "/usr/bin/$tool is not a link to $lib/$tool"
done
on_path=$(awk '$1 !~ /^d/ && $3 ~ "^/usr/bin/." { sub("^/usr/bin/", "", $3); print $3 }' "$listing" | sort | tr '\n' ' ')
[ "$on_path" = "$(printf '%s\n' "${commands[@]}" | sort | tr '\n' ' ')" ] && pass "only ${commands[*]} on the path" \
    || fail "the path holds: $on_path(expected ${commands[*]})"

# --- documentation ----------------------------------------------------------------------------------------
doc=/usr/share/doc/doverariz
expect_file "$doc/copyright" -rw-r--r--
expect_file "$doc/changelog.Debian.gz" -rw-r--r--
for tool in "${commands[@]}"; do
    expect_file "/usr/share/man/man1/$tool.1.gz" -rw-r--r--
    page=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/man/man1/$tool.1.gz" 2>/dev/null | gzip -dc 2>/dev/null)
    [[ "$page" == *".TH ${tool^^} 1 "* ]] && pass "manual page of $tool" || fail "$tool.1.gz is not a manual page"
done
version=$(dpkg-deb -f "$deb" Version)
newest=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ".$doc/changelog.Debian.gz" 2>/dev/null | gzip -dc 2>/dev/null \
    | head -n1)
[[ "$newest" == "doverariz ($version) "* ]] && pass "the changelog's newest entry is $version" \
    || fail "the changelog's newest entry is not $version: $newest"
grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" <(dpkg-deb --fsys-tarfile "$deb" \
    | tar -xO ".$doc/copyright") && pass "copyright file format" || fail "the copyright file has no Format line"
bad=$(awk '$1 !~ /^(drwxr-xr-x|-rw-r--r--|-rwxr-xr-x|lrwxrwxrwx)$/ || $2 != "root/root"' "$listing")
[ -z "$bad" ] && pass "no unusual modes or owners" || fail "unusual modes or owners: $bad"
bad=$(awk '$1 ~ /^-rwx/ && $3 !~ "^'"$lib"'/[a-z][a-z-]*$"' "$listing")
[ -z "$bad" ] && pass "executables only in $lib" || fail "unexpected executables: $bad"
# The writable files are not the package's: an upgrade must never replace or remove them.
bad=$(awk '$3 ~ "^/(var|etc|home)/" || $3 ~ "/(cfg|log|bench)(/|$)"' "$listing")
[ -z "$bad" ] && pass "no writable data in the payload" || fail "writable data in the payload: $bad"
[ "$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/lib/doverariz/data-location)" = /var/lib/doverariz ] \
    && pass "data-location names /var/lib/doverariz" || fail "data-location does not name /var/lib/doverariz"

desktop="$work/doverariz.desktop"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/doverariz.desktop >"$desktop"
for key in 'Type=Application' 'Exec=doverariz' 'Icon=doverariz' 'Name=' 'Categories='; do
    grep -q "^$key" "$desktop" && pass "desktop entry $key" || fail "desktop entry lacks $key"
done
[ "$(head -n1 "$desktop")" = "[Desktop Entry]" ] && pass "desktop entry group" || fail "desktop entry group"

# --- maintainer scripts -----------------------------------------------------------------------------------
control="$work/control"
dpkg-deb -e "$deb" "$control"
for script in postinst postrm; do
    [ -x "$control/$script" ] && pass "$script executable" || fail "$script missing or not executable"
    sh -n "$control/$script" && pass "$script parses" || fail "$script does not parse"
    if command -v shellcheck >/dev/null; then
        shellcheck -s sh "$control/$script" && pass "$script passes shellcheck" || fail "$script: shellcheck"
    fi
done
for script in preinst prerm; do
    [ ! -e "$control/$script" ] || fail "unexpected $script"
done

# --- dependencies on this release -------------------------------------------------------------------------
if apt-get -s -o Debug::NoLocking=1 install --no-install-recommends "$deb" >"$work/apt" 2>&1 \
    && grep -q '^Conf doverariz ' "$work/apt"; then
    pass "dependencies resolve on $(. /etc/os-release && echo "$PRETTY_NAME")"
else
    fail "dependencies do not resolve: $(tail -n3 "$work/apt")"
fi

# --- install, start, reinstall, purge in a scratch root ---------------------------------------------------
root="$work/root"
mkdir -p "$root"/var/lib/dpkg/{info,updates,triggers} "$root/etc"
touch "$root"/var/lib/dpkg/{status,available}
cp /etc/group /etc/passwd /etc/login.defs "$root/etc/"
grep -q '^operator1:' "$root/etc/passwd" || {
    echo 'operator1:x:1500:1500::/home/operator1:/bin/sh' >>"$root/etc/passwd"
    echo 'operator1:x:1500:' >>"$root/etc/group"
}
dpkg_root() { dpkg --root="$root" --force-script-chrootless --force-depends --force-not-root "$@" >"$work/dpkg" 2>&1 \
    || { cat "$work/dpkg" >&2; return 1; }; }

if SUDO_USER=operator1 dpkg_root -i "$deb"; then pass "installs"; else fail "does not install"; fi
data="$root/var/lib/doverariz"
for folder in "" /cfg /log /bench/usb /bench/com /bench/dbg; do
    [ "$(stat -c '%a %u %G' "$data$folder" 2>/dev/null)" = "2775 1500 $(stat -c %G "$data")" ] \
        && pass "/var/lib/doverariz$folder: group-writable, owned by the installing account" \
        || fail "/var/lib/doverariz$folder: $(stat -c '%a %u %G' "$data$folder" 2>&1)"
done
grep -q '^doverariz:x:[0-9]*:operator1$' "$root/etc/group" && pass "group doverariz holds the installing account" \
    || fail "group doverariz: $(grep '^doverariz:' "$root/etc/group")"

run_tool() { # the installed tool, on the offscreen platform, for a moment
    (cd "$work" && DOVERARIZ_DATA_DIR="$data" TGTLINK_BENCH= QT_QPA_PLATFORM=offscreen DOVERARIZ_EXIT_AFTER_MS=1500 \
        TMPDIR="$work" "$root/usr/bin/doverariz" >"$work/run" 2>&1)
}
DOVERARIZ_DATA_DIR="$data" "$root/usr/bin/handset" plug USB1 >/dev/null && [ -f "$data/bench/usb/USB1" ] \
    && pass "handset plugs into the bench in the data folder" || fail "handset did not plug into $data/bench"
if run_tool && [ -f "$data/cfg/ImeiSN.ini" ] && [ -f "$data/cfg/imei_history.data" ]; then
    pass "the installed tool starts and writes its settings and histories to the data folder"
else
    fail "the installed tool did not start or write its files: $(cat "$work/run")"
fi
bad=$(find "$data" -type f ! -perm -g+w)
[ -z "$bad" ] && pass "files the tool made are writable for the group" || fail "not group-writable: $bad"
[ "$(find "$root/usr" -newer "$work/dpkg" -type f | wc -l)" -eq 0 ] && pass "the run wrote nothing under /usr" \
    || fail "the run wrote under /usr: $(find "$root/usr" -newer "$work/dpkg" -type f)"

printf '2024-01-01 10:00:00\t\t\t353456789012345\r\n' >>"$data/cfg/imei_history.data"
sed -i 's/^language=.*/language=English/' "$data/cfg/ImeiSN.ini"
echo 'kept' >"$data/log/operator-note.log"
before=$(cd "$data" && find . -type f -exec sha256sum {} + | sort)
modes_before=$(cd "$data" && find . -exec stat -c '%n %a %u %g' {} + | sort)
if dpkg_root -i "$deb"; then pass "reinstalls"; else fail "does not reinstall"; fi
[ "$(cd "$data" && find . -type f -exec sha256sum {} + | sort)" = "$before" ] \
    && pass "settings, histories and logs unchanged by the reinstall" || fail "the reinstall changed the data"
[ "$(cd "$data" && find . -exec stat -c '%n %a %u %g' {} + | sort)" = "$modes_before" ] \
    && pass "owners and modes unchanged by the reinstall" || fail "the reinstall changed owners or modes"
if dpkg_root --purge doverariz; then pass "purges"; else fail "does not purge"; fi
[ ! -e "$root/usr/lib/doverariz" ] && [ ! -e "$root/usr/bin/doverariz" ] && pass "purge removes the tool" \
    || fail "purge left the tool behind"
[ "$(cd "$data" && find . -type f -exec sha256sum {} + | sort)" = "$before" ] \
    && pass "purge keeps settings, histories and logs" || fail "purge touched the data"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package checks passed: $deb"
