#!/usr/bin/env bash
# Builds the Debian package into dist/: the CMake preset "default" in build/
# (or $BUILD_DIR) through scripts/setup.sh, then CPack's DEB generator. Prints
# the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
BUILD_DIR=$build_dir scripts/setup.sh >&2
cpack --config "$build_dir/CPackConfig.cmake" -B "$build_dir/cpack" >&2
mkdir -p dist
rm -f dist/relatorio-gerador_*.deb
cp "$build_dir"/cpack/relatorio-gerador_*.deb dist/
ls dist/relatorio-gerador_*.deb
