#!/usr/bin/env bash
# Usage: scripts/windows-deps.sh PREFIX
#
# Cross-builds the C libraries of the tool's Windows build for 64-bit Windows (x86_64-w64-mingw32,
# posix threads) from Debian 12's own source packages, into PREFIX:
#   libzip (Debian libzip, against mingw's zlib), libpq (the client library of Debian postgresql-15)
#   and FreeXL (Debian freexl, with packaging/windows/iconv-shim as its iconv).
# PREFIX gets include/, lib/ (import libraries), lib/pkgconfig/*.pc (prefix=PREFIX), bin/ (the DLLs and
# zlib1.dll). The results are cached in PREFIX: a library whose stamp PREFIX/.stamp-<lib>-<Debian
# version> exists is not built again, so a second run takes seconds. Sources, build trees, logs, the
# package lists and the wine prefix the checks run in (unless WINEPREFIX is set) are kept beside it, in
# PREFIX-work/.
# Checks: the iconv shim's test and FreeXL's own tests run under wine64, a program loading the three
# DLLs runs under wine64, and every DLL may import only system DLLs, the mingw runtime or each other.
#
# Needs: g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine64 cmake ninja-build
# dpkg-dev make. Nothing is downloaded but Debian 12's source packages (apt-get source, with package
# lists of its own in PREFIX-work/apt: the system's apt configuration is left alone).
set -euo pipefail

if [[ $# -ne 1 || $1 == -* ]]; then
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2
    exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
shim_dir=$here/packaging/windows/iconv-shim
prefix=$(realpath -m "$1")
work=$(dirname "$prefix")/$(basename "$prefix")-work
jobs=$(nproc)
host=x86_64-w64-mingw32
cc=$host-gcc-posix
started=$SECONDS

say() { printf '== %s\n' "$*"; }
die() { printf 'windows-deps: %s\n' "$*" >&2; exit 1; }

missing=()
for tool in "$cc" $host-g++-posix $host-objdump $host-windres $host-ar cmake ninja make dpkg-source apt-get; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
[[ -f /usr/$host/lib/libz.dll.a ]] || missing+=("mingw zlib (/usr/$host/lib/libz.dll.a)")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[[ -x $wine ]] || missing+=(wine64)
((${#missing[@]} == 0)) || die "missing ${missing[*]}; install: apt-get install g++-mingw-w64-x86-64-posix \
mingw-w64-tools libz-mingw-w64-dev wine64 cmake ninja-build dpkg-dev make"

mkdir -p "$prefix"/{bin,include,lib/pkgconfig} "$work"/{src,build,logs}

# Runs a command with its output in the step's log; on failure shows the end of the log.
run() {
    local log=$work/logs/$step.log
    if ! nice "$@" >>"$log" 2>&1; then
        tail -n 40 "$log" >&2
        die "$step failed: $* (whole log: $log)"
    fi
}

# Runs a Windows program under wine, in the caller's WINEPREFIX or else one of the cache (created on
# first use, which is slow).
wineprefix=${WINEPREFIX:-$work/wine}
wine_run() {
    WINEPREFIX=$wineprefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' \
        WINEPATH="Z:${prefix//\//\\}\\bin" "$wine" "$@"
}

stamp() { # stamp LIB VERSION: marks LIB as built at VERSION, forgetting other versions
    rm -f "$prefix"/.stamp-"$1"-*
    touch "$prefix/.stamp-$1-$2"
}

# --- Debian sources ---------------------------------------------------------------------------------------
apt_dir=$work/apt
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o "Dir::Etc::PreferencesParts=$apt_dir/preferences.d" -o "Dir::Etc::Preferences=$apt_dir/preferences")
lists_ready=

# The package lists of Debian 12's sources, fetched when missing or older than a week.
update_lists() {
    [[ -n $lists_ready ]] && return
    lists_ready=1
    mkdir -p "$apt_dir"/{sources.list.d,preferences.d,lists/partial,cache/archives/partial}
    local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    cat >"$apt_dir/sources.list" <<EOF
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$keyring] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main
EOF
    # (apt dates the lists as the archive does, hence a mark of our own)
    if [[ -z $(find "$apt_dir/updated" -mtime -7 2>/dev/null) ]]; then
        step=apt run apt-get "${apt_opts[@]}" update
        touch "$apt_dir/updated"
    fi
}

# Sets version and srcdir for library $1 from Debian source package $2: the newest version of the
# package the archive delivers (a mirror may lag behind its lists), downloaded and unpacked once into
# $work/src. Returns 1 if that version is built into PREFIX already (its stamp exists).
prepare_source() {
    local lib=$1 package=$2 v plain
    update_lists
    : >"$work/logs/$lib-source.log"
    local versions
    versions=$(apt-cache "${apt_opts[@]}" showsrc --only-source "$package" 2>/dev/null |
        sed -n 's/^Version: //p' | sort -u -V -r)
    [[ -n $versions ]] || die "no source package $package in Debian 12's lists"
    for v in $versions; do
        plain=${v#*:}
        if [[ -e $prefix/.stamp-$lib-$plain ]]; then
            say "$lib $plain: built already ($prefix/.stamp-$lib-$plain)"
            return 1
        fi
        srcdir=$work/src/$package-$plain
        if [[ ! -e $srcdir/.unpacked ]]; then
            if ! (cd "$work/src" && nice apt-get "${apt_opts[@]}" source --download-only -qq "$package=$v") \
                >>"$work/logs/$lib-source.log" 2>&1; then
                say "$lib: $package $v cannot be downloaded, trying an older version"
                continue
            fi
            rm -rf "$srcdir" "$srcdir.tmp"
            step=$lib-source run dpkg-source -x "$work/src/${package}_$plain.dsc" "$srcdir.tmp"
            touch "$srcdir.tmp/.unpacked"
            mv "$srcdir.tmp" "$srcdir"
        fi
        version=$plain
        return 0
    done
    die "no version of $package could be downloaded (log: $work/logs/$lib-source.log)"
}

fresh_build_dir() { # the build tree of library $1, and its log, emptied
    builddir=$work/build/$1
    rm -rf "$builddir"
    mkdir -p "$builddir"
    : >"$work/logs/$1.log"
}

cat >"$work/mingw.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $host-g++-posix)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$host)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# --- zlib: mingw's, from libz-mingw-w64-dev ----------------------------------------------------------------
zlib_dll=
for candidate in /usr/$host/bin/zlib1.dll /usr/$host/lib/zlib1.dll; do
    [[ -e $candidate ]] && zlib_dll=$candidate && break
done
[[ -n $zlib_dll ]] || die "no zlib1.dll in /usr/$host/bin or /usr/$host/lib"
cmp -s "$zlib_dll" "$prefix/bin/zlib1.dll" || cp "$zlib_dll" "$prefix/bin/zlib1.dll"

# --- iconv shim --------------------------------------------------------------------------------------------
step=iconv-shim
shim_version=$(cat "$shim_dir"/iconv.h "$shim_dir"/localcharset.h "$shim_dir"/iconv.c "$shim_dir"/iconv_test.c |
    sha256sum | cut -c1-12)
if [[ -e $prefix/.stamp-iconv-shim-$shim_version ]]; then
    say "iconv shim $shim_version: built already"
else
    t0=$SECONDS
    say "iconv shim $shim_version: building and testing under wine (the first wine start takes a while)"
    fresh_build_dir iconv-shim
    run "$cc" -O2 -Wall -Wextra -std=c99 -c "$shim_dir/iconv.c" -o "$builddir/iconv.o"
    run $host-ar rcs "$builddir/libiconv.a" "$builddir/iconv.o"
    run "$cc" -O2 -Wall -Wextra -std=c99 -I"$shim_dir" "$shim_dir/iconv_test.c" "$builddir/libiconv.a" \
        -o "$builddir/iconv_test.exe"
    if ! (cd "$builddir" && wine_run ./iconv_test.exe) >"$builddir/iconv_test.out" 2>&1; then
        cat "$builddir/iconv_test.out" >&2
        die "the iconv shim's test failed under wine"
    fi
    tail -n1 "$builddir/iconv_test.out"
    cp "$shim_dir/iconv.h" "$shim_dir/localcharset.h" "$prefix/include/"
    cp "$builddir/libiconv.a" "$prefix/lib/"
    rm -f "$prefix"/.stamp-freexl-* # FreeXL links the shim in: relink it
    stamp iconv-shim "$shim_version"
    say "iconv shim: $((SECONDS - t0)) s"
fi

# --- FreeXL ------------------------------------------------------------------------------------------------
step=freexl
if prepare_source freexl freexl; then
    t0=$SECONDS
    say "FreeXL $version: building"
    fresh_build_dir freexl
    # libtool takes only import libraries for a DLL unless told that any library will do; the shim is
    # a static one, linked into libfreexl-1.dll.
    (cd "$builddir" && run "$srcdir/configure" --host=$host CC="$cc" --prefix="$prefix" --enable-shared \
        --disable-static CFLAGS=-O2 CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" \
        lt_cv_deplibs_check_method=pass_all)
    run make -C "$builddir/src" -j"$jobs"
    run make -C "$builddir/src" install
    run make -C "$builddir/headers" install
    run make -C "$builddir" install-pkgconfigDATA
    rm -f "$prefix/lib/libfreexl.la" # libtool's, with this build's paths: mingw links need no .la
    # FreeXL's own tests read .xls workbooks of several Excel versions (code pages, UTF-16 text)
    # through the shim.
    run make -C "$builddir/tests" -j"$jobs" check TESTS=
    failed=()
    for exe in "$builddir"/tests/.libs/*.exe; do
        (cd "$srcdir/tests" && wine_run "$exe") >>"$work/logs/$step.log" 2>&1 || failed+=("$(basename "$exe")")
    done
    ((${#failed[@]} == 0)) || die "FreeXL's tests failed under wine: ${failed[*]} (log: $work/logs/$step.log)"
    say "FreeXL: its $(ls "$builddir"/tests/.libs/*.exe | wc -l) tests pass under wine"
    stamp freexl "$version"
    say "FreeXL: $((SECONDS - t0)) s"
fi

# --- libzip ------------------------------------------------------------------------------------------------
step=libzip
if prepare_source libzip libzip; then
    t0=$SECONDS
    say "libzip $version: building"
    fresh_build_dir libzip
    run cmake -S "$srcdir" -B "$builddir" -G Ninja --no-warn-unused-cli \
        -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
        -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF \
        -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
        -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF
    run cmake --build "$builddir" --parallel "$jobs"
    run cmake --install "$builddir"
    stamp libzip "$version"
    say "libzip: $((SECONDS - t0)) s"
fi

# --- libpq -------------------------------------------------------------------------------------------------
step=libpq
if prepare_source libpq postgresql-15; then
    t0=$SECONDS
    say "libpq $version: configuring PostgreSQL (slow: a couple of minutes)"
    fresh_build_dir libpq
    (cd "$builddir" && run "$srcdir/configure" --host=$host CC="$cc" CXX=$host-g++-posix \
        --prefix="$prefix" --without-readline --without-zlib --without-icu --without-openssl \
        --without-gssapi --without-ldap --without-libxml --without-libxslt --without-lz4 --without-zstd \
        --without-perl --without-python --without-tcl --without-llvm --disable-nls)
    say "libpq: building the client library"
    # Only what libpq links: the generated headers, and the shared-library flavour of src/port and
    # src/common (libpq's own rule would build all three flavours of both). LIBS without
    # -lpgcommon -lpgport, which are the static flavours.
    pq_make=(make -j"$jobs" NO_GENERATED_HEADERS=1 SHLIB_PREREQS=
        LIBS="$(sed -n 's/^LIBS = //p' "$builddir/src/Makefile.global")")
    run make -C "$builddir/src/backend" generated-headers
    run "${pq_make[@]}" -C "$builddir/src/port" pg_config_paths.h libpgport_shlib.a
    run "${pq_make[@]}" -C "$builddir/src/common" libpgcommon_shlib.a
    run "${pq_make[@]}" -C "$builddir/src/interfaces/libpq" all
    pq=$builddir/src/interfaces/libpq
    install -m 755 "$pq/libpq.dll" "$prefix/bin/libpq.dll"
    install -m 644 "$pq/libpq.a" "$prefix/lib/libpq.dll.a" # libpq's import library
    install -m 644 "$srcdir/src/interfaces/libpq/libpq-fe.h" "$srcdir/src/interfaces/libpq/libpq-events.h" \
        "$srcdir/src/include/postgres_ext.h" "$builddir/src/include/pg_config_ext.h" "$prefix/include/"
    # src/port and src/common are inside the DLL: a static link would not find them.
    sed 's/ -lpgcommon -lpgport//' "$pq/libpq.pc" >"$prefix/lib/pkgconfig/libpq.pc"
    stamp libpq "$version"
    say "libpq: $((SECONDS - t0)) s"
fi

# --- checks ------------------------------------------------------------------------------------------------
# Every DLL imports only Windows system DLLs (those wine provides), the mingw runtime, or DLLs of PREFIX.
say "imports of $prefix/bin/*.dll:"
system_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[[ -d $system_dlls ]] || system_dlls=/usr/lib/wine/x86_64-windows
unresolved=()
for dll in "$prefix"/bin/*.dll; do
    imports=$($host-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p')
    printf '   %-16s %s\n' "$(basename "$dll")" "$(echo $imports)"
    for import in $imports; do
        lower=${import,,}
        case $lower in libgcc_s_seh-1.dll | libstdc++-6.dll | libwinpthread-1.dll) continue ;; esac
        [[ -n $(find "$prefix/bin" -maxdepth 1 -iname "$import") || -e $system_dlls/$lower ]] ||
            unresolved+=("$(basename "$dll") -> $import")
    done
done
((${#unresolved[@]} == 0)) || die "imports that are neither system DLLs nor in $prefix/bin: ${unresolved[*]}"

# Run again whenever a library was built since (the file holds the stamps and their times it ran with).
stamps=$(cd "$prefix" && stat -c "%n %Y" .stamp-*)
if [[ $(cat "$work/build/load_check.ok" 2>/dev/null) != "$stamps" ]]; then
    step=load-check
    : >"$work/logs/$step.log"
    rm -f "$work/build/load_check.ok"
    run "$cc" -O2 -Wall -I"$prefix/include" "$here/packaging/windows/load_check.c" -L"$prefix/lib" \
        -lzip -lpq -lfreexl -o "$work/build/load_check.exe"
    versions=$(cd "$work/build" && wine_run ./load_check.exe 2>&1 | tr -d '\r') ||
        die "the DLLs of $prefix/bin did not load under wine: $versions"
    expected="libzip $(sed -n 's/^Version: //p' "$prefix/lib/pkgconfig/libzip.pc")"
    expected+=" libpq $(sed -n 's/^Version: //p' "$prefix/lib/pkgconfig/libpq.pc")"
    expected+=" freexl $(sed -n 's/^Version: //p' "$prefix/lib/pkgconfig/freexl.pc")"
    [[ $(echo $versions) == "$expected" ]] || die "the DLLs under wine say \"$(echo $versions)\", not \"$expected\""
    echo "$stamps" >"$work/build/load_check.ok"
    say "the DLLs load under wine: $(echo $versions)"
fi

say "done in $((SECONDS - started)) s: $prefix"
ls "$prefix"/bin/*.dll "$prefix"/lib/pkgconfig/*.pc | sed 's/^/   /'
