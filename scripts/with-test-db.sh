#!/usr/bin/env bash
# Runs a command against a throwaway PostgreSQL 15 cluster on 127.0.0.1:
# role quorbel (password tarnek), database BDQuorbel (UTF8) holding the tables
# of model/schema.sql. The command finds the server in QUORBEL_TEST_HOSTADDR
# and QUORBEL_TEST_PORT, a superuser connection text in QUORBEL_TEST_ADMIN
# and the server's log in QUORBEL_TEST_SERVER_LOG. The cluster is removed
# afterwards, whatever the command's outcome.
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

export QUORBEL_TEST_HOSTADDR=127.0.0.1
export QUORBEL_TEST_PORT=$port
export QUORBEL_TEST_ADMIN="user=admin password=$adminpw dbname=BDQuorbel hostaddr=127.0.0.1 port=$port"
export QUORBEL_TEST_SERVER_LOG="$dir/server.log"
echo "with-test-db: PostgreSQL on 127.0.0.1:$port"

set +e
"$@"
status=$?
set -e
exit $status
