// The full-text search index built over every item, from none; the floor, the same tables filled through
// the C API. The program's side keeps its indexed copy for the search rows.
#include "rows.h"

#include <cstdio>
#include <sys/stat.h>

namespace bench
{

namespace
{

void program(Program &p, const Child &c)
{
    std::string db;
    for (int run = 0; run < c.runs; ++run) {
        db = workingCopy(c, "index-program.db");
        worvane::Outcome built;
        p.open(db);
        timed([&] { built = p.store->buildIndex([](qint64, qint64) { return true; }); });
        if (!built.ok() || !p.store->indexStatus().value.ready)
            fail("the index was not built: " +
                 (built.ok() ? std::string() : built.error->text.toStdString()));
    }
    check(IndexCheck(db));
    struct stat st {
    };
    ::stat(db.c_str(), &st);
    char text[128];
    std::snprintf(text, sizeof text, "The search index takes %.0f MB of the %.0f MB file it is built in.",
                  double(IndexBytes(db)) / 1e6, double(st.st_size) / 1e6);
    note(text);
    if (std::rename(db.c_str(), indexedCopy(c.work).c_str()) != 0)
        fail("cannot keep the indexed copy");
}

void floor(const Child &c)
{
    std::string db;
    for (int run = 0; run < c.runs; ++run) {
        db = workingCopy(c, "index-floor.db");
        bool ok = false;
        timed([&] { ok = FloorBuildIndex(db); });
        if (!ok)
            fail("the index was not built");
    }
    check(IndexCheck(db));
    std::remove(db.c_str());
}

} // namespace

const Row IndexRow{"index", program, floor, false};

} // namespace bench
