#!/usr/bin/env bash
# Builds the Windows x64 cross toolchain once, from Debian's own packages and
# source packages only, into one versioned cache directory outside the
# repository:
#   MinGW-w64 (posix threads), Wine and NSIS from Debian;
#   Qt 5.15 qtbase for win32-g++ from Debian's qtbase-opensource-src;
#   libpq from Debian's postgresql-15;
#   libxlsxwriter from Debian's libxlsxwriter, against libz-mingw-w64.
# Reuses what is already there; each part leaves a stamp when it is complete.
# Takes about an hour on two cores, most of it Qt. Log: run it with "| tee".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/windows/versions.sh
. "$here/versions.sh"
prefix=$QUORBEL_MINGW_PREFIX
src=$prefix/src
jobs=$(nproc)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 nsis
          dpkg-dev cmake make perl python3 pkg-config zip unzip qttranslations5-l10n
          xvfb xauth)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Source packages come from the same suite as the binaries.
sources_list=/etc/apt/sources.list.d/quorbel-deb-src.sources
if [ ! -f "$sources_list" ]; then
    $sudo tee "$sources_list" >/dev/null <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
    apt_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ -n "${apt_update:-}" ]; then
    $sudo apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "toolchain: installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$prefix/bin" "$src"
# The compilers of the posix thread model (std::mutex, std::thread), whatever
# the system's default alternative is; the other tools are shared.
for tool in gcc g++; do
    ln -sf "/usr/bin/$QUORBEL_MINGW_TRIPLET-$tool-posix" "$prefix/bin/$QUORBEL_MINGW_TRIPLET-$tool"
done
for tool in ar ranlib nm strip objcopy objdump windres dlltool ld as gendef; do
    if [ -x "/usr/bin/$QUORBEL_MINGW_TRIPLET-$tool" ]; then
        ln -sf "/usr/bin/$QUORBEL_MINGW_TRIPLET-$tool" "$prefix/bin/$QUORBEL_MINGW_TRIPLET-$tool"
    fi
done
export PATH=$prefix/bin:$PATH
cross=$prefix/bin/$QUORBEL_MINGW_TRIPLET-

# Unpacks Debian's source package NAME (its patches applied) into $src once;
# prints its directory. The suite may list a newer version than its archive
# serves (seen with a security update): each listed version is tried, newest
# first.
debian_source() {
    local name=$1 version
    if ! ls -d "$src/$name"-*/ >/dev/null 2>&1; then
        for version in $(apt-cache showsrc "$name" | sed -n 's/^Version: //p' | sort -rV); do
            (cd "$src" && apt-get source -qq "$name=$version" >&2) && break
        done
    fi
    ls -d "$src/$name"-*/ | head -n1
}

# --- Qt -----------------------------------------------------------------------
if [ ! -f "$prefix/.stamp-qt" ]; then
    qt_src=$(debian_source qtbase-opensource-src)
    qt_build=$src/qtbase-build
    mkdir -p "$qt_build"
    cd "$qt_build"
    if [ ! -f Makefile ]; then
        echo "toolchain: configuring Qt ($(date +%T))"
        # The dfsg tarball lacks the 3rd-party accessibility and tablet headers.
        "$qt_src/configure" -prefix "$prefix" -xplatform win32-g++ \
            -device-option CROSS_COMPILE="$cross" \
            -release -opensource -confirm-license -nomake examples -nomake tests \
            -no-opengl -no-dbus -no-icu -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg \
            -qt-freetype -qt-harfbuzz -no-sql-sqlite -no-sql-odbc \
            -no-feature-accessibility -no-feature-tabletevent
    fi
    echo "toolchain: building Qt ($(date +%T))"
    make -j"$jobs" >/dev/null
    make install >/dev/null
    touch "$prefix/.stamp-qt"
    echo "toolchain: Qt installed ($(date +%T))"
fi

# --- libpq ----------------------------------------------------------------------
if [ ! -f "$prefix/.stamp-libpq" ]; then
    pg_src=$(debian_source postgresql-15)
    pg_build=$src/postgresql-build
    rm -rf "$pg_build"; mkdir -p "$pg_build"
    cd "$pg_build"
    echo "toolchain: building libpq ($(date +%T))"
    CC=${cross}gcc "$pg_src/configure" --host="$QUORBEL_MINGW_TRIPLET" --prefix="$prefix" \
        --without-readline --without-zlib --without-icu --without-openssl >/dev/null
    for dir in src/include src/common src/port src/interfaces/libpq; do
        make -C "$dir" -j"$jobs" >/dev/null
    done
    for dir in src/include src/interfaces/libpq; do
        make -C "$dir" install >/dev/null
    done
    touch "$prefix/.stamp-libpq"
fi

# --- libxlsxwriter ----------------------------------------------------------------
if [ ! -f "$prefix/.stamp-xlsxwriter" ]; then
    xlsx_src=$(debian_source libxlsxwriter)
    xlsx_build=$src/libxlsxwriter-build
    rm -rf "$xlsx_build"
    echo "toolchain: building libxlsxwriter ($(date +%T))"
    cmake -S "$xlsx_src" -B "$xlsx_build" -DCMAKE_TOOLCHAIN_FILE="$here/../../cmake/mingw-w64.cmake" \
        -DQUORBEL_MINGW_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DZLIB_ROOT="/usr/$QUORBEL_MINGW_TRIPLET" >/dev/null
    cmake --build "$xlsx_build" -j"$jobs" >/dev/null
    cmake --install "$xlsx_build" >/dev/null
    touch "$prefix/.stamp-xlsxwriter"
fi

echo "toolchain: ready in $prefix"
