-- The team's month of the benchmark: 200 people (p001 to p200) and a lead, each person's working days of
-- 2026/02 saved (some missed), three items a day; the first half of the month approved, a few days returned.
DO $$ BEGIN
  FOR i IN 1..200 LOOP
    EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L IN ROLE worvane_user', 'p' || lpad(i::text, 3, '0'), 'secret');
  END LOOP;
END $$;
CREATE ROLE lead LOGIN PASSWORD 'secret' IN ROLE worvane_lead;
INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, WKUSER)
  SELECT 'P' || lpad((1 + i % 20)::text, 5, '0'), to_char(d, 'YYYY/MM/DD'), '09:00', '18:00',
         'p' || lpad(i::text, 3, '0')
  FROM generate_series(1, 200) i, generate_series(date '2026-02-01', date '2026-02-28', interval '1 day') d
  WHERE extract(isodow FROM d) < 6 AND d NOT IN (date '2026-02-11', date '2026-02-23')
    AND (i * 31 + extract(day FROM d)::int) % 17 <> 0;
INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER)
  SELECT t.PJCODE, t.WKYMD, n::text, '作業 ' || n, '内容 ' || n, t.WKUSER
  FROM DF_WKTIME t, generate_series(1, 3) n WHERE t.WKUSER LIKE 'p%' AND t.WKYMD LIKE '2026/02/%';
UPDATE WV_DAYSTATE SET STATE = '承認済' WHERE WKUSER LIKE 'p%' AND WKYMD < '2026/02/16';
UPDATE WV_DAYSTATE SET STATE = '差戻し'
  WHERE WKUSER LIKE 'p%' AND WKYMD >= '2026/02/16' AND (hashtext(WKUSER || WKYMD) % 23) = 0;
