#include "dataset.h"

#include "store/open/openstore.h"

#include <QDate>
#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace bench
{

const char *const Dataset::BigDayCode = "P00001";
const char *const Dataset::BigDayDate = "2025/06/30";
const char *const Dataset::CrowdedDayDate = "2026/01/05";
const char *const Dataset::TeamMonth = "2026/02";

namespace
{
// Bump when the generated content changes, so that an old cached file is not reused.
constexpr const char *GeneratorVersion = "v2";

std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    return x ^ (x >> 33);
}

const char *const RareLine = "ぴったり会議室を予約";
const char *const heads[] = {"仕様確認",   "設計レビュー", "実装",     "単体テスト", "結合テスト",
                             "不具合調査", "打ち合わせ",   "資料作成", "顧客対応",   "環境構築"};
const char *const lines[] = {"関係者と内容を確認した", "指摘事項を修正",        "テスト結果を記録",
                             "次回の作業を整理",       "手順書を更新",          "ログを調査し原因を特定",
                             "レビュー依頼を出した",   "data migration checked"};

struct Statement {
    sqlite3_stmt *s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

bool exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "bench data: %s: %s\n", sql, error ? error : "?");
    sqlite3_free(error);
    return false;
}

bool step(sqlite3 *db, sqlite3_stmt *s)
{
    const bool ok = sqlite3_step(s) == SQLITE_DONE;
    if (!ok)
        std::fprintf(stderr, "bench data: %s\n", sqlite3_errmsg(db));
    sqlite3_reset(s);
    return ok;
}

void bindText(sqlite3_stmt *s, int i, const std::string &text)
{
    sqlite3_bind_text(s, i, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

std::string projectCode(int n)
{
    char code[16];
    std::snprintf(code, sizeof code, "P%05d", n);
    return code;
}

bool fill(sqlite3 *db, int years, int projects)
{
    if (!exec(db, "PRAGMA cache_size = -262144") || !exec(db, "BEGIN"))
        return false;
    Statement project, time, item;
    if (sqlite3_prepare_v2(db, "INSERT INTO DM_PRJMST VALUES (?, ?, '2021/01/04 09:00:00', NULL)", -1,
                           &project.s, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, "INSERT INTO DF_WKTIME VALUES (?, ?, ?, ?, ?, NULL)", -1, &time.s, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(db, "INSERT INTO DF_WKCONT VALUES (?, ?, ?, ?, ?)", -1, &item.s, nullptr) !=
            SQLITE_OK) {
        std::fprintf(stderr, "bench data: %s\n", sqlite3_errmsg(db));
        return false;
    }
    for (int p = 1; p <= projects; ++p) {
        bindText(project.s, 1, projectCode(p));
        bindText(project.s, 2, "プロジェクト" + std::to_string(p) + (p % 3 ? " 保守" : " 開発"));
        if (!step(db, project.s))
            return false;
    }
    // Day after day, every reporting project: the order in which a year of reports is typed in.
    const QDate first(Dataset::LastYear + 1 - years, 1, 1);
    const QDate end(Dataset::LastYear + 1, 1, 1);
    for (QDate day = first; day < end; day = day.addDays(1)) {
        if (day.dayOfWeek() > 5)
            continue;
        const std::string date = day.toString(QStringLiteral("yyyy/MM/dd")).toStdString();
        for (int p = 1; p <= Dataset::ReportProjects; ++p) {
            const std::string code = projectCode(p);
            std::uint64_t r = mix(std::uint64_t(day.toJulianDay()) * 131 + std::uint64_t(p));
            const bool big = code == Dataset::BigDayCode && date == Dataset::BigDayDate;
            const int items = big ? Dataset::BigDayItems : 10 + int(r % 90);
            bindText(time.s, 1, code);
            bindText(time.s, 2, date);
            bindText(time.s, 3, "09:00");
            bindText(time.s, 4, "18:00");
            bindText(time.s, 5, date + " 18:30:00");
            if (!step(db, time.s))
                return false;
            for (int i = 1; i <= items; ++i) {
                r = mix(r + std::uint64_t(i));
                std::string detail;
                const int lineCount = 1 + int(r % 3);
                for (int l = 0; l < lineCount; ++l) {
                    if (l)
                        detail += "\r\n";
                    detail += lines[(r >> (8 + 4 * l)) % 8];
                }
                // About one item in 20,000 holds words found nowhere else: a search with few hits.
                if (mix(r ^ 0x5eedULL) % 20000 == 0)
                    detail += "\r\n" + std::string(RareLine);
                bindText(item.s, 1, code);
                bindText(item.s, 2, date);
                bindText(item.s, 3, std::to_string(i));
                bindText(item.s, 4, std::string(heads[(r >> 20) % 10]) + " " + std::to_string(i));
                bindText(item.s, 5, detail);
                if (!step(db, item.s))
                    return false;
            }
        }
    }
    return exec(db, "COMMIT");
}
} // namespace

std::string EnsureDataset(const std::string &folder, int years, int projects)
{
    ::mkdir(folder.c_str(), 0700);
    const bool standard = years == Dataset::Years && projects == Dataset::ProjectCount;
    char name[64];
    if (standard)
        std::snprintf(name, sizeof name, "/reports-%s.db", GeneratorVersion);
    else
        std::snprintf(name, sizeof name, "/reports-%s-%dy-%dp.db", GeneratorVersion, years, projects);
    const std::string path = folder + name;
    // The marker holds the finished file's size: a file that something changed since (a search index built
    // in it by hand, say) is made again rather than measured.
    const std::string done = path + ".complete";
    const auto sizeOf = [](const std::string &file) {
        struct stat st {
        };
        return ::stat(file.c_str(), &st) == 0 ? std::to_string(st.st_size) : std::string();
    };
    {
        std::string marked;
        if (FILE *marker = std::fopen(done.c_str(), "r")) {
            char text[32] = "";
            if (std::fgets(text, sizeof text, marker))
                marked = text;
            std::fclose(marker);
        }
        if (!marked.empty() && marked == sizeOf(path))
            return path;
    }

    std::fprintf(stderr, "Generating %s (once; it is kept for later runs) ...\n", path.c_str());
    ::unlink(path.c_str());
    ::unlink(done.c_str());
    const auto created = worvane::CreateDatabase(QString::fromStdString(path), false);
    if (!created.ok()) {
        std::fprintf(stderr, "bench data: %s\n", qPrintable(created.error->text));
        return {};
    }
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK && fill(db, years, projects);
    ok = sqlite3_close(db) == SQLITE_OK && ok;
    if (!ok) {
        ::unlink(path.c_str());
        return {};
    }
    FILE *marker = std::fopen(done.c_str(), "w");
    if (!marker)
        return {};
    std::fputs(sizeOf(path).c_str(), marker);
    if (std::fclose(marker) != 0)
        return {};
    return path;
}

bool CopyFile(const std::string &from, const std::string &to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = out >= 0;
    std::vector<char> buffer(1 << 20);
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buffer.data(), size_t(n)) == n;
    }
    ::close(in);
    if (out >= 0)
        ok = ::close(out) == 0 && ok;
    return ok;
}

} // namespace bench
