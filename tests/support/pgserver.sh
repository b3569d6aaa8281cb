#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: a new cluster in a temporary folder, listening on a Unix socket
# in that folder only (no TCP port), without fsync. The folder's path is written to <state file>; the tests
# read it from there (QUORVELA_TEST_SERVER_STATE).
#   pgserver.sh start <state file> [password]   with a password, the server asks for it (user postgres)
#   pgserver.sh stop <state file>
#   pgserver.sh halt <state file>      stops the server and keeps its data (a server that went away)
#   pgserver.sh resume <state file>    starts it again on the same data
# With QV_PGSERVER_TLS_PORT set at start, the server also listens on 127.0.0.1 at that port, with TLS on under
# a self-signed certificate for "localhost" (<folder>/server.crt, which clients may use as their root).
# initdb and postgres refuse to run as root: as root, the cluster belongs to the postgres user.
set -euo pipefail
action=${1:?start or stop}
state=${2:?state file}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "pgserver: the PostgreSQL server is not installed (./setup.sh --test installs it)" >&2
    exit 1
fi
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    as_owner=(runuser -u postgres --)
fi

start_server() {
    local network="-c listen_addresses=''"
    if [ -f "$dir/tls-port" ]; then
        network="-c listen_addresses=127.0.0.1 -p $(cat "$dir/tls-port") -c ssl=on"
        network+=" -c ssl_cert_file=$dir/server.crt -c ssl_key_file=$dir/server.key"
    fi
    # Enough connections for every test running at once, each with its background catalog read.
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
        -o "$network -k $dir -F -c max_connections=200 -c full_page_writes=off" start >/dev/null \
        || { cat "$dir/server.log" >&2; exit 1; }
}

stop() {
    [ -f "$state" ] || return 0
    dir=$(cat "$state")
    if [ -d "$dir/data" ]; then
        "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir" "$state"
}

case "$action" in
start)
    stop
    mkdir -p "$(dirname "$state")"
    dir=$(mktemp -d /tmp/qv-pg.XXXXXX)
    chmod 755 "$dir"
    [ ${#as_owner[@]} -gt 0 ] && chown postgres "$dir"
    auth=(-A trust)
    if [ -n "${3:-}" ]; then
        printf '%s\n' "$3" >"$dir/password"
        [ ${#as_owner[@]} -gt 0 ] && chown postgres "$dir/password"
        auth=(-A scram-sha-256 --pwfile="$dir/password")
    fi
    "${as_owner[@]}" "$bindir/initdb" -D "$dir/data" -U postgres "${auth[@]}" -E UTF8 --locale=C.UTF-8 --no-sync \
        >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    if [ -n "${QV_PGSERVER_TLS_PORT:-}" ]; then
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=localhost \
            -keyout "$dir/server.key" -out "$dir/server.crt" >"$dir/openssl.log" 2>&1 \
            || { cat "$dir/openssl.log" >&2; exit 1; }
        chmod 600 "$dir/server.key"
        [ ${#as_owner[@]} -gt 0 ] && chown postgres "$dir/server.key" "$dir/server.crt"
        echo "$QV_PGSERVER_TLS_PORT" >"$dir/tls-port"
    fi
    start_server
    echo "$dir" >"$state"
    ;;
stop) stop ;;
halt)
    dir=$(cat "$state")
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    ;;
resume)
    dir=$(cat "$state")
    start_server
    ;;
*) echo "usage: $0 start|stop|halt|resume <state file> [password]" >&2; exit 2 ;;
esac
