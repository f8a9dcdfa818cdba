#!/usr/bin/env bash
# Start-up of the window program on a real X server (Xvfb): the time from the
# process start to the main window's first expose, and the longest stall of
# the GUI thread during the first 3 s, with the stored address refused, silent
# (a listener of ours on 127.0.0.1 that never answers) and reachable (the
# throwaway test server). Median of 5 runs each. Not a test; run by hand.
#   usage: bench/startup.sh     (needs a build in build/ and the xvfb package)
# BENCH_APP names another program to measure instead of build/bench/startup.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
if [ -z "${QUORBEL_TEST_PORT:-}" ]; then
    exec "$root/scripts/with-test-db.sh" "$0" "$@"
fi
cmake --build "$build" --target startup >/dev/null
app=${BENCH_APP:-$build/bench/startup}
work=$(mktemp -d /tmp/quorbel-startup.XXXXXX)
Xvfb :77 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
python3 -c 'import socket, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(64)
print(s.getsockname()[1], flush=True); time.sleep(3600)' > "$work/silent" &
silent=$!
trap 'kill $xvfb $silent 2>/dev/null; rm -rf "$work"' EXIT
sleep 1
export DISPLAY=:77 XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
mkdir -p "$work/config/Quorbel"
echo "| address | first expose (median of 5) | longest GUI stall from 0.5 s after it to 3 s (worst of 5) | where the time went (one run) |"
echo "|---|---|---|---|"
for kind in refused silent reachable; do
    case $kind in
        refused) port=1 ;;
        silent) port=$(cat "$work/silent") ;;
        reachable) port=$QUORBEL_TEST_PORT ;;
    esac
    printf '[General]\nBD_ADDR=127.0.0.1\n5432=%s\nDIRETORIO=%s\n' "$port" "$work" \
        > "$work/config/Quorbel/RelatorioGerador.conf"
    for _ in 1 2 3 4 5; do
        QUORBEL_T0=$(date +%s%N) "$app" "$kind" 3
    done > "$work/runs"
    python3 - "$kind" "$work/runs" <<'PY'
import statistics, sys
kind, path = sys.argv[1:]
rows = [line.split('|') for line in open(path) if line.startswith('|')]
expose = [float(r[2].split()[0]) for r in rows]
stall = [float(r[3].split()[0]) for r in rows]
phases = rows[len(rows) // 2][4].strip()
print(f"| {kind} | {statistics.median(expose):.0f} ms | {max(stall):.1f} ms | {phases} |")
PY
done
