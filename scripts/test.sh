#!/usr/bin/env bash
# Sets everything up and runs every test against a PostgreSQL server of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build} scripts/setup.sh
build_dir=${BUILD_DIR:-build}
export QT_QPA_PLATFORM=offscreen
scripts/with-test-db.sh ctest --test-dir "$build_dir" --output-on-failure "$@"
