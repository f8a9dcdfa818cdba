#!/usr/bin/env bash
# Sets everything up and runs the program against the demo database
# (scripts/demo.sh). Without a display it writes a demo report with
# relatorio-cli instead and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display here (DISPLAY and WAYLAND_DISPLAY are empty); writing a demo report instead."
    scripts/demo.sh report
    echo "run: to open the window, run scripts/demo.sh gui on a machine with a display."
    echo "run: scripts/demo.sh stop stops the demo database; scripts/demo.sh remove deletes it."
else
    exec scripts/demo.sh gui
fi
