#!/usr/bin/env bash
# Times worvane-report on a year of days: 20 projects on every weekday of 2025, 50 items each
# (5,220 days, 261,000 items). Usage: bench/report_bench.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: report_bench.sh BUILD_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
db=$work/year.db
"$build/tools/worvane-newdb" "$db" >/dev/null
sqlite3 "$db" <<'SQL'
BEGIN;
WITH RECURSIVE p(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM p WHERE n < 20)
INSERT INTO DM_PRJMST (PJCODE, PJNAME) SELECT printf('P%07d', n), 'プロジェクト' || n FROM p;
WITH RECURSIVE d(day) AS (SELECT date('2025-01-01') UNION ALL SELECT date(day, '+1 day') FROM d WHERE day < '2025-12-31'),
  p(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM p WHERE n < 20)
INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME)
  SELECT printf('P%07d', n), replace(day, '-', '/'), '09:00', printf('%02d:%02d', 17 + n % 5, (n * 15) % 60)
  FROM d, p WHERE strftime('%w', day) NOT IN ('0', '6');
WITH RECURSIVE i(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM i WHERE k < 50)
INSERT INTO DF_WKCONT SELECT PJCODE, WKYMD, k, '作業項目' || k,
  '打合せ、設計、実装、試験の記録。' || char(13, 10) || '二行目の内容, "引用" を含む。' FROM DF_WKTIME, i;
COMMIT;
SQL
ls -l "$db" | awk '{printf "database: %.0f MB\n", $5 / 1048576}'
run() {
  local label=$1
  shift
  /usr/bin/time -f "$label: %e s, max RSS %M KiB" "$build/tools/worvane-report" --db "$db" "$@" --from 2025-01-01 --to 2025-12-31 >/dev/null
}
run totals totals
run "csv export" export --format csv --out "$work/year.csv"
run "xlsx export" export --format xlsx --out "$work/year.xlsx"
run "text export" export --format text --out "$work/year.txt"
ls -l "$work"/year.csv "$work"/year.xlsx "$work"/year.txt | awk '{printf "%s: %.1f MB\n", $9, $5 / 1048576}'
