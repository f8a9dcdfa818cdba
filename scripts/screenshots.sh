#!/usr/bin/env bash
# Renders the screenshots of docs/screenshots/ offscreen: the main window
# connected to a throwaway PostgreSQL, the options dialog and the about dialog.
# Settings go to a temporary directory, never a person's real ones.
#   usage: scripts/screenshots.sh [OUTPUT_DIR]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=${1:-docs/screenshots}

[ -f "$build_dir/CMakeCache.txt" ] || cmake -S . -B "$build_dir"
cmake --build "$build_dir" --target screenshots -j2

home=$(mktemp -d /tmp/quorbel-shots.XXXXXX)
trap 'rm -rf "$home"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home
chmod 700 "$home"
# Brazilian Portuguese month and day names, as the operators see them.
scripts/with-test-db.sh env LANG=pt_BR.UTF-8 LC_ALL= "$build_dir/screenshots" "$out"
echo "screenshots: written to $out"
