#!/usr/bin/env bash
# Time of each kind of data-model statement on about a million events (not a
# test; run by hand). Fills a throwaway cluster with a year of machine data
# from scripts/demo-data.sql, then runs every statement as the program
# writes it, once to warm up and then five times, and prints the median and
# the fastest run in milliseconds, as psql's \timing measures them.
#   usage: bench/model_queries.sh [--explain]
# --explain also prints EXPLAIN ANALYZE of each statement.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${QUORBEL_MODEL_BENCH_INSIDE:-}" ]; then
    export QUORBEL_MODEL_BENCH_INSIDE=1
    exec "$root/scripts/with-test-db.sh" "$0" "$@"
fi

explain=${1:-}
owner="user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$QUORBEL_TEST_PORT"
export PGPASSWORD=tarnek
work=$(mktemp -d /tmp/quorbel-model-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

t0=$SECONDS
psql -X -q -v ON_ERROR_STOP=1 -v inicio=2025-01-01 -v dias=365 -v por_hora=260 \
    "$owner" -f "$root/scripts/demo-data.sql" > "$work/counts"
sed -n '3p' "$work/counts" | awk -F'|' -v s=$((SECONDS - t0)) '{gsub(/ /,""); printf "data: %s varieties, %s employees, %s machine sessions, %s employee sessions, %s events (loaded in %ss)\n", $1, $2, $3, $4, $5, s}'
psql -X -q "$owner" -c "vacuum analyze treino, numero_classificacao_treino, funcionario, sessao, evento_muda"

epoch() { date -u -d "$1" +%s; }
mes_inicio=$(epoch 2025-06-01)
mes_fim=$(($(epoch 2025-07-01) - 1))
ano_inicio=$(epoch 2025-01-01)
ano_fim=$(($(epoch 2026-01-01) - 1))
# Ten employees, as a report passes the ids of its employee list.
ids=$(psql -X -A -t "$owner" -c "select string_agg(id::text, ',' order by id) from (select id from funcionario where id > 1 order by id limit 10) f")

between() { # the selection rule of the session queries
    echo "(s.instante_inicial between $1 and $2 or s.instante_final between $1 and $2)"
}
variedades() {
    echo "select v.id,v.nome,v.ativo,v.diretorio,v.num_classificacoes from treino v where v.id in (select m.id_treino from evento_muda m where m.instante >= $1 and m.instante <= $2) group by v.id order by v.nome asc"
}
sessoes() {
    echo "select distinct s.id,s.id_funcionario,s.instante_inicial,s.instante_final,s.sensor,s.id_treino from sessao s where s.id_funcionario=1 and s.sensor=0 and s.id_treino=1 and $(between "$1" "$2") order by s.instante_inicial ASC"
}
intervalos() { # inicio fim filter
    echo "select s.instante_inicial,s.instante_final from sessao s where $3 and $(between "$1" "$2") group by s.id order by s.instante_inicial"
}
funcionarios() { # inicio fim variety-filter
    echo "select distinct f.id,f.nome,f.ativo,f.apelido from funcionario f, sessao s where f.id=s.id_funcionario and $3$(between "$1" "$2") order by f.nome,f.id"
}
contagem() { # inicio fim variety-filter
    echo "select count(*) from evento_muda where classificacao=2$3 and instante between $1 and $2"
}
producao() { # inicio fim variety-filter
    echo "select coalesce(total,0) from funcionario f1 left join (select f.id as id,count(distinct e.id) as total from funcionario f, sessao s left join evento_muda e on s.id=e.id_sessao and e.classificacao=2$3 where f.id=s.id_funcionario and $(between "$1" "$2") and e.id_sessao=s.id group by f.id) eventos on f1.id = eventos.id where f1.id in ($ids)  order by f1.nome asc,f1.id asc"
}

queries=(
    "varieties with events, month|$(variedades "$mes_inicio" "$mes_fim")"
    "varieties with events, year|$(variedades "$ano_inicio" "$ano_fim")"
    "class entries of a variety|select id,num_classificacao,num_fotos from numero_classificacao_treino where id_treino=1 order by num_classificacao asc"
    "machine sessions of a variety, month|$(sessoes "$mes_inicio" "$mes_fim")"
    "machine sessions of a variety, year|$(sessoes "$ano_inicio" "$ano_fim")"
    "intervals, machine, month|$(intervalos "$mes_inicio" "$mes_fim" "s.id_funcionario=1")"
    "intervals, everyone but the machine, month|$(intervalos "$mes_inicio" "$mes_fim" "s.id_funcionario <> 1")"
    "intervals, one employee and variety, month|$(intervalos "$mes_inicio" "$mes_fim" "s.id_funcionario=2 and  s.id_treino=1")"
    "intervals, everyone but the machine, year|$(intervalos "$ano_inicio" "$ano_fim" "s.id_funcionario <> 1")"
    "employees, month|$(funcionarios "$mes_inicio" "$mes_fim" "")"
    "employees of a variety, month|$(funcionarios "$mes_inicio" "$mes_fim" "s.id_treino=1 and ")"
    "event count, month|$(contagem "$mes_inicio" "$mes_fim" "")"
    "event count of a variety, month|$(contagem "$mes_inicio" "$mes_fim" " and id_treino=1")"
    "event count, year|$(contagem "$ano_inicio" "$ano_fim" "")"
    "event count of a variety, year|$(contagem "$ano_inicio" "$ano_fim" " and id_treino=1")"
    "production of 10 employees, month|$(producao "$mes_inicio" "$mes_fim" "")"
    "production of 10 employees, variety, month|$(producao "$mes_inicio" "$mes_fim" " and e.id_treino=1")"
    "production of 10 employees, year|$(producao "$ano_inicio" "$ano_fim" "")"
    "production of 10 employees, variety, year|$(producao "$ano_inicio" "$ano_fim" " and e.id_treino=1")"
)

printf '| %-45s | %6s | %9s | %7s |\n' "statement" "rows" "median ms" "min ms"
printf '|%s|%s|%s|%s|\n' "-----------------------------------------------" "--------" "-----------" "---------"
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
        | awk -v n="$name" -v r="$rows" '{t[NR]=$1} END {printf "| %-45s | %6s | %9.1f | %7.1f |\n", n, r, t[int((NR+1)/2)], t[1]}'
    if [ "$explain" = "--explain" ]; then
        psql -X -q "$owner" -c "explain (analyze, buffers) $sql"
    fi
done
