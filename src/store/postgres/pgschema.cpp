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
CREATE TABLE IF NOT EXISTS DF_WKTIME (PJCODE text, WKYMD text, WSTIME text, WETIME text, ENTYMD text, UPDYMD text,
  WKUSER text NOT NULL DEFAULT session_user,
  ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  PJKEY text COLLATE "C" GENERATED ALWAYS AS (translate(PJCODE, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED);
CREATE UNIQUE INDEX IF NOT EXISTS DF_WKTIME_DAY ON DF_WKTIME (WKUSER, PJKEY, WKYMD);
CREATE INDEX IF NOT EXISTS DF_WKTIME_YMD ON DF_WKTIME (WKYMD);
CREATE INDEX IF NOT EXISTS DF_WKTIME_PROJECT ON DF_WKTIME (PJKEY);
CREATE TABLE IF NOT EXISTS DF_WKCONT (PJCODE text, WKYMD text, WKCODE text, WKHEAD text, DETAIL text,
  WKUSER text NOT NULL DEFAULT session_user,
  ROWNO bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  PJKEY text COLLATE "C" GENERATED ALWAYS AS (translate(PJCODE, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')) STORED);
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
} // namespace

Outcome SetUpServer(const QString &uri, bool demo)
{
    Database db(uri, Store::DefaultWaitMs);
    Operation op(db, Wait::Long);
    if (!op.open() || !db.script(SetUp) || !db.script(TrigramLookup))
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
