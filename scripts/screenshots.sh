#!/usr/bin/env bash
# Re-creates the pictures of the windows in docs/ under a virtual X display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-release"

"$root/scripts/setup.sh" --display
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target worvane-screenshots worvane-newdb

# A lead's windows need a team database: a throwaway cluster holding a small team's month.
pg=$(mktemp -d /tmp/worvane-shots-pg-XXXXXX)
"$root/tests/support/pgcluster.sh" start "$pg" >/dev/null
export PGPASSFILE="$pg/pgpass"
admin=$(cat "$pg/admin")
psql "$admin" -qc "CREATE DATABASE team"
"$build/tools/worvane-newdb" "${admin%/postgres}/team" >/dev/null
psql "${admin%/postgres}/team" -q -v ON_ERROR_STOP=1 -f "$root/scripts/screenshots-team.sql"
url=${admin#postgresql://postgres@}
lead="postgresql://%E5%B1%B1%E6%9C%AC@${url%/postgres}/team" # 山本

display=:97
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; "$root/tests/support/pgcluster.sh" stop "$pg"' EXIT
sleep 1
mkdir -p "$root/docs"
DISPLAY="$display" QT_QPA_PLATFORM=xcb "$build/tools/worvane-screenshots" "$root/docs" "$lead"
