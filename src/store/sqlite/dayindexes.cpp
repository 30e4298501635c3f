#include "store/sqlite/dayindexes.h"

#include "store/sqlite/sqlitedb.h"

#include <QLoggingCategory>
#include <QStringList>

#include <algorithm>

namespace worvane::sqlite
{

Q_LOGGING_CATEGORY(lcDayIndexes, "worvane.store.indexes")

namespace
{
// A key column of an index: its name, and the comparison it must take; none for the column's own.
struct KeyColumn {
    const char *name;
    const char *collation;
};

struct WantedIndex {
    const char *name;
    const char *table;
    QList<KeyColumn> columns;
};

const WantedIndex wanted[] = {
    {"DF_WKTIME_YMD", "DF_WKTIME", {{"WKYMD", nullptr}}},
    {"DF_WKTIME_DAY", "DF_WKTIME", {{"PJCODE", "NOCASE"}, {"WKYMD", nullptr}}},
    {"DF_WKCONT_DAY", "DF_WKCONT", {{"PJCODE", "NOCASE"}, {"WKYMD", nullptr}}},
    {"DM_PRJMST_PJCODE", "DM_PRJMST", {{"PJCODE", "NOCASE"}}},
};

// The first key columns of the table's indexes (partial ones left out), with their comparisons.
struct IndexKey {
    QString column;
    QString collation;
};

bool indexKeys(Database &db, const char *table, QList<QList<IndexKey>> &indexes)
{
    QStringList names;
    if (!db.run("SELECT name FROM pragma_index_list(?) WHERE partial = 0", {QString::fromLatin1(table)},
                [&names](const Row &row) {
                    names << row.text(0);
                    return true;
                }))
        return false;
    for (const QString &name : names) {
        QList<IndexKey> keys;
        if (!db.run("SELECT name, coll FROM pragma_index_xinfo(?) WHERE key = 1 ORDER BY seqno", {name},
                    [&keys](const Row &row) {
                        keys.append({row.text(0), row.text(1)});
                        return true;
                    }))
            return false;
        indexes.append(keys);
    }
    return true;
}

bool serves(const QList<IndexKey> &keys, const WantedIndex &index, Database &db)
{
    if (keys.size() < index.columns.size())
        return false;
    for (qsizetype c = 0; c < index.columns.size(); ++c) {
        const KeyColumn &column = index.columns.at(c);
        const QString collation = column.collation ? QLatin1String(column.collation)
                                                   : db.columnCollation(QLatin1String(index.table),
                                                                        QLatin1String(column.name));
        if (keys.at(c).column.compare(QLatin1String(column.name), Qt::CaseInsensitive) != 0 ||
            keys.at(c).collation.compare(collation, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// The program's name for the index, or the first numbered one no object of the file holds.
QString freeName(Database &db, const char *name)
{
    for (int n = 1;; ++n) {
        const QString candidate = n == 1 ? QLatin1String(name) : QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(n);
        std::optional<QVariant> taken;
        if (!db.first("SELECT 1 FROM sqlite_master WHERE name = ? COLLATE NOCASE", {candidate}, taken))
            return QString();
        if (!taken)
            return candidate;
    }
}
} // namespace

void EnsureDayIndexes(Database &db)
{
    if (!ReadOnlyReason(db.path()).isEmpty())
        return;
    QList<const WantedIndex *> missing;
    for (const WantedIndex &index : wanted) {
        QList<QList<IndexKey>> indexes;
        if (!indexKeys(db, index.table, indexes))
            return;
        if (std::none_of(indexes.begin(), indexes.end(),
                         [&](const QList<IndexKey> &keys) { return serves(keys, index, db); }))
            missing.append(&index);
    }
    if (missing.isEmpty() || !db.begin())
        return;
    for (const WantedIndex *index : missing) {
        const QString name = freeName(db, index->name);
        QStringList columns;
        for (const KeyColumn &column : index->columns)
            columns << (column.collation ? QStringLiteral("%1 COLLATE %2").arg(QLatin1String(column.name),
                                                                                QLatin1String(column.collation))
                                         : QLatin1String(column.name));
        if (name.isEmpty() ||
            !db.run(QStringLiteral("CREATE INDEX \"%1\" ON %2 (%3)")
                         .arg(name, QLatin1String(index->table), columns.join(QStringLiteral(", "))))) {
            qCWarning(lcDayIndexes).noquote() << db.path() << ": an index could not be added:" << db.error().text;
            db.rollback();
            return;
        }
    }
    db.commit();
}

} // namespace worvane::sqlite
