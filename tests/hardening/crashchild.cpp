// A child for the crash tests: does one kind of write over and over, switching between two versions,
// until it is killed. "ready" on standard output says the loop is about to start.
//   crashchild save DB       saves the same day, version A then B then A ...
//   crashchild compact DB    compacts the database file
//   crashchild ini FILE      writes the default project code into the settings file
//   crashchild report FILE   writes a report file
//   crashchild backup DB     backs the database up, a day later each time (the copies rotated)
//   crashchild lock DB       holds an exclusive lock on the database, as another program might
#include "app/inictrl.h"
#include "crashversions.h"
#include "report/reportfile.h"
#include "store/open/openstore.h"
#include "store/sqlite/sqlitefile.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>

using namespace worvane;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (mode == QLatin1String("lock")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(path);
        QSqlQuery lock(db);
        if (!db.open() || !lock.exec(QStringLiteral("BEGIN EXCLUSIVE")) ||
            !lock.exec(QStringLiteral("SELECT COUNT(*) FROM DM_PRJMST")))
            return 1;
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
    // One store, as the program has, its connection kept between saves.
    const std::unique_ptr<Store> store = OpenStore(path);
    std::printf("ready\n");
    std::fflush(stdout);
    for (int round = 0;; ++round) {
        const int version = round % 2;
        if (mode == QLatin1String("save")) {
            store->saveDay(crash::day(version));
        } else if (mode == QLatin1String("compact")) {
            sqlite::CompactDatabaseFile(path, path + QStringLiteral("TEMP.mdb"), Store::DefaultWaitMs);
        } else if (mode == QLatin1String("ini")) {
            WriteIniString(QStringLiteral("Default Value"), QStringLiteral("PJCode"), crash::code(version),
                           path);
        } else if (mode == QLatin1String("backup")) {
            store->backUp(QDate(2024, 1, 1).addDays(QDateTime::currentMSecsSinceEpoch() / 7 % 100000),
                          path + QStringLiteral(".fallback"));
        } else if (mode == QLatin1String("report")) {
            WriteReportFile({path, {}}, crash::report(version));
        } else {
            return 2;
        }
    }
}
