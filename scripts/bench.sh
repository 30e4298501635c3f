#!/usr/bin/env bash
# Sets up, builds (Release, build-bench) and runs the benchmarks: one table, every action of the program
# beside its floor measured in the same run. The generated database (about 190 MB) is made once and kept
# in /tmp/worvane-bench; pass --data FOLDER to keep it elsewhere, --runs N for more runs per side.
# The team database rows run against a throwaway PostgreSQL cluster that holds the same data as one
# person's days (--no-server leaves them out).
# Exit status 3: every row ran, and at least one ratio missed its target.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-bench"
lock=/tmp/worvane-build.lock
data=/tmp/worvane-bench
args=()
server=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --no-server) server=no ;;
    --data) data="$2"; args+=("$1" "$2"); shift ;;
    *) args+=("$1") ;;
  esac
  shift
done

"$root/scripts/setup.sh" --bench
flock "$lock" sh -c "cmake -S '$root' -B '$build' -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null &&
  cmake --build '$build' -j2 --target worvane-bench worvane-bench-startup worvane-bench-plain worvane-report worvane-newdb >&2"
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
  psql "${admin%/postgres}/bench" -qc "VACUUM ANALYZE"
  url=${admin#postgresql://postgres@}
  args+=(--server "postgresql://alice@${url%/postgres}/bench")
fi
flock "$lock" "$build/bench/worvane-bench" "${args[@]}"
