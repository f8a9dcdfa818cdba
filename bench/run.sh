#!/usr/bin/env bash
# Benchmark of relatorio-cli (not a test; run by hand). For each dataset size
# and both modes it prints wall time, CPU time, peak resident memory and the
# number of statements sent, then the same statements replayed with psql on
# the same server as a baseline, and the ratio program/replay; the same for the
# workbook (--formato xlsx), whose report sheet LibreOffice, when installed,
# must read as the text report of the same run. Finally the longest stall of
# the GUI thread while a report runs (offscreen).
# "network" runs the large dataset's year in both modes directly and through
# bench/delay-proxy at 1 and 5 ms round trip.
#   usage: bench/run.sh [medium|large|all|network]   (default all)
# BENCH_CLI names another relatorio-cli to measure (e.g. an older build).
# Needs a build in build/ (scripts/setup.sh). Uses a throwaway cluster on
# 127.0.0.1 with log_statement=all.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cli=${BENCH_CLI:-$build/relatorio-cli}
which=${1:-all}

if [ -z "${QUORBEL_TEST_PORT:-}" ] || [ -z "${QUORBEL_BENCH_INSIDE:-}" ]; then
    export QUORBEL_BENCH_INSIDE=1
    export QUORBEL_PG_OPTIONS="-c log_min_duration_statement=0 -c log_line_prefix= -c shared_buffers=512MB -c work_mem=32MB"
    exec "$root/scripts/with-test-db.sh" "$0" "$@"
fi

owner="user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$QUORBEL_TEST_PORT"
export PGPASSWORD=tarnek
work=$(mktemp -d /tmp/quorbel-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Quorbel" "$work/out"
cat > "$work/config/Quorbel/RelatorioGerador.conf" <<CONF
[General]
BD_ADDR=127.0.0.1
5432=$QUORBEL_TEST_PORT
DIRETORIO=$work/out
CONF
export TZ=America/Sao_Paulo

load() { # name, then psql variables of scripts/demo-data.sql
    local name=$1
    shift
    psql -X -q "$owner" -c "truncate treino, numero_classificacao_treino, funcionario, sessao, evento_muda restart identity" >/dev/null
    local t0=$SECONDS
    psql -X -q -v ON_ERROR_STOP=1 -v fuso=$TZ "$@" "$owner" -f "$root/scripts/demo-data.sql" \
        > "$work/load"
    sed -n '3p' "$work/load" | awk -F'|' -v n="$name" -v s=$((SECONDS - t0)) \
        '{gsub(/ /,""); printf "dataset %s: %s varieties, %s employees, %s machine sessions, %s employee sessions, %s events (loaded in %ss)\n", n, $1, $2, $3, $4, $5, s}'
    psql -X -q "$owner" -c "vacuum analyze" >/dev/null 2>&1 || true
}

# report NAME INICIO FIM [--separar-sessoes]
# report NAME INICIO FIM [--separar-sessoes]: the program and the replay run
# alternately $rounds times (BENCH_ROUNDS, default 3); the best of each counts.
rounds=${BENCH_ROUNDS:-3}
report() {
    local name=$1 inicio=$2 fim=$3
    shift 3
    local log=$QUORBEL_TEST_SERVER_LOG
    local before
    before=$(stat -c %s "$log")
    : > "$work/runs"
    local i
    for ((i = 1; i <= rounds; i++)); do
        XDG_CONFIG_HOME=$work/config /usr/bin/time -v -o "$work/time" \
            "$cli" --inicio "$inicio" --fim "$fim" "$@" >/dev/null 2>"$work/stderr" \
            || { cat "$work/stderr" >&2; return 1; }
        if [ "$i" -eq 1 ]; then
            # The statements of the first run, as the server logged them.
            sleep 0.5
            tail -c +$((before + 1)) "$log" \
                | sed -n 's/^LOG:  duration: \([0-9.]*\) ms  \(statement\|execute [^:]*\): /\1\t/p' \
                > "$work/durations"
            cut -f2- "$work/durations" | sed 's/$/;/' > "$work/statements.sql"
        fi
        local r0 r1
        r0=$(date +%s.%N)
        psql -X -q -o /dev/null "$owner" -f "$work/statements.sql"
        r1=$(date +%s.%N)
        printf '%s\t%s\t%s\t%s\t%s\n' \
            "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time")" \
            "$(sed -n 's/.*User time (seconds): //p' "$work/time")" \
            "$(sed -n 's/.*System time (seconds): //p' "$work/time")" \
            "$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time")" \
            "$(echo "$r1 - $r0" | bc -l 2>/dev/null || python3 -c "print($r1 - $r0)")" >> "$work/runs"
    done
    python3 - "$name" "$(wc -l < "$work/statements.sql")" "$work/runs" <<'PY'
import sys
name, count, path = sys.argv[1:]
def seconds(text):
    total = 0.0
    for part in text.split(':'):
        total = total * 60 + float(part)
    return total
runs = [line.rstrip('\n').split('\t') for line in open(path)]
wall = min(seconds(r[0]) for r in runs)
cpu = min(float(r[1]) + float(r[2]) for r in runs)
rss = max(int(r[3]) for r in runs)
replay = min(float(r[4]) for r in runs)
print(f"| {name} | {wall:.2f} s | {cpu:.2f} s | {rss / 1024:.1f} MB "
      f"| {count} | {replay:.2f} s | {wall / replay:.2f} |")
PY
    # The statements are those of the text report: their analysis once is enough.
    case "$name" in
    *.xlsx) ;;
    *) slowest "$name" >> "$work/slowest" ;;
    esac
}

# The workbook's report sheet as LibreOffice reads it (CSV) against the text
# report of the same period and mode, both in $work/out: the same rows and
# cells once the text's blank before a total, the leading zero of its hours
# and the blank cells at the end of a row are set aside.
same_as_text() { # NAME
    if ! command -v soffice >/dev/null; then
        echo "$1: LibreOffice (libreoffice-calc-nogui) absent, workbook not compared" >> "$work/slowest"
        return 0
    fi
    rm -rf "$work/csv" && mkdir "$work/csv"
    HOME=$work soffice --headless --convert-to \
        'csv:Text - txt - csv (StarCalc):9,34,76,1,,0,false,true,true,false,false,1' \
        --outdir "$work/csv" "$work"/out/*.xlsx >/dev/null 2>&1
    same() { tr -d '\r' | sed -E 's/\t+$//; s/^Total produzido\t /Total produzido\t/
        s/(^|\t)0([0-9]+:[0-9]{2}:[0-9]{2})/\1\2/g; s/(^|\t)0([0-9]+:[0-9]{2}:[0-9]{2})/\1\2/g'; }
    if cmp -s <(iconv -f cp1252 -t utf-8 "$work"/out/*.xls | same) <(same < "$work"/csv/*.csv); then
        echo "$1: LibreOffice reads the workbook's report sheet as the text report" >> "$work/slowest"
    else
        echo "$1: LibreOffice reads the workbook's report sheet DIFFERENTLY from the text report" >> "$work/slowest"
    fi
    rm -f "$work"/out/*
}

# The statement kinds that took most of the server's time in the last run,
# and the plan of the slowest single statement.
slowest() {
    python3 - "$1" "$work/durations" > "$work/slow.txt" <<'PY'
import re, sys
name, path = sys.argv[1:]
kinds = {}
worst = (0.0, "")
for line in open(path, encoding="utf-8", errors="replace"):
    ms, sql = line.rstrip("\n").split("\t", 1)
    ms = float(ms)
    kind = re.sub(r"-?\d+", "N", sql)[:70]
    total, n = kinds.get(kind, (0.0, 0))
    kinds[kind] = (total + ms, n + 1)
    worst = max(worst, (ms, sql))
all_ms = sum(t for t, _ in kinds.values()) or 1
print(f"\n{name}: server time by statement kind")
for kind, (t, n) in sorted(kinds.items(), key=lambda kv: -kv[1][0])[:4]:
    print(f"  {t / 1000:7.2f} s {100 * t / all_ms:5.1f}%  {n:6d} x  {kind}...")
print(f"slowest: {worst[0]:.1f} ms")
open(path + ".worst", "w").write(worst[1])
PY
    cat "$work/slow.txt"
    psql -X -q "$owner" -c "explain (analyze, buffers) $(cat "$work/durations.worst")" | sed 's/^/    /'
}

stall() { # NAME INICIO FIM SEPARAR
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work \
        "$build/bench/gui-stall" \
        "$1" "$2" "$3" "$4" "$work/out"
}

header() {
    echo
    echo "| run (best of $rounds) | wall | CPU | peak RSS | statements | psql replay | program/replay |"
    echo "|---|---|---|---|---|---|---|"
}

run_size() { # name inicio fim demo-data variables...
    local name=$1 inicio=$2 fim=$3
    shift 3
    load "$name" "$@"
    header
    report "$name, whole period" "$inicio" "$fim"
    report "$name, whole period, .xlsx" "$inicio" "$fim" --formato xlsx
    same_as_text "$name, whole period"
    report "$name, separated sessions" "$inicio" "$fim" --separar-sessoes
    report "$name, separated sessions, .xlsx" "$inicio" "$fim" --separar-sessoes --formato xlsx
    same_as_text "$name, separated sessions"
    cmake --build "$build" --target gui-stall >/dev/null 2>&1 || true
    if [ -x "$build/bench/gui-stall" ]; then
        stall "$name, whole period" "$inicio" "$fim" 0
        stall "$name, separated sessions" "$inicio" "$fim" 1
    fi
    cat "$work/slowest"
    rm -f "$work/slowest"
}

# network NAME INICIO FIM [--separar-sessoes]: the report directly and through
# the delay proxy at 1 and 5 ms round trip, best of $rounds each; the
# statements counted from the server log ("statement:" and "execute" lines).
network() {
    local name=$1 inicio=$2 fim=$3
    shift 3
    cmake --build "$build" --target delay-proxy >/dev/null
    local rtt port=$((QUORBEL_TEST_PORT + 1)) proxy="" log=$QUORBEL_TEST_SERVER_LOG
    for rtt in 0 1 5; do
        if [ "$rtt" != 0 ]; then
            "$build/bench/delay-proxy" "$port" "$QUORBEL_TEST_PORT" $((rtt * 500)) &
            proxy=$!
            sleep 0.3
        fi
        local best="" rss="" count="" i
        for ((i = 1; i <= rounds; i++)); do
            local before
            before=$(stat -c %s "$log")
            XDG_CONFIG_HOME=$work/config /usr/bin/time -f '%e %M' -o "$work/time" \
                "$cli" --inicio "$inicio" --fim "$fim" --endereco 127.0.0.1 \
                --porta "$([ "$rtt" = 0 ] && echo "$QUORBEL_TEST_PORT" || echo "$port")" \
                "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; return 1; }
            sleep 0.5
            count=$(tail -c +$((before + 1)) "$log" | grep -cE '^LOG:  duration: [0-9.]+ ms  (statement|execute)')
            read -r wall kb < "$work/time"
            if [ -z "$best" ] || [ "$(echo "$wall < $best" | bc)" = 1 ]; then best=$wall; fi
            rss=$kb
        done
        if [ -n "$proxy" ]; then kill "$proxy"; wait "$proxy" 2>/dev/null || true; fi
        proxy=""
        printf '| %s | %s ms | %s s | %.1f MB | %s |\n' "$name" "$rtt" "$best" "$(echo "$rss / 1024" | bc -l)" "$count"
    done
}

echo "machine: $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GiB, $(uname -sr); PostgreSQL $(psql -X -Atc 'show server_version' "$owner")"
if [ "$which" = medium ] || [ "$which" = all ]; then
    run_size medium "2026-01-05 00:00" "2026-04-04 23:59:59" \
        -v inicio=2026-01-05 -v dias=90 -v variedades=6 -v funcionarios=12 -v turnos=2 -v operadores=3 -v por_hora=450
fi
if [ "$which" = network ]; then
    load large -v inicio=2025-01-01 -v dias=365 -v variedades=8 -v funcionarios=40 -v turnos=7 \
        -v operadores=10 -v por_hora=1300
    echo
    echo "| run (best of $rounds) | round trip | wall | peak RSS | statements |"
    echo "|---|---|---|---|---|"
    network "large, whole period" "2025-01-01 00:00" "2025-12-31 23:59:59"
    network "large, separated sessions" "2025-01-01 00:00" "2025-12-31 23:59:59" --separar-sessoes
    exit 0
fi
if [ "$which" = large ] || [ "$which" = all ]; then
    run_size large "2025-01-01 00:00" "2025-12-31 23:59:59" \
        -v inicio=2025-01-01 -v dias=365 -v variedades=8 -v funcionarios=40 -v turnos=7 -v operadores=10 -v por_hora=1300
fi
