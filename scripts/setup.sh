#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the package need (Debian
# 12), then configures and builds the CMake preset "default" into build/ (or
# into $BUILD_DIR). Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config qtbase5-dev qtbase5-dev-tools libqt5svg5
          libpq-dev libxlsxwriter-dev postgresql-15 postgresql-client-15 fonts-dejavu-core
          clang-format-14 python3 unzip qttranslations5-l10n file desktop-file-utils appstream)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
    echo "setup: all packages present"
fi

build_dir=${BUILD_DIR:-build}
cmake --preset default -B "$build_dir" ${CMAKE_ARGS:-} >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
echo "setup: built in $build_dir"
