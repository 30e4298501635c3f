#include "store/transfer.h"

#include "store/connection.h"
#include "store/schema.h"
#include "store/values.h"

#include <QSqlQuery>
#include <QUrl>

namespace worvane
{

namespace
{
CopyReport failedCopy(const QString &why)
{
    CopyReport report;
    report.ok = false;
    report.error = why;
    return report;
}

// The rows of one table read from the source: the whole file, or one person's rows of the team database.
bool readRows(Connection &db, const QString &sql, const QVariantList &values, int columns, QList<QVariantList> &rows)
{
    QSqlQuery query = db.newQuery();
    if (!db.exec(query, sql, values))
        return false;
    while (query.next()) {
        QVariantList row;
        for (int c = 0; c < columns; ++c)
            row << query.value(c);
        rows << row;
    }
    return db.finished(query);
}
// The person's days and items in the destination.
bool count(Connection &db, bool onServer, const QVariantList &person, qint64 &days, qint64 &items)
{
    const QString whose = onServer ? QStringLiteral(" WHERE WKUSER = ?") : QString();
    std::optional<QVariant> d, i;
    if (!db.queryFirst(QStringLiteral("SELECT COUNT(*) FROM DF_WKTIME") + whose, person, d) ||
        !db.queryFirst(QStringLiteral("SELECT COUNT(*) FROM DF_WKCONT") + whose, person, i))
        return false;
    days = d->toLongLong();
    items = i->toLongLong();
    return true;
}
} // namespace

CopyReport CopyReports(const QString &source, const QString &destination, const QString &person)
{
    const bool toServer = IsServerUri(destination);
    if (toServer == IsServerUri(source))
        return failedCopy(QStringLiteral("copy from a file to a postgresql:// database, or from one to a file"));
    const QString server = toServer ? destination : source;
    QString who = person.isEmpty() ? QUrl(server).userName() : person;
    if (!toServer && who.isEmpty())
        who = qEnvironmentVariable("PGUSER", qEnvironmentVariable("USER"));

    // What the source holds.
    Connection from(source, ReportStore::DefaultBusyTimeoutMs);
    if (!from.open())
        return failedCopy(from.error());
    QList<QVariantList> projects, days, items;
    const QString mine = toServer ? QString() : QStringLiteral(" WHERE WKUSER = ?");
    const QVariantList whoValue = toServer ? QVariantList() : QVariantList{who};
    if (!toServer)
        from.exec(QStringLiteral("SET worvane.people = 'all'")); // a lead copying another person's days
    if (!readRows(from, QStringLiteral("SELECT PJCODE, PJNAME, ENTYMD, UPDYMD FROM DM_PRJMST ORDER BY rowid"), {}, 4,
                  projects) ||
        !readRows(from,
                  QStringLiteral("SELECT PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, UPDYMD FROM DF_WKTIME%1 ORDER BY rowid")
                      .arg(mine),
                  whoValue, 6, days) ||
        !readRows(from,
                  QStringLiteral("SELECT PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL FROM DF_WKCONT%1 ORDER BY rowid").arg(mine),
                  whoValue, 5, items))
        return failedCopy(from.error());

    // A new file is made and filled under a part name, and put in place once whole.
    std::optional<NewDatabaseFile> newFile;
    if (!toServer) {
        newFile.emplace(destination);
        if (const Outcome made = newFile->create(false); !made.ok)
            return failedCopy(made.error);
    }
    CopyReport report;
    {
        Connection to(toServer ? destination : newFile->partPath(), ReportStore::DefaultBusyTimeoutMs);
        const auto fail = [&](const QString &why) {
            report = failedCopy(why);
            return report;
        };
        if (!to.open() || !to.begin())
            fail(to.error());
        else {
            const QVariantList ownerBound = toServer ? QVariantList{who} : QVariantList();
            qint64 daysBefore = 0, itemsBefore = 0, daysAfter = 0, itemsAfter = 0;
            bool counted = count(to, toServer, ownerBound, daysBefore, itemsBefore);
            const QString owner = toServer ? QStringLiteral(", WKUSER") : QString();
            const QString ownerValue = toServer ? QStringLiteral(", ?") : QString();
            QSqlQuery findProject = to.newQuery(), addProject = to.newQuery(), addDay = to.newQuery(),
                      addItem = to.newQuery();
            bool ok =
                counted &&
                to.prepare(findProject,
                           QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST WHERE PJCODE = ? COLLATE NOCASE")) &&
                to.prepare(addProject,
                           QStringLiteral("INSERT INTO DM_PRJMST (PJCODE, PJNAME, ENTYMD, UPDYMD) VALUES (?, ?, ?, ?)")) &&
                to.prepare(addDay, QStringLiteral("INSERT INTO DF_WKTIME (PJCODE, WKYMD, WSTIME, WETIME, ENTYMD, "
                                                  "UPDYMD%1) VALUES (?, ?, ?, ?, ?, ?%2)")
                                       .arg(owner, ownerValue)) &&
                to.prepare(addItem, QStringLiteral("INSERT INTO DF_WKCONT (PJCODE, WKYMD, WKCODE, WKHEAD, DETAIL%1) "
                                                   "VALUES (?, ?, ?, ?, ?%2)")
                                        .arg(owner, ownerValue));
            for (const QVariantList &p : projects) {
                if (!ok)
                    break;
                ok = to.run(findProject, {p[0]}) && findProject.next();
                const bool known = ok && findProject.value(0).toInt() > 0;
                findProject.finish();
                if (ok && known)
                    ++report.projectsKept;
                else if (ok && (ok = to.run(addProject, p)))
                    ++report.projectsAdded;
            }
            for (const QVariantList &d : days)
                if (ok && (ok = to.run(addDay, d + ownerBound)))
                    ++report.days;
            for (const QVariantList &i : items)
                if (ok && (ok = to.run(addItem, i + ownerBound)))
                    ++report.items;
            // The destination holds exactly what it held before and what was read.
            if (ok && (!count(to, toServer, ownerBound, daysAfter, itemsAfter) ||
                       daysAfter != daysBefore + days.size() || itemsAfter != itemsBefore + items.size()))
                ok = false;
            if (!ok)
                fail(to.error().isEmpty() ? QStringLiteral("the rows written do not add up") : to.error());
            else if (!to.commit())
                fail(to.error());
        }
    }
    if (report.ok && newFile) {
        if (const Outcome placed = newFile->publish(); !placed.ok)
            return failedCopy(placed.error);
    }
    return report;
}

} // namespace worvane
