#include "store/sqlite/searchindex.h"

#include "store/sqlite/sqlitedb.h"

#include <QLoggingCategory>

#include <iterator>

namespace worvane::sqlite
{

Q_LOGGING_CATEGORY(lcIndex, "worvane.index")

namespace
{
// The search form of the entries (SearchForm): 2 takes the input methods' marks in the window's form.
// The short-word table's tokens (SearchGrams) belong to it: a change of either is a new version.
constexpr char SearchFormVersion[] = "2";

// The index's tables as this version makes them, in the order they are made; each is told apart from
// another program's by its statement, which SQLite keeps as it was given.
const char *const tableStatements[] = {
    "CREATE TABLE WKSEARCH_ITEM (ID INTEGER PRIMARY KEY, PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, ORD INTEGER)",
    "CREATE INDEX WKSEARCH_ITEM_DAY ON WKSEARCH_ITEM (PJCODE, WKYMD)",
    "CREATE VIRTUAL TABLE WKSEARCH USING fts5(BODY, tokenize = 'trigram case_sensitive 1', detail = none)",
    // Words of one or two characters, which the trigrams cannot serve: each entry's character pairs, and
    // nothing else (no copy of the text; an entry is removed by giving its pairs again).
    "CREATE VIRTUAL TABLE WKSEARCH_GRAM USING fts5(GRAMS, content = '', tokenize = 'ascii', detail = none, "
    "columnsize = 0)",
    "CREATE TABLE WKSEARCH_DIRTY (PJCODE TEXT COLLATE NOCASE, WKYMD TEXT)",
    "CREATE TABLE WKSEARCH_STATE (NAME TEXT PRIMARY KEY, VALUE TEXT)",
};
const char *const tableNames[] = {"WKSEARCH_ITEM", "WKSEARCH_ITEM_DAY", "WKSEARCH", "WKSEARCH_GRAM",
                                  "WKSEARCH_DIRTY", "WKSEARCH_STATE"};

// The tables FTS5 makes for WKSEARCH and WKSEARCH_GRAM, as it makes them.
struct Shadow {
    const char *name;
    const char *statement;
};
const Shadow shadowTables[] = {
    {"WKSEARCH_data", "CREATE TABLE 'WKSEARCH_data'(id INTEGER PRIMARY KEY, block BLOB)"},
    {"WKSEARCH_idx", "CREATE TABLE 'WKSEARCH_idx'(segid, term, pgno, PRIMARY KEY(segid, term)) WITHOUT ROWID"},
    {"WKSEARCH_content", "CREATE TABLE 'WKSEARCH_content'(id INTEGER PRIMARY KEY, c0)"},
    {"WKSEARCH_docsize", "CREATE TABLE 'WKSEARCH_docsize'(id INTEGER PRIMARY KEY, sz BLOB)"},
    {"WKSEARCH_config", "CREATE TABLE 'WKSEARCH_config'(k PRIMARY KEY, v) WITHOUT ROWID"},
    {"WKSEARCH_GRAM_data", "CREATE TABLE 'WKSEARCH_GRAM_data'(id INTEGER PRIMARY KEY, block BLOB)"},
    {"WKSEARCH_GRAM_idx",
     "CREATE TABLE 'WKSEARCH_GRAM_idx'(segid, term, pgno, PRIMARY KEY(segid, term)) WITHOUT ROWID"},
    {"WKSEARCH_GRAM_config", "CREATE TABLE 'WKSEARCH_GRAM_config'(k PRIMARY KEY, v) WITHOUT ROWID"},
};

// Statements of earlier versions of the program: such an index is removed and built anew.
const char *const earlierStatements[] = {
    "CREATE TABLE WKSEARCH_ITEM (ID INTEGER PRIMARY KEY, PJCODE TEXT COLLATE NOCASE, WKYMD TEXT, WKCODE TEXT)",
};

const char *const triggerNames[] = {"WKSEARCH_CONT_INSERT", "WKSEARCH_CONT_DELETE", "WKSEARCH_CONT_UPDATE",
                                    "WKSEARCH_TIME_INSERT", "WKSEARCH_TIME_DELETE", "WKSEARCH_TIME_UPDATE"};
static_assert(std::size(triggerNames) == SearchTriggerCount);

struct SchemaObject {
    QString type;
    QString name;
    QString sql;
};

// The objects of the file whose names begin like the index's (SQLite's names ignore ASCII case).
bool readObjects(Database &db, QList<SchemaObject> &objects)
{
    return db.run("SELECT type, name, sql FROM sqlite_master WHERE name LIKE 'WKSEARCH%'", {},
                  [&objects](const Row &row) {
                      objects.append({row.text(0), row.text(1), row.text(2)});
                      return true;
                  });
}

bool sameName(const QString &a, const char *b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// The part an object plays in the index: one of this version's, an earlier version's, another
// program's under one of the index's names, or none (another name).
enum class Part { Current, Earlier, Foreign, None };

Part partOf(const SchemaObject &object)
{
    if (object.type == QLatin1String("trigger")) {
        for (int t = 0; t < SearchTriggerCount; ++t)
            if (sameName(object.name, triggerNames[t]))
                return object.sql == SearchTriggerStatement(t) ? Part::Current : Part::Earlier;
        return Part::None;
    }
    for (int t = 0; t < int(std::size(tableNames)); ++t)
        if (sameName(object.name, tableNames[t])) {
            if (object.sql == QLatin1String(tableStatements[t]))
                return Part::Current;
            for (const char *earlier : earlierStatements)
                if (object.sql == QLatin1String(earlier))
                    return Part::Earlier;
            return Part::Foreign;
        }
    for (const Shadow &shadow : shadowTables)
        if (sameName(object.name, shadow.name))
            return object.sql == QLatin1String(shadow.statement) ? Part::Current : Part::Foreign;
    return Part::None;
}

constexpr int WholeCount = int(std::size(tableNames) + std::size(shadowTables)) + SearchTriggerCount;
} // namespace

QString SearchTriggerStatement(int which)
{
    // Every change of a day's items or of its working-time row's key logs the day, unless the log holds it
    // already: the WHEN clause keeps a save of many items of one day from running the trigger's body for
    // each. Plain SQL, no function of this program: any program that writes the file keeps the log.
    static const char *const events[] = {"INSERT ON DF_WKCONT",   "DELETE ON DF_WKCONT",
                                         "UPDATE ON DF_WKCONT",   "INSERT ON DF_WKTIME",
                                         "DELETE ON DF_WKTIME",   "UPDATE OF PJCODE, WKYMD ON DF_WKTIME"};
    const auto unlogged = [](const char *row) {
        return QStringLiteral("NOT EXISTS (SELECT 1 FROM WKSEARCH_DIRTY d WHERE d.PJCODE = %1.PJCODE AND "
                              "d.WKYMD = %1.WKYMD)")
            .arg(QLatin1String(row));
    };
    const auto log = [&](const char *row) {
        return QStringLiteral("INSERT INTO WKSEARCH_DIRTY SELECT %1.PJCODE, %1.WKYMD WHERE %2; ")
            .arg(QLatin1String(row), unlogged(row));
    };
    const bool isInsert = which % 3 == 0, isDelete = which % 3 == 1;
    QStringList when;
    QString body;
    for (const char *row : {"old", "new"}) {
        if ((row[0] == 'o' && isInsert) || (row[0] == 'n' && isDelete))
            continue;
        when << unlogged(row);
        body += log(row);
    }
    return QStringLiteral("CREATE TRIGGER %1 AFTER %2 WHEN %3 BEGIN %4END")
        .arg(QLatin1String(triggerNames[which]), QLatin1String(events[which]), when.join(QStringLiteral(" OR ")),
             body);
}

IndexShape InspectSearchIndex(Database &db)
{
    QList<SchemaObject> objects;
    if (!readObjects(db, objects))
        return IndexShape::Damaged;
    int current = 0;
    bool any = false;
    for (const SchemaObject &object : objects) {
        switch (partOf(object)) {
        case Part::Foreign:
            return IndexShape::Foreign;
        case Part::Current:
            ++current;
            any = true;
            break;
        case Part::Earlier:
            any = true;
            break;
        case Part::None:
            break;
        }
    }
    if (!any)
        return IndexShape::Absent;
    return current == WholeCount ? IndexShape::Whole : IndexShape::Damaged;
}

bool RemoveSearchIndex(Database &db)
{
    QList<SchemaObject> objects;
    if (!readObjects(db, objects) || !db.begin())
        return false;
    // Triggers first, on their own: once they are gone no write to the day tables needs the index.
    for (const SchemaObject &object : objects)
        if (object.type == QLatin1String("trigger") && partOf(object) != Part::None &&
            !db.run(QStringLiteral("DROP TRIGGER \"%1\"").arg(object.name))) {
            db.rollback();
            return false;
        }
    if (!db.commit()) {
        db.rollback();
        return false;
    }
    // Then the tables, one transaction each, so that a disk with little room left takes the journal of
    // each: the FTS5 tables take their own tables with them; what is left of ours goes one by one. A table
    // that would not go is only space: the next check of the file finds the index not whole.
    const auto drop = [&db](const QString &name) {
        QList<SchemaObject> left;
        if (!readObjects(db, left))
            return false;
        for (const SchemaObject &object : left)
            if (object.name.compare(name, Qt::CaseInsensitive) == 0 && object.type == QLatin1String("table") &&
                partOf(object) != Part::Foreign && partOf(object) != Part::None) {
                if (db.begin() && db.run(QStringLiteral("DROP TABLE \"%1\"").arg(object.name)) && db.commit())
                    return true;
                db.rollback();
                return false;
            }
        return true;
    };
    bool removed = drop(QStringLiteral("WKSEARCH")) & drop(QStringLiteral("WKSEARCH_GRAM"));
    for (const Shadow &shadow : shadowTables)
        removed &= drop(QLatin1String(shadow.name));
    for (const char *name : {"WKSEARCH_ITEM", "WKSEARCH_DIRTY", "WKSEARCH_STATE"})
        removed &= drop(QLatin1String(name));
    if (!removed)
        qCWarning(lcIndex).noquote() << db.path() << ": part of the search index could not be removed:" << db.error().text;
    return true;
}

namespace
{
// Whether the index's entries are in this version's search form; one made before is built anew.
bool inCurrentForm(Database &db)
{
    std::optional<QVariant> form;
    return db.first("SELECT VALUE FROM WKSEARCH_STATE WHERE NAME = 'form'", {}, form) && form &&
           form->toString() == QLatin1String(SearchFormVersion);
}
} // namespace

void GuardSearchIndex(Database &db)
{
    const IndexShape shape = InspectSearchIndex(db);
    if (shape == IndexShape::Absent || (shape == IndexShape::Whole && inCurrentForm(db)))
        return;
    if (!ReadOnlyReason(db.path()).isEmpty())
        return; // nothing can be written to it, by this program or another
    if (RemoveSearchIndex(db))
        qCInfo(lcIndex).noquote() << db.path() << ": a search index that was not whole was removed";
    else
        qCWarning(lcIndex).noquote() << db.path() << ": the search index is not whole and could not be removed:"
                                     << db.error().text;
}

bool CreateSearchIndex(Database &db)
{
    if (!db.begin())
        return false;
    for (const char *sql : tableStatements)
        if (!db.run(QString::fromLatin1(sql))) {
            db.rollback();
            return false;
        }
    if (!db.run("INSERT INTO WKSEARCH_STATE VALUES ('built_to', ''), ('built_code', ''), ('built_days', '0'), "
                "('ready', '0'), ('form', ?)",
                {QString::fromLatin1(SearchFormVersion)})) {
        db.rollback();
        return false;
    }
    for (int t = 0; t < SearchTriggerCount; ++t)
        if (!db.run(SearchTriggerStatement(t))) {
            db.rollback();
            return false;
        }
    return db.commit();
}

} // namespace worvane::sqlite
