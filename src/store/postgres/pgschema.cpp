#include "store/postgres/pgschema.h"

#include "core/clock.h"
#include "store/postgres/pgdb.h"
#include "store/store.h"
#include "store/storerules.h"

namespace worvane::postgres
{

namespace
{
// The same three tables as a file's (names unquoted, so that psql and hand-written SQL use the file's
// names), each with a row number ROWNO in place of SQLite's rowid, the code folded (PJKEY) and on the
// master the name folded too (PJNAMEKEY), as AsciiFolded folds them, for the comparisons that ignore ASCII
// case; the day tables with the person (WKUSER, the login role) whose day it is, and the items with their
// search body. The server computes every one of these columns itself. Row-level security keeps each
// person to their own days, whatever SQL they type: members of worvane_user read and write their own,
// members of worvane_lead read everyone's too. The project master is shared. Every statement may run again.
const char *const SetUp = R"SQL(
SET LOCAL client_min_messages = warning;
DO $$ BEGIN
  -- Roles belong to the whole cluster: a set-up of another database at the same moment may make them
  -- first, which is as good.
  BEGIN
    CREATE ROLE worvane_user NOLOGIN;
  EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
  END;
  BEGIN
    CREATE ROLE worvane_lead NOLOGIN IN ROLE worvane_user;
  EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
  END;
END $$;
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE TABLE IF NOT EXISTS DM_PRJMST (PJCODE text, PJNAME text, ENTYMD text, UPDYMD text,
  ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  PJKEY text COLLATE "C" GENERATED ALWAYS AS (translate(PJCODE, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED,
  PJNAMEKEY text COLLATE "C" GENERATED ALWAYS AS (translate(PJNAME, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED);
CREATE UNIQUE INDEX IF NOT EXISTS DM_PRJMST_PJCODE ON DM_PRJMST (PJKEY);
-- The day tables are partitioned by the year of WKYMD (YearPartitions below); the date compares as
-- bytes, so that a range of dates finds its years' partitions alone.
CREATE TABLE IF NOT EXISTS DF_WKTIME (PJCODE text, WKYMD text COLLATE "C", WSTIME text, WETIME text, ENTYMD text, UPDYMD text,
  WKUSER text NOT NULL DEFAULT session_user,
  ROWNO bigint GENERATED ALWAYS AS IDENTITY,
  PJKEY text COLLATE "C" GENERATED ALWAYS AS (translate(PJCODE, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED,
  PRIMARY KEY (ROWNO, WKYMD)) PARTITION BY RANGE (WKYMD);
CREATE UNIQUE INDEX IF NOT EXISTS DF_WKTIME_DAY ON DF_WKTIME (WKUSER, PJKEY, WKYMD);
CREATE INDEX IF NOT EXISTS DF_WKTIME_YMD ON DF_WKTIME (WKYMD);
CREATE INDEX IF NOT EXISTS DF_WKTIME_PROJECT ON DF_WKTIME (PJKEY);
CREATE TABLE IF NOT EXISTS DF_WKCONT (PJCODE text, WKYMD text COLLATE "C", WKCODE text, WKHEAD text, DETAIL text,
  WKUSER text NOT NULL DEFAULT session_user,
  ROWNO bigint GENERATED ALWAYS AS IDENTITY,
  PJKEY text COLLATE "C" GENERATED ALWAYS AS (translate(PJCODE, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED,
  PRIMARY KEY (ROWNO, WKYMD)) PARTITION BY RANGE (WKYMD);
CREATE INDEX IF NOT EXISTS DF_WKCONT_DAY ON DF_WKCONT (PJKEY, WKYMD, WKUSER);
-- The items' search body, in the program's search form (the input methods' marks in the window's form,
-- NFKC, lower case) under a trigram index; a body of an earlier form is made again.
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_attrdef d JOIN pg_attribute a ON a.attrelid = d.adrelid AND a.attnum = d.adnum
                 WHERE d.adrelid = 'df_wkcont'::regclass AND a.attname = 'body'
                   AND pg_get_expr(d.adbin, d.adrelid) LIKE '%translate%') THEN
    ALTER TABLE DF_WKCONT DROP COLUMN IF EXISTS BODY;
    ALTER TABLE DF_WKCONT ADD COLUMN BODY text GENERATED ALWAYS AS (
      lower(normalize(translate(coalesce(WKHEAD, ''), '〜−‖¢£¬', '～－∥￠￡￢'), NFKC)) || E'\n' ||
      lower(normalize(translate(coalesce(DETAIL, ''), '〜−‖¢£¬', '～－∥￠￡￢'), NFKC))) STORED;
    CREATE INDEX DF_WKCONT_BODY ON DF_WKCONT USING gin (BODY gin_trgm_ops);
  END IF;
END $$;
CREATE INDEX IF NOT EXISTS DF_WKCONT_NEWEST ON DF_WKCONT (WKUSER, WKYMD DESC, PJKEY, ROWNO);
GRANT SELECT, INSERT, UPDATE, DELETE ON DF_WKTIME, DF_WKCONT TO worvane_user;
REVOKE DELETE, TRUNCATE ON DM_PRJMST FROM worvane_user;
GRANT SELECT, INSERT, UPDATE ON DM_PRJMST TO worvane_user;
GRANT DELETE ON DM_PRJMST TO worvane_lead;
DO $$ DECLARE t text; BEGIN
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    -- A day is the login's own (session_user): SET ROLE to a group role changes current_user, never
    -- whose day a row is.
    EXECUTE format('ALTER TABLE %I ALTER COLUMN WKUSER SET DEFAULT session_user', t);
    EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
    EXECUTE format('ALTER TABLE %I FORCE ROW LEVEL SECURITY', t);
    IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'own_days') THEN
      EXECUTE format('CREATE POLICY own_days ON %I TO worvane_user '
                     'USING (WKUSER = session_user) WITH CHECK (WKUSER = session_user)', t);
    ELSE
      EXECUTE format('ALTER POLICY own_days ON %I TO worvane_user '
                     'USING (WKUSER = session_user) WITH CHECK (WKUSER = session_user)', t);
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'lead_reads') THEN
      EXECUTE format('CREATE POLICY lead_reads ON %I FOR SELECT TO worvane_lead '
                     'USING (current_setting(''worvane.people'', true) = ''all'')', t);
    END IF;
  END LOOP;
END $$;
-- Members add projects and change their names; changing a project's code or deleting a project is a
-- lead's (deleting by the grants above), and a project that any day uses keeps its code and its row,
-- whoever asks. The check runs as the caller: a member is refused before it, a lead reads every
-- person's days for it (lead_reads), a superuser is above the policies. WV001 and WV002 are the
-- program's own states for the two refusals.
CREATE OR REPLACE FUNCTION worvane_project_kept() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog, public AS $$
BEGIN
  IF TG_OP = 'UPDATE' AND NEW.PJCODE IS NOT DISTINCT FROM OLD.PJCODE THEN
    RETURN NEW;
  END IF;
  IF NOT pg_has_role(session_user, 'worvane_lead', 'MEMBER')
     AND NOT (SELECT rolsuper FROM pg_roles WHERE rolname = session_user) THEN
    RAISE EXCEPTION 'only a lead changes or deletes project %', OLD.PJCODE USING ERRCODE = 'WV001';
  END IF;
  PERFORM set_config('worvane.people', 'all', true);
  IF EXISTS (SELECT 1 FROM DF_WKTIME WHERE PJKEY = OLD.PJKEY) OR EXISTS (SELECT 1 FROM DF_WKCONT WHERE PJKEY = OLD.PJKEY) THEN
    RAISE EXCEPTION 'project % is used by a day', OLD.PJCODE USING ERRCODE = 'WV002';
  END IF;
  RETURN CASE TG_OP WHEN 'DELETE' THEN OLD ELSE NEW END;
END $$;
CREATE OR REPLACE TRIGGER dm_prjmst_kept BEFORE UPDATE OR DELETE ON DM_PRJMST
  FOR EACH ROW EXECUTE FUNCTION worvane_project_kept();
-- A day being written holds its project's row (a share lock, until its transaction ends), so that a
-- lead's change or deletion of that project waits for it and then sees the day.
CREATE OR REPLACE FUNCTION worvane_project_held() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog, public AS $$
BEGIN
  PERFORM 1 FROM DM_PRJMST
    WHERE PJKEY = translate(NEW.PJCODE, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') FOR KEY SHARE;
  RETURN NEW;
END $$;
CREATE OR REPLACE TRIGGER df_wktime_project_held BEFORE INSERT OR UPDATE ON DF_WKTIME
  FOR EACH ROW EXECUTE FUNCTION worvane_project_held();
)SQL";

// The trigram index cannot serve a LIKE under row-level security (the operator is not leakproof, so the
// server checks it after each row's policy): this function looks the word up with the policies left
// aside, for the caller's own items only (session_user), and hands back which rows they are, newest day
// first. It runs as the role that set the database up; only where that role is above the policies (a
// superuser, or BYPASSRLS) is it made to run so, else it runs as the caller and the policies hold as
// everywhere (slower, as right).
const char *const TrigramLookup = R"SQL(
DO $setup$ DECLARE above boolean; BEGIN
  SELECT rolsuper OR rolbypassrls INTO above FROM pg_roles WHERE rolname = current_user;
  EXECUTE format($f$
    CREATE OR REPLACE FUNCTION worvane_items_holding(pattern text, code_pattern text, date_from text,
                                                     date_to text, date_before text, upto integer)
    RETURNS TABLE (rowno bigint) LANGUAGE sql STABLE %s SET search_path = pg_catalog, public AS $body$
      SELECT c.ROWNO FROM DF_WKCONT c
      WHERE c.WKUSER = session_user AND c.BODY LIKE pattern ESCAPE '\'
        AND (code_pattern IS NULL OR c.PJKEY LIKE code_pattern ESCAPE '\')
        AND (date_from IS NULL OR c.WKYMD >= date_from) AND (date_to IS NULL OR c.WKYMD <= date_to)
        AND (date_before IS NULL OR c.WKYMD < date_before)
      ORDER BY c.WKYMD DESC, c.PJKEY, c.ROWNO LIMIT upto
    $body$
  $f$, CASE WHEN above THEN 'SECURITY DEFINER' ELSE 'SECURITY INVOKER' END);
END $setup$;
REVOKE ALL ON FUNCTION worvane_items_holding(text, text, text, text, text, integer) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION worvane_items_holding(text, text, text, text, text, integer) TO worvane_user;
)SQL";

// A person's day (all their projects of one date) as the team sees it: submitted (提出済) when saved,
// approved (承認済) or returned (差戻し) by a lead, with the leads' comments; the team's days closed (締め)
// up to a date, with the days and months a lead reopened since. Every approval, return, closing and
// reopening is recorded with who and when. People read these through the policies (a member their own
// days, a lead everyone's) and write them only through the functions below, which run as the role that set
// the database up and check who calls; nobody updates or deletes a comment or a record. The day tables'
// triggers refuse any change to an approved day or a closed one, whoever writes, and make a saved day
// 提出済. WV003 refuses a change to a day that is approved or closed; WV001 is a lead's action asked by a
// member. Every statement may run again.
const char *const TeamDay = R"SQL(
SET LOCAL client_min_messages = warning;
CREATE TABLE IF NOT EXISTS WV_DAYSTATE (WKUSER text NOT NULL, WKYMD text NOT NULL,
  STATE text NOT NULL CHECK (STATE IN ('提出済', '承認済', '差戻し')),
  UPDUSER text NOT NULL DEFAULT session_user, UPDATED timestamptz NOT NULL DEFAULT now(),
  PRIMARY KEY (WKUSER, WKYMD));
CREATE TABLE IF NOT EXISTS WV_COMMENT (ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  WKUSER text NOT NULL, WKYMD text NOT NULL, AUTHOR text NOT NULL DEFAULT session_user,
  WRITTEN timestamptz NOT NULL DEFAULT now(), BODY text NOT NULL);
CREATE INDEX IF NOT EXISTS WV_COMMENT_DAY ON WV_COMMENT (WKUSER, WKYMD);
CREATE TABLE IF NOT EXISTS WV_RECORD (ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  ACTION text NOT NULL CHECK (ACTION IN ('承認', '差戻し', '締め', '再開')),
  WKUSER text, PERIOD text NOT NULL, BYUSER text NOT NULL DEFAULT session_user,
  DONE timestamptz NOT NULL DEFAULT now());
CREATE TABLE IF NOT EXISTS WV_CLOSED (ONLYROW boolean PRIMARY KEY DEFAULT true CHECK (ONLYROW), THROUGH text NOT NULL);
CREATE TABLE IF NOT EXISTS WV_REOPENED (WKUSER text, PERIOD text NOT NULL);
CREATE UNIQUE INDEX IF NOT EXISTS WV_REOPENED_KEY ON WV_REOPENED (coalesce(WKUSER, ''), PERIOD);
REVOKE ALL ON WV_DAYSTATE, WV_COMMENT, WV_RECORD, WV_CLOSED, WV_REOPENED FROM PUBLIC;
GRANT SELECT ON WV_DAYSTATE, WV_COMMENT, WV_RECORD, WV_CLOSED, WV_REOPENED TO worvane_user;
DO $$ DECLARE t text; BEGIN
  FOREACH t IN ARRAY ARRAY['wv_daystate', 'wv_comment', 'wv_record', 'wv_reopened'] LOOP
    EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', t);
    IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'own_days') THEN
      -- A record or a reopening of the whole team's (no person) is everyone's to read.
      EXECUTE format('CREATE POLICY own_days ON %I FOR SELECT TO worvane_user USING (%s)', t,
                     CASE WHEN t IN ('wv_record', 'wv_reopened') THEN 'WKUSER IS NULL OR WKUSER = session_user'
                          ELSE 'WKUSER = session_user' END);
    END IF;
    IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'lead_reads') THEN
      EXECUTE format('CREATE POLICY lead_reads ON %I FOR SELECT TO worvane_lead USING (true)', t);
    END IF;
  END LOOP;
END $$;
-- Comments and records stay: not even the owner's functions change or delete one.
CREATE OR REPLACE FUNCTION worvane_kept_row() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog, public AS $$
BEGIN
  RAISE EXCEPTION '% keeps its rows', TG_TABLE_NAME USING ERRCODE = '42501';
END $$;
CREATE OR REPLACE TRIGGER wv_comment_kept BEFORE UPDATE OR DELETE ON WV_COMMENT
  FOR EACH ROW EXECUTE FUNCTION worvane_kept_row();
CREATE OR REPLACE TRIGGER wv_comment_kept_all BEFORE TRUNCATE ON WV_COMMENT
  FOR EACH STATEMENT EXECUTE FUNCTION worvane_kept_row();
CREATE OR REPLACE TRIGGER wv_record_kept BEFORE UPDATE OR DELETE ON WV_RECORD
  FOR EACH ROW EXECUTE FUNCTION worvane_kept_row();
CREATE OR REPLACE TRIGGER wv_record_kept_all BEFORE TRUNCATE ON WV_RECORD
  FOR EACH STATEMENT EXECUTE FUNCTION worvane_kept_row();

-- Whether a person's day may not be changed: approved, or closed and not reopened. Someone else's day is
-- a lead's to ask about (anyone else is answered NULL).
CREATE OR REPLACE FUNCTION worvane_day_locked(person text, day text) RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public AS $$
  SELECT CASE WHEN person IS DISTINCT FROM session_user AND NOT pg_has_role(session_user, 'worvane_lead', 'MEMBER')
  THEN NULL ELSE EXISTS (SELECT 1 FROM WV_DAYSTATE s WHERE s.WKUSER = person AND s.WKYMD = day AND s.STATE = '承認済')
      OR (EXISTS (SELECT 1 FROM WV_CLOSED c WHERE day <= c.THROUGH)
          AND NOT EXISTS (SELECT 1 FROM WV_REOPENED r WHERE (r.WKUSER IS NULL OR r.WKUSER = person)
                                                       AND r.PERIOD IN (day, left(day, 7)))) END
$$;
REVOKE ALL ON FUNCTION worvane_day_locked(text, text) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION worvane_day_locked(text, text) TO worvane_user;

-- The day tables' guard, once per statement over the rows it wrote: a day approved or closed is refused
-- whole; a day whose working-time row was written is 提出済.
CREATE OR REPLACE FUNCTION worvane_day_guard() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, public AS $$
DECLARE locked record;
BEGIN
  IF TG_OP IN ('INSERT', 'UPDATE') THEN
    -- Each day once (materialized: pushed into the DISTINCT, the check would run for every row).
    WITH d AS MATERIALIZED (SELECT DISTINCT WKUSER, WKYMD FROM worvane_new_rows)
    SELECT d.WKUSER, d.WKYMD INTO locked FROM d WHERE worvane_day_locked(d.WKUSER, d.WKYMD) LIMIT 1;
  END IF;
  IF locked IS NULL AND TG_OP IN ('UPDATE', 'DELETE') THEN
    WITH d AS MATERIALIZED (SELECT DISTINCT WKUSER, WKYMD FROM worvane_old_rows)
    SELECT d.WKUSER, d.WKYMD INTO locked FROM d WHERE worvane_day_locked(d.WKUSER, d.WKYMD) LIMIT 1;
  END IF;
  IF locked IS NOT NULL THEN
    RAISE EXCEPTION 'the day % of % is approved or closed', locked.WKYMD, locked.WKUSER USING ERRCODE = 'WV003';
  END IF;
  -- A day saved (its working-time row written) is submitted; a returned day changed is submitted again.
  -- (The guard reads only what was written: under forced policies its owner may see no day at all.)
  IF TG_OP IN ('INSERT', 'UPDATE') THEN
    IF TG_TABLE_NAME = 'df_wktime' THEN
      INSERT INTO WV_DAYSTATE (WKUSER, WKYMD, STATE)
        SELECT DISTINCT n.WKUSER, n.WKYMD, '提出済' FROM worvane_new_rows n WHERE n.WKYMD IS NOT NULL
      ON CONFLICT (WKUSER, WKYMD) DO UPDATE SET STATE = '提出済', UPDUSER = session_user, UPDATED = now()
        WHERE WV_DAYSTATE.STATE <> '提出済';
    ELSE
      UPDATE WV_DAYSTATE s SET STATE = '提出済', UPDUSER = session_user, UPDATED = now()
        FROM (SELECT DISTINCT WKUSER, WKYMD FROM worvane_new_rows) n
        WHERE s.WKUSER = n.WKUSER AND s.WKYMD = n.WKYMD AND s.STATE = '差戻し';
    END IF;
  END IF;
  RETURN NULL;
END $$;
DO $$ DECLARE t text; BEGIN
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER INSERT ON %I REFERENCING NEW TABLE AS worvane_new_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION worvane_day_guard()', t || '_guard_insert', t);
    EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER UPDATE ON %I REFERENCING OLD TABLE AS worvane_old_rows '
                   'NEW TABLE AS worvane_new_rows FOR EACH STATEMENT EXECUTE FUNCTION worvane_day_guard()',
                   t || '_guard_update', t);
    EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER DELETE ON %I REFERENCING OLD TABLE AS worvane_old_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION worvane_day_guard()', t || '_guard_delete', t);
  END LOOP;
END $$;

-- The days saved before the team's day came in are submitted.
INSERT INTO WV_DAYSTATE (WKUSER, WKYMD, STATE)
  SELECT DISTINCT WKUSER, WKYMD, '提出済' FROM DF_WKTIME WHERE WKYMD IS NOT NULL ON CONFLICT DO NOTHING;

-- A lead's actions. Each checks the caller (the login: SET ROLE changes nothing) and records itself.
CREATE OR REPLACE FUNCTION worvane_lead_only() RETURNS void LANGUAGE plpgsql
SET search_path = pg_catalog, public AS $$
BEGIN
  IF NOT pg_catalog.pg_has_role(session_user, 'worvane_lead', 'MEMBER') THEN
    RAISE EXCEPTION 'only a lead does this' USING ERRCODE = 'WV001';
  END IF;
END $$;
-- Approves (承認) or returns (差戻し) a person's saved day, with a comment or none.
CREATE OR REPLACE FUNCTION worvane_review(person text, day text, verdict text, remark text) RETURNS text
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
BEGIN
  PERFORM worvane_lead_only();
  IF verdict NOT IN ('承認', '差戻し') THEN
    RAISE EXCEPTION 'no such verdict: %', verdict USING ERRCODE = '22023';
  END IF;
  UPDATE WV_DAYSTATE SET STATE = CASE verdict WHEN '承認' THEN '承認済' ELSE '差戻し' END,
    UPDUSER = session_user, UPDATED = now() WHERE WKUSER = person AND WKYMD = day;
  IF NOT FOUND THEN
    RAISE EXCEPTION '% has no saved day on %', person, day USING ERRCODE = 'WV004';
  END IF;
  INSERT INTO WV_RECORD (ACTION, WKUSER, PERIOD) VALUES (verdict, person, day);
  IF coalesce(remark, '') <> '' THEN
    INSERT INTO WV_COMMENT (WKUSER, WKYMD, BODY) VALUES (person, day, remark);
  END IF;
  RETURN CASE verdict WHEN '承認' THEN '承認済' ELSE '差戻し' END;
END $$;
-- Approves every submitted day of a person's month ('YYYY/MM'); how many.
CREATE OR REPLACE FUNCTION worvane_approve_month(person text, month text) RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
DECLARE day text; n integer := 0;
BEGIN
  PERFORM worvane_lead_only();
  FOR day IN SELECT WKYMD FROM WV_DAYSTATE WHERE WKUSER = person AND left(WKYMD, 7) = month
                                              AND STATE = '提出済' ORDER BY WKYMD LOOP
    PERFORM worvane_review(person, day, '承認', NULL);
    n := n + 1;
  END LOOP;
  RETURN n;
END $$;
-- A comment on a person's day.
CREATE OR REPLACE FUNCTION worvane_comment(person text, day text, remark text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
BEGIN
  PERFORM worvane_lead_only();
  IF coalesce(remark, '') = '' THEN
    RAISE EXCEPTION 'an empty comment' USING ERRCODE = '22023';
  END IF;
  INSERT INTO WV_COMMENT (WKUSER, WKYMD, BODY) VALUES (person, day, remark);
END $$;
-- Closes the team's days up to a date ('YYYY/MM/DD'); what was reopened up to it is closed again.
CREATE OR REPLACE FUNCTION worvane_close(through text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
BEGIN
  PERFORM worvane_lead_only();
  IF through !~ '^\d{4}/\d{2}/\d{2}$' OR to_char(to_date(through, 'YYYY/MM/DD'), 'YYYY/MM/DD') <> through THEN
    RAISE EXCEPTION 'not a date: %', through USING ERRCODE = '22007';
  END IF;
  INSERT INTO WV_CLOSED (THROUGH) VALUES (through) ON CONFLICT (ONLYROW) DO UPDATE SET THROUGH = EXCLUDED.THROUGH;
  DELETE FROM WV_REOPENED WHERE left(PERIOD, 7) <= left(through, 7) AND (length(PERIOD) = 7 OR PERIOD <= through);
  INSERT INTO WV_RECORD (ACTION, PERIOD) VALUES ('締め', through);
END $$;
-- Reopens a person's day (approved or closed: it may be changed again, and is 提出済), or, without a
-- person, a month ('YYYY/MM') of everyone's.
CREATE OR REPLACE FUNCTION worvane_reopen(person text, period text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
BEGIN
  PERFORM worvane_lead_only();
  IF person IS NULL AND period !~ '^\d{4}/\d{2}$' OR person IS NOT NULL AND period !~ '^\d{4}/\d{2}/\d{2}$' THEN
    RAISE EXCEPTION 'a day of a person, or a month of everyone: %', period USING ERRCODE = '22023';
  END IF;
  IF person IS NOT NULL THEN
    UPDATE WV_DAYSTATE SET STATE = '提出済', UPDUSER = session_user, UPDATED = now()
      WHERE WKUSER = person AND WKYMD = period AND STATE = '承認済';
  END IF;
  INSERT INTO WV_REOPENED (WKUSER, PERIOD) VALUES (person, period) ON CONFLICT DO NOTHING;
  INSERT INTO WV_RECORD (ACTION, WKUSER, PERIOD) VALUES ('再開', person, period);
END $$;
DO $$ DECLARE f text; BEGIN
  FOREACH f IN ARRAY ARRAY['worvane_lead_only()', 'worvane_review(text, text, text, text)',
                           'worvane_approve_month(text, text)', 'worvane_comment(text, text, text)',
                           'worvane_close(text)', 'worvane_reopen(text, text)'] LOOP
    EXECUTE format('REVOKE ALL ON FUNCTION %s FROM PUBLIC', f);
    EXECUTE format('GRANT EXECUTE ON FUNCTION %s TO worvane_user', f);
  END LOOP;
END $$;
)SQL";

// Every version of a day: after each statement that writes a day's rows, the day as it then stands is kept
// as the version of the transaction (a save's later statements refine its own version, never an earlier
// one), whoever wrote it and however (the program, psql). A member reads their own days' versions, a lead
// everyone's; nobody writes them but the triggers, and nobody changes or deletes one (an administrator
// who must, disables the triggers first). The triggers run as the role that set the database up, which
// reads every day for it (the day tables' policies bind it too).
const char *const History = R"SQL(
SET LOCAL client_min_messages = warning;
CREATE TABLE IF NOT EXISTS WV_HISTORY (ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  WKUSER text NOT NULL, PJKEY text COLLATE "C" NOT NULL, WKYMD text NOT NULL, PJCODE text, WSTIME text, WETIME text,
  ITEMS jsonb NOT NULL, SAVED timestamptz NOT NULL DEFAULT now(), SAVEDBY text NOT NULL DEFAULT session_user,
  TXID xid8 NOT NULL DEFAULT pg_current_xact_id());
CREATE UNIQUE INDEX IF NOT EXISTS WV_HISTORY_SAVE ON WV_HISTORY (WKUSER, PJKEY, WKYMD, TXID);
REVOKE ALL ON WV_HISTORY FROM PUBLIC;
GRANT SELECT ON WV_HISTORY TO worvane_user;
ALTER TABLE WV_HISTORY ENABLE ROW LEVEL SECURITY;
DO $$ DECLARE t text; BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = 'wv_history' AND policyname = 'own_days') THEN
    CREATE POLICY own_days ON WV_HISTORY FOR SELECT TO worvane_user USING (WKUSER = session_user);
  END IF;
  IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = 'wv_history' AND policyname = 'lead_reads') THEN
    CREATE POLICY lead_reads ON WV_HISTORY FOR SELECT TO worvane_lead USING (true);
  END IF;
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    IF NOT EXISTS (SELECT 1 FROM pg_policies WHERE tablename = t AND policyname = 'owner_reads') THEN
      EXECUTE format('CREATE POLICY owner_reads ON %I FOR SELECT TO CURRENT_USER USING (true)', t);
    END IF;
  END LOOP;
END $$;
-- A version stays as it was kept; only the transaction that keeps it refines it.
CREATE OR REPLACE FUNCTION worvane_version_kept() RETURNS trigger LANGUAGE plpgsql
SET search_path = pg_catalog, public AS $$
BEGIN
  IF TG_OP = 'UPDATE' AND OLD.TXID = pg_current_xact_id() AND NEW.TXID = OLD.TXID AND NEW.WKUSER = OLD.WKUSER
     AND NEW.PJKEY = OLD.PJKEY AND NEW.WKYMD = OLD.WKYMD THEN
    RETURN NEW;
  END IF;
  RAISE EXCEPTION 'WV_HISTORY keeps its rows' USING ERRCODE = '42501';
END $$;
CREATE OR REPLACE TRIGGER wv_history_kept BEFORE UPDATE OR DELETE ON WV_HISTORY
  FOR EACH ROW EXECUTE FUNCTION worvane_version_kept();
CREATE OR REPLACE TRIGGER wv_history_kept_all BEFORE TRUNCATE ON WV_HISTORY
  FOR EACH STATEMENT EXECUTE FUNCTION worvane_version_kept();
-- The days a statement wrote, each as it now stands: its first working-time row and its items in order.
CREATE OR REPLACE FUNCTION worvane_keep_versions() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, public AS $$
DECLARE people text[]; codes text[]; days text[];
BEGIN
  IF TG_OP = 'INSERT' THEN
    SELECT array_agg(WKUSER), array_agg(PJKEY), array_agg(WKYMD) INTO people, codes, days
      FROM (SELECT DISTINCT WKUSER, PJKEY, WKYMD FROM worvane_new_rows) d;
  ELSIF TG_OP = 'DELETE' THEN
    SELECT array_agg(WKUSER), array_agg(PJKEY), array_agg(WKYMD) INTO people, codes, days
      FROM (SELECT DISTINCT WKUSER, PJKEY, WKYMD FROM worvane_old_rows) d;
  ELSE
    SELECT array_agg(WKUSER), array_agg(PJKEY), array_agg(WKYMD) INTO people, codes, days
      FROM (SELECT WKUSER, PJKEY, WKYMD FROM worvane_new_rows UNION SELECT WKUSER, PJKEY, WKYMD FROM worvane_old_rows) d;
  END IF;
  INSERT INTO WV_HISTORY (WKUSER, PJKEY, WKYMD, PJCODE, WSTIME, WETIME, ITEMS)
    SELECT d.person, d.code, d.day, t.PJCODE, t.WSTIME, t.WETIME,
           coalesce((SELECT jsonb_agg(jsonb_build_array(c.WKCODE, c.WKHEAD, c.DETAIL) ORDER BY c.ROWNO) FROM DF_WKCONT c
                     WHERE c.PJKEY = d.code AND c.WKYMD = d.day AND c.WKUSER = d.person), '[]')
    FROM unnest(people, codes, days) d(person, code, day)
    LEFT JOIN LATERAL (SELECT w.PJCODE, w.WSTIME, w.WETIME FROM DF_WKTIME w
                       WHERE w.WKUSER = d.person AND w.PJKEY = d.code AND w.WKYMD = d.day ORDER BY w.ROWNO LIMIT 1) t ON true
    WHERE d.person IS NOT NULL AND d.code IS NOT NULL AND d.day IS NOT NULL
  ON CONFLICT (WKUSER, PJKEY, WKYMD, TXID) DO UPDATE SET PJCODE = excluded.PJCODE, WSTIME = excluded.WSTIME,
    WETIME = excluded.WETIME, ITEMS = excluded.ITEMS;
  RETURN NULL;
END $$;
REVOKE ALL ON FUNCTION worvane_keep_versions() FROM PUBLIC;
DO $$ DECLARE t text; BEGIN
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER INSERT ON %I REFERENCING NEW TABLE AS worvane_new_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION worvane_keep_versions()', t || '_history_insert', t);
    EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER UPDATE ON %I REFERENCING OLD TABLE AS worvane_old_rows '
                   'NEW TABLE AS worvane_new_rows FOR EACH STATEMENT EXECUTE FUNCTION worvane_keep_versions()',
                   t || '_history_update', t);
    EXECUTE format('CREATE OR REPLACE TRIGGER %I AFTER DELETE ON %I REFERENCING OLD TABLE AS worvane_old_rows '
                   'FOR EACH STATEMENT EXECUTE FUNCTION worvane_keep_versions()', t || '_history_delete', t);
  END LOOP;
END $$;
)SQL";
// A partition per year of the day tables, for each year that has days and for this year and the next; a
// day of any other year (or a date not of the form YYYY/MM/DD) goes to the default partition, whose rows of
// a year move into that year's partition the next time this runs (once a year, before the new year, keeps
// it empty). The partitions are nobody's but the owner's: nothing is granted on them, and row-level
// security on each (without a policy) shows nothing to anyone who reads one straight, should a grant
// ever be made; the days are read and written through the two tables and their policies. Only for
// tables partitioned, so that a database set up earlier works on until it is upgraded.
const char *const YearPartitions = R"SQL(
SET LOCAL client_min_messages = warning;
DO $$ DECLARE t text; y int; part text; cols text; BEGIN
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    CONTINUE WHEN (SELECT relkind FROM pg_class WHERE oid = t::regclass) <> 'p';
    cols := CASE t WHEN 'df_wktime' THEN 'PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD, WKUSER, ROWNO'
                   ELSE 'PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER, ROWNO' END;
    -- The owner moves everyone's rows: the policies are for the people (forced again below).
    EXECUTE format('ALTER TABLE %I NO FORCE ROW LEVEL SECURITY', t);
    EXECUTE format('CREATE TABLE IF NOT EXISTS %I PARTITION OF %I DEFAULT', t || '_default', t);
    FOR y IN EXECUTE format('SELECT DISTINCT left(WKYMD, 4)::int FROM %I WHERE WKYMD ~ ''^[0-9]{4}/'' '
                            'UNION SELECT extract(year FROM now())::int + n FROM generate_series(0, 1) n', t || '_default') LOOP
      part := format('%s_%s', t, y);
      CONTINUE WHEN to_regclass(part) IS NOT NULL;
      -- The year's rows leave the default partition for the new one, the row triggers off: they are
      -- the same days, moved, not saved again.
      EXECUTE format('ALTER TABLE %I DETACH PARTITION %I', t, t || '_default');
      EXECUTE format('CREATE TABLE %I PARTITION OF %I FOR VALUES FROM (%L) TO (%L)', part, t, y || '/', (y + 1) || '/');
      EXECUTE format('ALTER TABLE %I DISABLE TRIGGER USER', t);
      EXECUTE format('WITH gone AS (DELETE FROM %I WHERE WKYMD >= %L AND WKYMD < %L RETURNING *) '
                     'INSERT INTO %I (%s) OVERRIDING SYSTEM VALUE SELECT %s FROM gone', t || '_default', y || '/', (y + 1) || '/', t,
                     cols, cols);
      EXECUTE format('ALTER TABLE %I ENABLE TRIGGER USER', t);
      EXECUTE format('ALTER TABLE %I ATTACH PARTITION %I DEFAULT', t, t || '_default');
    END LOOP;
    FOR part IN SELECT c.relname FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid
                WHERE i.inhparent = t::regclass LOOP
      EXECUTE format('REVOKE ALL ON %I FROM PUBLIC, worvane_user, worvane_lead', part);
      EXECUTE format('ALTER TABLE %I ENABLE ROW LEVEL SECURITY', part);
    END LOOP;
    EXECUTE format('ALTER TABLE %I FORCE ROW LEVEL SECURITY', t);
  END LOOP;
END $$;
)SQL";

// A database set up before the day tables were partitioned: its two tables made again partitioned, their
// rows (and row numbers) copied into them, the counts compared, the old tables dropped. In the set-up's one
// transaction, so that the database is either upgraded whole or left as it was. The old tables and their
// indexes are renamed out of the way first; the set-up then makes the new ones, and UpgradeCopy fills them.
const char *const UpgradeAside = R"SQL(
SET LOCAL client_min_messages = warning;
DO $$ DECLARE t text; i text; BEGIN
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    CONTINUE WHEN (SELECT relkind FROM pg_class WHERE oid = to_regclass(t)) IS DISTINCT FROM 'r';
    FOR i IN SELECT indexname FROM pg_indexes WHERE tablename = t AND schemaname = 'public' LOOP
      EXECUTE format('ALTER INDEX %I RENAME TO %I', i, 'old_' || i);
    END LOOP;
    EXECUTE format('ALTER TABLE %I RENAME TO %I', t, 'old_' || t);
  END LOOP;
END $$;
)SQL";

const char *const UpgradeCopy = R"SQL(
SET LOCAL client_min_messages = warning;
DO $$ DECLARE t text; cols text; before bigint; after bigint; BEGIN
  FOREACH t IN ARRAY ARRAY['df_wktime', 'df_wkcont'] LOOP
    CONTINUE WHEN to_regclass('old_' || t) IS NULL;
    cols := CASE t WHEN 'df_wktime' THEN 'PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD, WKUSER, ROWNO'
                   ELSE 'PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL, WKUSER, ROWNO' END;
    -- The same days, not saved again: no version, no state, no check of the project is made for them;
    -- the owner copies everyone's (the policies are for the people).
    EXECUTE format('ALTER TABLE %I DISABLE TRIGGER USER', t);
    EXECUTE format('ALTER TABLE %I NO FORCE ROW LEVEL SECURITY', t);
    EXECUTE format('ALTER TABLE %I NO FORCE ROW LEVEL SECURITY', 'old_' || t);
    EXECUTE format('INSERT INTO %I (%s) OVERRIDING SYSTEM VALUE SELECT %s FROM %I', t, cols, cols, 'old_' || t);
    EXECUTE format('ALTER TABLE %I FORCE ROW LEVEL SECURITY', t);
    EXECUTE format('ALTER TABLE %I ENABLE TRIGGER USER', t);
    EXECUTE format('SELECT count(*) FROM %I', 'old_' || t) INTO before;
    EXECUTE format('SELECT count(*) FROM %I', t) INTO after;
    IF before <> after THEN
      RAISE EXCEPTION '% rows of % copied, % were there', after, t, before;
    END IF;
    EXECUTE format('SELECT setval(pg_get_serial_sequence(%L, ''rowno''), GREATEST(1, (SELECT max(ROWNO) FROM %I)))', t, t);
    EXECUTE format('DROP TABLE %I', 'old_' || t);
    RAISE NOTICE '% rows of % copied', after, t;
  END LOOP;
END $$;
)SQL";

} // namespace

Outcome SetUpServer(const QString &uri, bool demo, bool upgrade)
{
    Database db(uri, Store::DefaultWaitMs);
    Operation op(db, Wait::Long);
    if (!op.open() || (upgrade && !db.script(UpgradeAside)) || !db.script(SetUp) || !db.script(TrigramLookup) ||
        !db.script(TeamDay) || !db.script(History) || !db.script(YearPartitions) ||
        (upgrade && (!db.script(UpgradeCopy) || !db.script(YearPartitions))))
        return Outcome::failure(db.error());
    const QString timestamp = Clock::timestamp();
    if (demo)
        for (const ProjectRow &project : DemoProjects())
            if (!db.run("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD) VALUES ($1, $2, $3) ON CONFLICT DO NOTHING",
                        {project.code, project.name, timestamp}))
                return Outcome::failure(db.error());
    if (!db.commit())
        return Outcome::failure(db.error());
    return {};
}

} // namespace worvane::postgres
