#!/usr/bin/env bash
# Starts or stops the PostgreSQL 15 server the synchronisation tests run against.
#   pg-server.sh start STATE_DIR   a new cluster in a private temporary folder, on 127.0.0.1 and a
#                                  free port, TLS with a test CA; STATE_DIR/server.env tells the
#                                  tests how to reach it
#   pg-server.sh stop STATE_DIR    stops it and removes its folder
# The server refuses to run as root: then it runs as the unprivileged user the set-up creates
# (gestione-test), or as nobody. Every failure ends with a non-zero status: the tests that need
# the server then fail, never skip.
set -euo pipefail

action=${1:-}
state=${2:-}
if [ -z "$action" ] || [ -z "$state" ]; then
    echo "uso: $0 start|stop CARTELLA_STATO" >&2
    exit 2
fi
bin=/usr/lib/postgresql/15/bin

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u "$server_user" -- "$@"
    else
        "$@"
    fi
}

stop() {
    [ -f "$state/server.env" ] || return 0
    # shellcheck disable=SC1091
    . "$state/server.env"
    server_user=$GESTIONE_PG_OSUSER
    if [ -d "$GESTIONE_PG_ROOT/data" ]; then
        as_server "$bin/pg_ctl" -D "$GESTIONE_PG_ROOT/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$GESTIONE_PG_ROOT"
    rm -f "$state/server.env"
}

if [ "$action" = stop ]; then
    stop
    exit 0
fi
[ "$action" = start ] || { echo "azione sconosciuta: $action" >&2; exit 2; }

[ -x "$bin/initdb" ] || { echo "PostgreSQL 15 non è installato ($bin/initdb manca)" >&2; exit 1; }
mkdir -p "$state"
stop

server_user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    if getent passwd gestione-test >/dev/null; then server_user=gestione-test; else server_user=nobody; fi
fi

umask 077
root=$(mktemp -d /tmp/gestione-pg.XXXXXXXX)
chmod 0711 "$root"
mkdir "$root/data" "$root/tls" "$root/log"

# The test CA and the server's certificate, for 127.0.0.1 and localhost.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "/CN=Gestione test CA" \
    -keyout "$root/tls/ca.key" -out "$root/tls/ca.crt" >/dev/null 2>&1
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=127.0.0.1" \
    -keyout "$root/tls/server.key" -out "$root/tls/server.csr" >/dev/null 2>&1
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' >"$root/tls/ext.cnf"
openssl x509 -req -in "$root/tls/server.csr" -CA "$root/tls/ca.crt" -CAkey "$root/tls/ca.key" \
    -CAcreateserial -days 2 -extfile "$root/tls/ext.cnf" -out "$root/tls/server.crt" >/dev/null 2>&1
chmod 0711 "$root/tls"
chmod 0644 "$root/tls/ca.crt"

admin_password=$(openssl rand -hex 16)
printf '%s\n' "$admin_password" >"$root/pwfile"
if [ "$(id -u)" -eq 0 ]; then
    chown -R "$server_user" "$root/data" "$root/log" "$root/pwfile" "$root/tls/server.key" "$root/tls/server.crt"
fi

as_server "$bin/initdb" -D "$root/data" -U gestione_admin --pwfile="$root/pwfile" \
    -A scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$root/initdb.log" 2>&1 ||
    { cat "$root/initdb.log" >&2; rm -rf "$root"; exit 1; }
rm -f "$root/pwfile"
cat >"$root/data/pg_hba.conf" <<HBA
hostssl all all 127.0.0.1/32 scram-sha-256
HBA
cat >>"$root/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = ''
ssl = on
ssl_cert_file = '$root/tls/server.crt'
ssl_key_file = '$root/tls/server.key'
fsync = off
max_connections = 60
# The tests count the blocks a sync reads; a vacuum or analyze of its own would add to them.
autovacuum = off
CONF

# A free port, asked of the system; another server may take it first, so a few tries.
started=0
for _ in 1 2 3 4 5; do
    port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    if as_server "$bin/pg_ctl" -D "$root/data" -o "-p $port" -l "$root/log/server.log" -w -t 30 start >/dev/null 2>&1; then
        started=1
        break
    fi
done
if [ "$started" -ne 1 ]; then
    echo "Il server PostgreSQL non è partito:" >&2
    cat "$root/log/server.log" >&2 || true
    rm -rf "$root"
    exit 1
fi

cat >"$state/server.env.tmp" <<ENV
GESTIONE_PG_ROOT=$root
GESTIONE_PG_OSUSER=$server_user
GESTIONE_PG_HOST=127.0.0.1
GESTIONE_PG_PORT=$port
GESTIONE_PG_ADMIN=gestione_admin
GESTIONE_PG_ADMIN_PASSWORD=$admin_password
GESTIONE_PG_CA=$root/tls/ca.crt
GESTIONE_PG_CTL=$bin/pg_ctl
ENV
mv "$state/server.env.tmp" "$state/server.env"
echo "PostgreSQL su 127.0.0.1:$port ($root)"
