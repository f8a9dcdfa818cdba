#!/usr/bin/env bash
# Time of each kind of data-model statement on about a million events (not a
# test; run by hand). Fills a throwaway cluster with a year of machine data
# from scripts/demo-data.sql, lets relatorio-cli write a separated report of
# one month and of the whole year, and takes from the server's log the first
# statement of each kind in each, exactly as the program sent it. Each runs
# once to warm up and then five times; the median and the fastest run are
# printed in milliseconds, as psql's \timing measures them.
#   usage: bench/model_queries.sh [--explain]
# --explain also prints EXPLAIN ANALYZE of each statement.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${QUORBEL_MODEL_BENCH_INSIDE:-}" ]; then
    export QUORBEL_MODEL_BENCH_INSIDE=1
    export QUORBEL_PG_OPTIONS="-c log_min_duration_statement=0 -c log_line_prefix="
    exec "$root/scripts/with-test-db.sh" "$0" "$@"
fi

explain=${1:-}
build=${BUILD_DIR:-$root/build}
owner="user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$QUORBEL_TEST_PORT"
export PGPASSWORD=tarnek
work=$(mktemp -d /tmp/quorbel-model-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

t0=$SECONDS
psql -X -q -v ON_ERROR_STOP=1 -v inicio=2025-01-01 -v dias=365 -v por_hora=260 -v fuso=UTC \
    "$owner" -f "$root/scripts/demo-data.sql" > "$work/counts"
sed -n '3p' "$work/counts" | awk -F'|' -v s=$((SECONDS - t0)) '{gsub(/ /,""); printf "data: %s varieties, %s employees, %s machine sessions, %s employee sessions, %s events (loaded in %ss)\n", $1, $2, $3, $4, $5, s}'
psql -X -q "$owner" -c "vacuum analyze treino, numero_classificacao_treino, funcionario, sessao, evento_muda"

# statements NAME INICIO FIM: the first statement of each kind (numbers aside)
# that a separated report of the span sends, as "NAME: kind...|sql" lines.
statements() {
    local log=$QUORBEL_TEST_SERVER_LOG before
    before=$(stat -c %s "$log")
    "$build/relatorio-cli" --inicio "$2" --fim "$3" --separar-sessoes --diretorio "$work" \
        --endereco 127.0.0.1 --porta "$QUORBEL_TEST_PORT" >/dev/null 2>&1
    sleep 0.5
    tail -c +$((before + 1)) "$log" \
        | sed -n 's/^LOG:  duration: [0-9.]* ms  \(statement\|execute [^:]*\): //p' \
        | python3 -c '
import re, sys
seen = set()
for sql in sys.stdin:
    sql = sql.rstrip("\n")
    kind = re.sub(r"\d+", "N", sql)
    if kind not in seen:
        seen.add(kind)
        print(sys.argv[1] + ": " + kind[7:47].replace("|", " ") + "...|" + sql)
' "$1"
}
mapfile -t queries < <(statements month "2025-06-01 00:00" "2025-06-30 23:59:59";
                       statements year "2025-01-01 00:00" "2025-12-31 23:59:59")

printf '| %-50s | %6s | %9s | %7s |\n' "statement" "rows" "median ms" "min ms"
printf '|%s|%s|%s|%s|\n' "----------------------------------------------------" "--------" "-----------" "---------"
for entry in "${queries[@]}"; do
    name=${entry%%|*}
    sql=${entry#*|}
    rows=$(psql -X -A -t "$owner" -c "select count(*) from ($sql) q")
    {
        printf '%s\n' '\timing on'
        for _ in 1 2 3 4 5 6; do echo "$sql;"; done
    } > "$work/run.sql"
    psql -X -q -o /dev/null "$owner" -f "$work/run.sql" | sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' \
        | tail -n +2 | sort -n \
        | awk -v n="$name" -v r="$rows" '{t[NR]=$1} END {printf "| %-50s | %6s | %9.1f | %7.1f |\n", n, r, t[int((NR+1)/2)], t[1]}'
    if [ "$explain" = "--explain" ]; then
        psql -X -q "$owner" -c "explain (analyze, buffers) $sql"
    fi
done
