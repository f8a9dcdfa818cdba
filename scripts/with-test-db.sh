#!/usr/bin/env bash
# Runs a command against a throwaway PostgreSQL 15 cluster on 127.0.0.1:
# role quorbel (password tarnek), database BDQuorbel (UTF8) holding the tables
# of model/schema.sql. The command finds the server in QUORBEL_TEST_HOSTADDR
# and QUORBEL_TEST_PORT, a superuser connection text in QUORBEL_TEST_ADMIN,
# the server's log in QUORBEL_TEST_SERVER_LOG, and in QUORBEL_TEST_SERVER_CTL
# a command that stops the server ("stop [fast|immediate]") and starts it
# again on the same port ("start"). The cluster is removed afterwards,
# whatever the command's outcome.
#   usage: scripts/with-test-db.sh COMMAND [ARG...]
# QUORBEL_PG_OPTIONS adds server settings, e.g. "-c log_statement=all".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/pg-cluster.sh"

dir=$(mktemp -d /tmp/quorbel-pg.XXXXXX)
cleanup() {
    pg_cluster_stop "$dir" immediate
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

port=${QUORBEL_TEST_PORT:-$(pg_free_port)}
adminpw=admin$RANDOM$RANDOM$RANDOM
pg_cluster_init "$dir" "$adminpw"
pg_cluster_start "$dir" "$port" -c fsync=off ${QUORBEL_PG_OPTIONS:-}
pg_cluster_create_db "$port" "$adminpw" "$root/model/schema.sql"

# For tests of a server that goes away in the middle of their work.
{
    echo '#!/usr/bin/env bash'
    printf '. %q\n' "$root/scripts/pg-cluster.sh"
    echo 'case "${1:-}" in'
    printf '    stop) pg_cluster_stop %q "${2:-fast}" ;;\n' "$dir"
    printf '    start) pg_cluster_start %q %q -c fsync=off' "$dir" "$port"
    for option in ${QUORBEL_PG_OPTIONS:-}; do printf ' %q' "$option"; done
    echo ' ;;'
    echo '    *) echo "usage: $0 stop [fast|immediate] | start" >&2; exit 2 ;;'
    echo 'esac'
} > "$dir/server-ctl"
chmod +x "$dir/server-ctl"

export QUORBEL_TEST_HOSTADDR=127.0.0.1
export QUORBEL_TEST_PORT=$port
export QUORBEL_TEST_ADMIN="user=admin password=$adminpw dbname=BDQuorbel hostaddr=127.0.0.1 port=$port"
export QUORBEL_TEST_SERVER_LOG="$dir/server.log"
export QUORBEL_TEST_SERVER_CTL="$dir/server-ctl"
echo "with-test-db: PostgreSQL on 127.0.0.1:$port"

set +e
"$@"
status=$?
set -e
exit $status
