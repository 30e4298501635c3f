#!/usr/bin/env bash
# Sets up, builds (Release, build-bench) and runs the benchmarks: one table, every action of the program
# beside its floor measured in the same run. The generated database (about 190 MB) is made once and kept
# in /tmp/worvane-bench; pass --data FOLDER to keep it elsewhere, --runs N for more runs per side.
# The team database rows run against a throwaway PostgreSQL cluster that holds the same data as one
# person's days (--no-server leaves them out).
# Then the load benchmark (worvane-load) on a throwaway cluster of its own that waits for its disk as a real
# server does: 50 and 200 people saving at once, 50 on one project and date, and 500 through PgBouncer over
# 20 server connections (--no-load leaves it out).
# Exit status 3: every row ran, and at least one ratio missed its target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
lock=/tmp/worvane-build.lock
data=/tmp/worvane-bench
args=()
server=yes
load=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --no-server) server=no ;;
    --no-load) load=no ;;
    --data) data="$2"; args+=("$1" "$2"); shift ;;
    *) args+=("$1") ;;
  esac
  shift
done

"$root/scripts/setup.sh" --bench
flock "$lock" sh -c "cmake -S '$root' -B '$build' -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null &&
  cmake --build '$build' -j2 --target worvane-bench worvane-bench-startup worvane-bench-plain worvane-report worvane-newdb worvane-load >&2"
export QT_QPA_PLATFORM=offscreen

if [ "$server" = yes ]; then
  dataset=$("$build/bench/worvane-bench" --generate "$data")
  pg=/tmp/worvane-bench-pg
  "$root/tests/support/pgcluster.sh" start "$pg" >&2
  trap '"$root/tests/support/pgcluster.sh" stop "$pg"' EXIT
  export PGPASSFILE="$pg/pgpass"
  admin=$(cat "$pg/admin")
  psql "$admin" -qc "CREATE DATABASE bench"
  "$build/tools/worvane-newdb" "${admin%/postgres}/bench" >&2
  psql "${admin%/postgres}/bench" -qc "CREATE ROLE alice LOGIN PASSWORD 'secret' IN ROLE worvane_user"
  # Everything in the file, as alice's days. COPY is not for roles under row-level security: the
  # superuser copies, naming the person.
  echo "copying $dataset into the team database ..." >&2
  copy() { # SELECT in the file, table and columns in the server
    sqlite3 -csv "$dataset" "$1" | psql "${admin%/postgres}/bench" -qc "\\copy $2 FROM STDIN CSV"
  }
  copy "SELECT PJCODE, PJNAME, ENTYMD, UPDYMD FROM DM_PRJMST" "DM_PRJMST (PJCODE, PJNAME, ENTYMD, UPDYMD)"
  copy "SELECT PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD, 'alice' FROM DF_WKTIME" \
    "DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD, WKUSER)"
  copy "SELECT PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, 'alice' FROM DF_WKCONT" \
    "DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER)"
  # A copy of the 99-item day (P00001, 2025/06/30) on 2026/01/05, and another person's 300,000 items of
  # that project and date beside it: the row that shows a load does not pass over other people's rows.
  echo "putting another person's 300,000 items beside a copy of the 99-item day ..." >&2
  psql "${admin%/postgres}/bench" -q <<'SQL'
CREATE ROLE bob LOGIN PASSWORD 'secret' IN ROLE worvane_user;
INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, WKUSER)
  SELECT PJCODE, '2026/01/05', WSTIME, WETIME, WKUSER FROM DF_WKTIME WHERE PJCODE = 'P00001' AND WKYMD = '2025/06/30';
INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER)
  SELECT PJCODE, '2026/01/05', WKCODE, WKHEAD, DETAIL, WKUSER FROM DF_WKCONT WHERE PJCODE = 'P00001' AND WKYMD = '2025/06/30'
  ORDER BY ROWNO;
INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, WKUSER) VALUES ('P00001', '2026/01/05', '09:00', '18:00', 'bob');
INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER)
  SELECT 'P00001', '2026/01/05', (i % 99 + 1)::text, 'bob ' || i, 'detail of bob''s item ' || i, 'bob'
  FROM generate_series(1, 300000) i;
SQL
  # The years copied in waited in the default partition: running the set-up again gives them their own.
  "$build/tools/worvane-newdb" "${admin%/postgres}/bench" >&2
  echo "saving a month of days for 200 people ..." >&2
  psql "${admin%/postgres}/bench" -q -v ON_ERROR_STOP=1 -f "$root/bench/teamday.sql"
  psql "${admin%/postgres}/bench" -qc "VACUUM ANALYZE"
  url=${admin#postgresql://postgres@}
  args+=(--server "postgresql://alice@${url%/postgres}/bench" --lead "postgresql://lead@${url%/postgres}/bench")
fi
status=0
flock "$lock" "$build/bench/worvane-bench" "${args[@]}" || status=$?

if [ "$load" = yes ]; then
  lpg=/tmp/worvane-load-pg
  PGCLUSTER_DURABLE=1 "$root/tests/support/pgcluster.sh" start "$lpg" >&2
  trap '"$root/tests/support/pgcluster.sh" stop "$lpg"; [ -z "${pg:-}" ] || "$root/tests/support/pgcluster.sh" stop "$pg"' EXIT
  export PGPASSFILE="$lpg/pgpass"
  ladmin=$(cat "$lpg/admin")
  psql "$ladmin" -qc "CREATE DATABASE team"
  "$build/tools/worvane-newdb" "${ladmin%/postgres}/team" >&2
  direct="postgresql://${ladmin#postgresql://postgres@}"
  direct=${direct%/postgres}/team
  echo "## The load benchmark"
  for run in "--people 50" "--people 200" "--people 50 --same-day"; do
    echo; echo "worvane-load $run (direct)"
    flock "$lock" "$build/bench/worvane-load" --uri "$direct" --admin "${ladmin%/postgres}/team" --seconds 30 $run
  done
  "$root/tests/support/pgcluster.sh" bouncer "$lpg" 20 >&2
  bounced="postgresql://127.0.0.1:$(cat "$lpg/bouncer")/team"
  echo; echo "worvane-load --people 500 (through PgBouncer, 20 server connections)"
  flock "$lock" "$build/bench/worvane-load" --uri "$bounced" --admin "${ladmin%/postgres}/team" --seconds 30 --people 500
fi
exit $status
