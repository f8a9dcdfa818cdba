# Functions to run a private PostgreSQL 15 cluster in a folder of ours,
# listening on 127.0.0.1 only. Sourced by with-test-db.sh and demo.sh.

pg_bindir=/usr/lib/postgresql/15/bin

# Runs a server program as the cluster's owner: the server refuses root.
pg_as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

# pg_cluster_init DIR ADMINPASSWORD: a new cluster in DIR/data, superuser "admin".
pg_cluster_init() {
    local dir=$1 pw=$2
    [ -x "$pg_bindir/initdb" ] || { echo "PostgreSQL 15 server not found (run scripts/setup.sh)" >&2; return 1; }
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    printf '%s\n' "$pw" > "$dir/pw"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/pw"
    pg_as_owner "$pg_bindir/initdb" -D "$dir/data" -U admin --pwfile="$dir/pw" -A scram-sha-256 \
        -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; return 1; }
    rm -f "$dir/pw"
}

# pg_cluster_start DIR PORT [SERVER OPTIONS]
pg_cluster_start() {
    local dir=$1 port=$2
    shift 2
    pg_as_owner "$pg_bindir/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" start \
        -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir $*" \
        >/dev/null || { tail -20 "$dir/server.log" >&2; return 1; }
}

pg_cluster_running() {
    pg_as_owner "$pg_bindir/pg_ctl" -D "$1/data" status >/dev/null 2>&1
}

# pg_cluster_stop DIR [MODE]
pg_cluster_stop() {
    pg_as_owner "$pg_bindir/pg_ctl" -D "$1/data" stop -m "${2:-fast}" >/dev/null 2>&1 || true
}

# pg_cluster_create_db PORT ADMINPASSWORD SCHEMA: role quorbel (password
# tarnek) and database BDQuorbel owned by it, with the tables of SCHEMA.
pg_cluster_create_db() {
    local port=$1 pw=$2 schema=$3
    PGPASSWORD=$pw psql -X -q -v ON_ERROR_STOP=1 \
        "user=admin dbname=postgres hostaddr=127.0.0.1 port=$port" <<'SQL' || return 1
create role quorbel login password 'tarnek';
create database "BDQuorbel" owner quorbel encoding 'UTF8' template template0;
SQL
    PGPASSWORD=tarnek psql -X -q -v ON_ERROR_STOP=1 \
        "user=quorbel dbname=BDQuorbel hostaddr=127.0.0.1 port=$port" -f "$schema"
}

# A free TCP port on 127.0.0.1.
pg_free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' \
        2>/dev/null || echo $((20000 + RANDOM % 20000))
}
