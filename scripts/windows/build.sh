#!/usr/bin/env bash
# Cross-builds the Windows x64 programs, the platform-neutral tests and the
# probes of scripts/windows/test.sh into build-windows/ (CMake preset
# "windows"), with the toolchain that scripts/windows/toolchain.sh caches.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/windows/versions.sh
if [ ! -f "$QUORBEL_MINGW_PREFIX/.stamp-xlsxwriter" ]; then
    echo "windows: no toolchain in $QUORBEL_MINGW_PREFIX; build it with scripts/windows/toolchain.sh" >&2
    exit 1
fi
cmake --preset windows -DQUORBEL_MINGW_PREFIX="$QUORBEL_MINGW_PREFIX" >/dev/null
cmake --build --preset windows -j"$(nproc)"
cmake --build --preset windows -j"$(nproc)" --target screenshots gui-stall
