-- A small team for the pictures of a lead's windows: five people and their lead 山本, each person's working
-- days of 2026/02 saved (a few missed), two or three items a day.
DO $$
DECLARE person text;
BEGIN
  FOREACH person IN ARRAY ARRAY['伊藤', '佐藤', '鈴木', '高橋', '田中'] LOOP
    EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L IN ROLE worvane_user', person, 'secret');
  END LOOP;
END $$;
CREATE ROLE "山本" LOGIN PASSWORD 'secret' IN ROLE worvane_lead;
INSERT INTO DM_PRJMST (PJCODE, PJNAME) VALUES ('A0012345', '受注管理システム改修'), ('A0012346', '在庫管理システム保守');
INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, WKUSER)
  SELECT CASE WHEN p.n % 2 = 0 THEN 'A0012345' ELSE 'A0012346' END, to_char(d, 'YYYY/MM/DD'), '09:00',
         lpad((17 + (p.n + extract(day FROM d)::int) % 4)::text, 2, '0') || ':30', p.name
  FROM unnest(ARRAY['伊藤', '佐藤', '鈴木', '高橋', '田中']) WITH ORDINALITY p(name, n),
       generate_series(date '2026-02-01', date '2026-02-27', interval '1 day') d
  WHERE extract(isodow FROM d) < 6 AND d NOT IN (date '2026-02-11', date '2026-02-23')
    AND (p.n * 7 + extract(day FROM d)::int) % 11 <> 0;
INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER)
  SELECT t.PJCODE, t.WKYMD, i.n::text, i.head, i.detail, t.WKUSER
  FROM DF_WKTIME t, (VALUES (1, '朝会・作業計画の確認', 'チーム朝会に参加' || chr(13) || chr(10) || '本日の作業を確認'),
                            (2, '受注画面の結合テスト', 'テスト仕様書 No.12 まで完了'),
                            (3, 'レビュー対応', '単体テストの指摘事項を修正')) i(n, head, detail)
  WHERE i.n <= 2 + right(t.WKYMD, 1)::int % 2;
