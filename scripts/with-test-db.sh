#!/usr/bin/env bash
# Runs a command against a throwaway PostgreSQL 15 cluster on 127.0.0.1:
# role quorbel (password tarnek), database BDQuorbel (UTF8) holding the schema
# of model/schema.sql. The command finds the server in QUORBEL_TEST_HOSTADDR
# and QUORBEL_TEST_PORT, and an administrator connection in
# QUORBEL_TEST_ADMIN (a libpq connection text). The cluster is removed
# afterwards, whatever the command's outcome.
#   usage: scripts/with-test-db.sh COMMAND [ARG...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bindir=$(ls -d /usr/lib/postgresql/15/bin 2>/dev/null || true)
[ -x "$bindir/initdb" ] || { echo "with-test-db: PostgreSQL 15 server not found (run scripts/setup.sh)" >&2; exit 1; }

dir=$(mktemp -d /tmp/quorbel-pg.XXXXXX)
run_pg=()
if [ "$(id -u)" -eq 0 ]; then
    # The server refuses to run as root.
    chown postgres: "$dir"
    run_pg=(runuser -u postgres --)
fi
pgctl() { "${run_pg[@]}" "$bindir/pg_ctl" -D "$dir/data" "$@"; }
cleanup() {
    pgctl stop -m immediate >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap cleanup EXIT INT TERM

port=${QUORBEL_TEST_PORT:-}
if [ -z "$port" ]; then
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null || echo $((20000 + RANDOM % 20000)))
fi
adminpw=admin$RANDOM$RANDOM
echo "$adminpw" > "$dir/pw"
"${run_pg[@]}" "$bindir/initdb" -D "$dir/data" -U admin --pwfile="$dir/pw" -A scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
pgctl start -w -l "$dir/server.log" \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir -c fsync=off ${QUORBEL_PG_OPTIONS:-}" \
    >/dev/null || { cat "$dir/server.log" >&2; exit 1; }

export QUORBEL_TEST_HOSTADDR=127.0.0.1
export QUORBEL_TEST_PORT=$port
export QUORBEL_TEST_ADMIN="user=admin password=$adminpw dbname=postgres hostaddr=127.0.0.1 port=$port"
export QUORBEL_TEST_SERVER_LOG="$dir/server.log"
psql -X -q -v ON_ERROR_STOP=1 "$QUORBEL_TEST_ADMIN" <<SQL
create role quorbel login password 'tarnek';
create database "BDQuorbel" owner quorbel encoding 'UTF8' template template0;
SQL
PGPASSWORD=tarnek psql -X -q -v ON_ERROR_STOP=1 \
    "user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$port" -f "$root/model/schema.sql"
echo "with-test-db: PostgreSQL on 127.0.0.1:$port"

set +e
"$@"
status=$?
set -e
exit $status
