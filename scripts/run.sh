#!/usr/bin/env bash
# Sets everything up and opens the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/RelatorioGerador "$@"
