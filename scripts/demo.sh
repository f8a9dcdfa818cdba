#!/usr/bin/env bash
# The demo database: a private PostgreSQL cluster in demo/ on 127.0.0.1:54329,
# filled once with about four months of machine data up to yesterday, and the
# program pointed at it through settings of its own (demo/config), so that
# a person's own settings are never touched.
#   scripts/demo.sh start    start (or reuse) the cluster, loading data the first time
#   scripts/demo.sh gui      start, then open the program
#   scripts/demo.sh report   start, then write a report of the last 30 days with relatorio-cli
#   scripts/demo.sh stop     stop the cluster
#   scripts/demo.sh remove   stop it and delete demo/ (data, settings, reports)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/pg-cluster.sh"

demo=$root/demo
cluster=$demo/pg
port=${QUORBEL_DEMO_PORT:-54329}
build=${BUILD_DIR:-build}
case $build in /*) ;; *) build=$root/$build ;; esac

write_settings() {
    mkdir -p "$demo/config/Quorbel" "$demo/relatorios"
    cat > "$demo/config/Quorbel/RelatorioGerador.conf" <<CONF
[General]
BD_ADDR=127.0.0.1
5432=$port
DIRETORIO=$demo/relatorios
SENHA=PLOVEN
CONF
}

load_data() {
    local days=120
    local first
    first=$(date -d "-$days days" +%F)
    local zone=${TZ:-$(cat /etc/timezone 2>/dev/null || echo UTC)}
    echo "demo: loading $days days of machine data from $first (time zone $zone)..."
    PGPASSWORD=tarnek psql -X -q -v ON_ERROR_STOP=1 -v inicio="$first" -v dias="$days" \
        -v fuso="$zone" "user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$port" \
        -f "$root/scripts/demo-data.sql"
}

start() {
    if [ -f "$cluster/loaded" ] && pg_cluster_running "$cluster"; then
        echo "demo: database running on 127.0.0.1:$port"
        write_settings
        return
    fi
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        echo "demo: port $port is taken by another program; choose another with QUORBEL_DEMO_PORT" >&2
        exit 1
    fi
    if [ -f "$cluster/loaded" ]; then
        pg_cluster_start "$cluster" "$port"
    else
        # First start, or an earlier load that did not finish: begin afresh.
        pg_cluster_stop "$cluster" immediate
        rm -rf "$cluster"
        local pw=admin$RANDOM$RANDOM$RANDOM
        pg_cluster_init "$cluster" "$pw"
        pg_cluster_start "$cluster" "$port"
        pg_cluster_create_db "$port" "$pw" "$root/model/schema.sql"
        load_data
        touch "$cluster/loaded"
    fi
    echo "demo: database running on 127.0.0.1:$port"
    write_settings
}

report() {
    start
    local fim inicio
    fim=$(date +%F)
    inicio=$(date -d '-30 days' +%F)
    XDG_CONFIG_HOME=$demo/config "$build/relatorio-cli" \
        --inicio "$inicio 00:00" --fim "$fim 23:59:59" "$@"
}

gui() {
    start
    XDG_CONFIG_HOME=$demo/config exec "$build/RelatorioGerador"
}

case ${1:-} in
start) start ;;
gui) gui ;;
report) shift; report "$@" ;;
stop) pg_cluster_stop "$cluster"; echo "demo: stopped" ;;
remove) pg_cluster_stop "$cluster"; rm -rf "$demo"; echo "demo: removed $demo" ;;
*) sed -n '2,10p' "$0" >&2; exit 2 ;;
esac
