#include "store/open/openstore.h"

#include "store/postgres/pgdb.h"
#include "store/postgres/pgschema.h"
#include "store/postgres/pgstore.h"
#include "store/sqlite/sqlitefile.h"
#include "store/sqlite/sqlitestore.h"

namespace worvane
{

bool IsServerUri(const QString &path)
{
    return path.startsWith(QLatin1String("postgresql://")) || path.startsWith(QLatin1String("postgres://"));
}

std::unique_ptr<Store> OpenStore(const QString &path, int waitMs)
{
    if (IsServerUri(path))
        return std::make_unique<postgres::PgStore>(path, waitMs);
    return std::make_unique<sqlite::SqliteStore>(path, waitMs);
}

Result<QString> CreateDatabase(const QString &path, bool demo, bool upgrade)
{
    const bool server = IsServerUri(path);
    if (upgrade && !server)
        return Result<QString>::failure({StoreError::Kind::Other, QStringLiteral("--upgrade is for a postgresql:// database")});
    const Outcome made = server ? postgres::SetUpServer(path, demo, upgrade) : sqlite::CreateDatabaseFile(path, demo);
    if (!made.ok())
        return Result<QString>::failure(made);
    return {server ? (upgrade ? QStringLiteral("upgraded %1") : QStringLiteral("set up %1")).arg(postgres::ServerName(path)) : QStringLiteral("created %1").arg(path),
            std::nullopt};
}

Result<CopyCounts> CopyReports(const QString &source, const QString &destination, const QString &person)
{
    using Copy = Result<CopyCounts>;
    const bool toServer = IsServerUri(destination);
    if (toServer == IsServerUri(source))
        return Copy::failure({StoreError::Kind::Other,
                              QStringLiteral("copy from a file to a postgresql:// database, or from one to a file")});
    const Result<ReportRows> read = OpenStore(source)->readReports(person);
    if (!read.ok())
        return Copy::failure(read);
    if (toServer)
        return OpenStore(destination)->writeReports(read.value, person);
    // A new file is made and filled under a part name, and put in place once whole.
    sqlite::NewDatabaseFile file(destination);
    if (const Outcome made = file.create(false); !made.ok())
        return Copy::failure(made);
    Copy written = sqlite::SqliteStore(file.partPath()).writeReports(read.value, person);
    if (written.ok())
        if (const Outcome placed = file.publish(); !placed.ok())
            return Copy::failure(placed);
    return written;
}

} // namespace worvane
