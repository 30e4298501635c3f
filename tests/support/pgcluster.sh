#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the tests, on a free port of 127.0.0.1 in a folder of its own.
#   pgcluster.sh start FOLDER   initdb, start; writes FOLDER/admin (the superuser's URI) and FOLDER/pgpass
#   pgcluster.sh bouncer FOLDER [POOL]  starts PgBouncer in front of it in transaction pooling, every login
#                               passed through to the server as itself (at most POOL server connections in
#                               all, 20 unless told); writes FOLDER/bouncer (its port)
#   pgcluster.sh stop FOLDER    stops both and removes the folder
# As root the server runs as the postgres system user, as PostgreSQL requires.
set -euo pipefail
action=${1:?usage: pgcluster.sh start|bouncer|stop FOLDER}
folder=${2:?usage: pgcluster.sh start|bouncer|stop FOLDER}
bin=/usr/lib/postgresql/15/bin
# The server outlives this script: it must not inherit any descriptor of the caller's, such as a lock
# that flock(1) holds for the caller.
for fd in /proc/$$/fd/*; do
  fd=${fd##*/}
  [ "$fd" -gt 2 ] && eval "exec $fd>&-" 2>/dev/null || true
done
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$action" in
start)
  [ -d "$folder/data" ] && as_owner "$bin/pg_ctl" -D "$folder/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$folder"
  mkdir -p "$folder"
  [ "$(id -u)" -eq 0 ] && chown postgres "$folder"
  cd "$folder" # the server's user may not enter the caller's folder
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  # The tests' cluster does not wait for the disk; PGCLUSTER_DURABLE=1 makes one that does, as a real
  # server's (for the load benchmark).
  durability="-c fsync=off -c full_page_writes=off"
  [ "${PGCLUSTER_DURABLE:-}" = 1 ] && durability=""
  echo admin-secret >"$folder/pwfile"
  [ "$(id -u)" -eq 0 ] && chown postgres "$folder/pwfile"
  as_owner "$bin/initdb" -D "$folder/data" -U postgres --pwfile="$folder/pwfile" -E UTF8 --locale=C.UTF-8 \
    --auth-local=trust --auth-host=scram-sha-256 >"$folder/initdb.log"
  as_owner "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 30 \
    -o "-p $port -k $folder -c listen_addresses=127.0.0.1 $durability -c shared_preload_libraries=pg_stat_statements -c max_connections=300" start >/dev/null
  echo "postgresql://postgres@127.0.0.1:$port/postgres" >"$folder/admin"
  # Passwords the tests' roles use, where libpq looks for them.
  printf '127.0.0.1:%s:*:postgres:admin-secret\n127.0.0.1:%s:*:*:secret\n' "$port" "$port" >"$folder/pgpass"
  chmod 600 "$folder/pgpass"
  echo "PostgreSQL test cluster on 127.0.0.1:$port in $folder"
  ;;
bouncer)
  pool=${3:-20}
  admin=$(cat "$folder/admin")
  port=${admin##*:}
  port=${port%%/*}
  bport=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  # Each person logs in to the bouncer with their own password (its SCRAM secret looked up on the server
  # by the superuser), and the bouncer logs in to the server as that person: the server's policies see
  # the person, never a pool's shared login.
  printf '"postgres" "admin-secret"\n' >"$folder/bouncer-users"
  cat >"$folder/bouncer.ini" <<INI
[databases]
* = host=127.0.0.1 port=$port
[pgbouncer]
listen_addr = 127.0.0.1
listen_port = $bport
unix_socket_dir =
auth_type = scram-sha-256
auth_file = $folder/bouncer-users
auth_user = postgres
pool_mode = transaction
max_client_conn = 2000
default_pool_size = $pool
max_db_connections = $pool
logfile = $folder/bouncer.log
pidfile = $folder/bouncer.pid
INI
  [ "$(id -u)" -eq 0 ] && chown postgres "$folder/bouncer-users" "$folder/bouncer.ini"
  as_owner pgbouncer -d "$folder/bouncer.ini"
  echo "$bport" >"$folder/bouncer"
  printf '127.0.0.1:%s:*:postgres:admin-secret\n127.0.0.1:%s:*:*:secret\n' "$bport" "$bport" >>"$folder/pgpass"
  echo "PgBouncer on 127.0.0.1:$bport in front of $port"
  ;;
stop)
  cd /
  [ -f "$folder/bouncer.pid" ] && kill "$(cat "$folder/bouncer.pid")" 2>/dev/null || true
  [ -d "$folder/data" ] && as_owner "$bin/pg_ctl" -D "$folder/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$folder"
  ;;
*)
  echo "usage: pgcluster.sh start|bouncer|stop FOLDER" >&2
  exit 2
  ;;
esac
