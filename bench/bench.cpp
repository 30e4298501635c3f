// worvane-bench: every user-facing action of Worvane, on the real windows (offscreen platform) against a
// generated database of five years of reports, measured beside the same work done the plainest possible
// way in the same run. Prints one Markdown table.
//
//   worvane-bench [--runs N] [--data FOLDER]
//
// Each side of each row runs in a child process of its own, so that its peak memory is its own; the
// start-up row starts a process per run. Every side checks what it produced, and the two sides of a row
// must agree: a row whose action did not do the work fails the run instead of printing a fast time.
#include "core/messages.h"
#include "dataset.h"
#include "floors.h"
#include "plainwindow.h"
#include "shown.h"

#include "app/messagepresenter.h"
#include "app/savefiledialog.h"
#include "app/startup.h"
#include "widgets/bytelimit.h"
#include "core/cp932.h"
#include "widgets/flexgrid.h"
#include "widgets/screen.h"
#include "main/program.h"
#include "models/workitemmodel.h"
#include "project/frmpjviewer.h"
#include "report/frmworvane.h"
#include "report/reportfile.h"
#include "models/searchmodel.h"
#include "search/frmsearch.h"
#include "store/open/openstore.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace worvane;
using Clock = std::chrono::steady_clock;

namespace
{

// ---- What a child reports ------------------------------------------------------------------------------

// Lines on stdout: "sample NANOSECONDS", "check TEXT" (must equal the other side's), "fail TEXT".
void timeLine(const char *kind, Clock::duration d)
{
    std::printf("%s %lld\n", kind,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(d).count()));
}

void sample(Clock::duration d)
{
    timeLine("sample", d);
}

void check(const std::string &text)
{
    std::printf("check %s\n", text.c_str());
}

// The same work without showing it (the engine alone), for information beside a floor that shows it.
void bare(Clock::duration d)
{
    timeLine("bare", d);
}

// A list that comes in pages: the time until every row is in, and the longest turn of the event loop
// meanwhile (how long a key pressed then would have waited).
void listed(Clock::duration d)
{
    timeLine("listed", d);
}

void stalled(Clock::duration d)
{
    timeLine("stalled", d);
}

// A line the driver prints below the table.
void note(const std::string &text)
{
    std::printf("note %s\n", text.c_str());
}

[[noreturn]] void fail(const std::string &text)
{
    std::printf("fail %s\n", text.c_str());
    std::fflush(stdout);
    std::_Exit(1);
}

template <class F> void timed(F &&action)
{
    const auto t0 = Clock::now();
    action();
    sample(Clock::now() - t0);
}

std::string hex(unsigned long long v)
{
    char s[32];
    std::snprintf(s, sizeof s, "%016llx", v);
    return s;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string timestampNow()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")).toStdString();
}

struct Child {
    std::string row, side, dataset, work;
    int runs;
    std::string param; // the month of the month row, "YYYY/MM"; the word of a full-text search row
};

// The copy of the database that the index row leaves built, for the full-text search rows.
std::string indexedCopy(const std::string &work)
{
    return work + "/indexed.db";
}

std::string hitsCheck(const std::vector<bench::Hit> &hits)
{
    unsigned long long h = bench::Digest("");
    for (const bench::Hit &hit : hits)
        h = bench::Digest(hit.date + '\t' + hit.code + '\t' + hit.name + '\t' + hit.item + '\t' + hit.head + '\n', h);
    return std::to_string(hits.size()) + " hits " + hex(h);
}

// The ranges of the worvane-report rows, as stored and as typed on its command line.
const char *const FiveYearsFrom = "2021/01/01";
const char *const FiveYearsTo = "2025/12/31";
const char *const OneYearFrom = "2025/01/01";
const char *const OneYearTo = "2025/12/31";

std::string typedDate(const char *stored)
{
    std::string date = stored;
    std::replace(date.begin(), date.end(), '/', '-');
    return date;
}

// Every cell's text of a grid, row by row, as the month window shows it.
std::string gridCheck(const std::vector<std::vector<std::string>> &grid)
{
    unsigned long long h = bench::Digest("");
    for (const auto &row : grid) {
        for (const std::string &cell : row)
            h = bench::Digest(cell + '\t', h);
        h = bench::Digest("\n", h);
    }
    return std::to_string(grid.size()) + " rows " + std::to_string(grid.empty() ? 0 : grid[0].size()) +
           " columns " + hex(h);
}

// The sheet 日報 of a workbook as stored in it (the rest holds the time the book was made).
std::string sheetCheck(const std::string &path)
{
    const std::string command = "unzip -p '" + path + "' xl/worksheets/sheet1.xml";
    std::FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        fail("cannot run unzip");
    unsigned long long h = bench::Digest("");
    size_t size = 0;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        h = bench::Digest(std::string(buffer, n), h);
        size += n;
    }
    if (::pclose(pipe) != 0 || size == 0)
        fail("cannot read the sheet of " + path);
    return "sheet 日報 " + std::to_string(size) + " bytes " + hex(h);
}

// A file's size and digest, read in pieces (an export's file is large).
std::string fileCheck(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned long long h = bench::Digest("");
    size_t size = 0;
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), std::streamsize(buffer.size())) || in.gcount() > 0) {
        h = bench::Digest(std::string(buffer.data(), size_t(in.gcount())), h);
        size += size_t(in.gcount());
    }
    return std::to_string(size) + " bytes " + hex(h);
}

// ---- The program's side: the real windows ------------------------------------------------------------

// Records every message the windows show, and answers the save question with Yes.
struct Messages {
    std::vector<MessageRequest> seen;
    Messages()
    {
        MessagePresenter::setHandler([this](const MessageRequest &r) {
            seen.push_back(r);
            return r.kind == MessageKind::Question;
        });
    }
    ~Messages() { MessagePresenter::setHandler({}); }
    // The only message since the last call must be this one (after the question, for a save).
    void expect(MessageKind kind, const QString &text, bool asked = false)
    {
        const size_t want = asked ? 2 : 1;
        if (seen.size() != want || seen.back().kind != kind || seen.back().text != text ||
            (asked && seen.front().kind != MessageKind::Question))
            fail("unexpected messages: " + std::to_string(seen.size()) +
                 (seen.empty() ? std::string() : " last: " + seen.back().text.toStdString()));
        seen.clear();
    }
    void expectNone()
    {
        if (!seen.empty())
            fail("unexpected message: " + seen.back().text.toStdString());
    }
};

// Counts the paints of a widget: "shown" is the first paint after the action.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Watches every widget for the first paint of the month window's grid (its viewport) after arm(); once
// that paint has been delivered and flushed, keeps the time and the grid's texts and closes the window.
class MonthPaintWatch : public QObject
{
public:
    MonthPaintWatch() { qApp->installEventFilter(this); }
    void arm(bool keepGrid)
    {
        painted = m_seen = false;
        m_keepGrid = keepGrid;
    }
    bool painted = false;
    Clock::time_point paintedAt;
    std::string grid;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() != QEvent::Paint || m_seen)
            return false;
        auto *view = qobject_cast<QTableView *>(watched->parent());
        if (!view || view->viewport() != watched || view->objectName() != QLatin1String("fgdMONTH"))
            return false;
        m_seen = true;
        QTimer::singleShot(0, view, [this, view] {
            paintedAt = Clock::now();
            painted = true;
            if (m_keepGrid) {
                const QAbstractItemModel *model = view->model();
                std::vector<std::vector<std::string>> cells(size_t(model->rowCount()));
                for (int r = 0; r < model->rowCount(); ++r)
                    for (int c = 0; c < model->columnCount(); ++c)
                        cells[size_t(r)].push_back(model->index(r, c).data().toString().toStdString());
                grid = gridCheck(cells);
            }
            qobject_cast<QDialog *>(view->window())->reject();
        });
        return false;
    }

private:
    bool m_seen = false;
    bool m_keepGrid = false;
};

// Watches every widget for the first paint of the window named (a dialog) after arm(); once that paint has
// been delivered, keeps the time and closes the window, which ends the action that opened it.
class WindowPaintWatch : public QObject
{
public:
    explicit WindowPaintWatch(QString name) : m_name(std::move(name)) { qApp->installEventFilter(this); }
    void arm() { painted = m_seen = false; }
    bool painted = false;
    Clock::time_point paintedAt;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (e->type() != QEvent::Paint || m_seen || !widget || widget->window()->objectName() != m_name)
            return false;
        m_seen = true;
        auto *window = qobject_cast<QDialog *>(widget->window());
        QTimer::singleShot(0, window, [this, window] {
            paintedAt = Clock::now();
            painted = true;
            window->reject();
        });
        return false;
    }

private:
    QString m_name;
    bool m_seen = false;
};

void waitForPaint(const PaintWatch &watch, int before)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (watch.count == before) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (Clock::now() > deadline)
            fail("the list was never painted");
    }
}

void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void showWindow(QWidget *w)
{
    w->show();
    if (!QTest::qWaitForWindowExposed(w))
        fail("window not exposed");
    settle();
}

// What the program shows while it saves, writes the report or closes: its main window, here the plainest way
// (plainwindow.h), its table holding the day's items; shown and painted.
void showPlainMainWindow(QWidget &window, const bench::Day &day)
{
    QStandardItemModel *model = bench::PlainMainWindow(&window);
    for (const bench::Item &item : day.items)
        model->appendRow({new QStandardItem(QString::fromStdString(item.code)),
                          new QStandardItem(QString::fromStdString(item.head)),
                          new QStandardItem(QString::fromStdString(item.detail))});
    showWindow(&window);
}

// ---- The floor's way of showing rows: a plain QTableView over a trivial model ------------------------------

using Rows = std::vector<std::vector<std::string>>;

class PlainModel : public QAbstractTableModel
{
public:
    void setRows(Rows rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || m_rows.empty() ? 0 : int(m_rows.front().size());
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        const std::string &text = m_rows[size_t(index.row())][size_t(index.column())];
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }

private:
    Rows m_rows;
};

// A window with the plain table, shown; each run reads the rows and sets them, timed until painted.
class ShownFloor
{
public:
    ShownFloor()
    {
        m_view.setModel(&m_model);
        m_view.resize(1000, 600);
        showWindow(&m_view);
    }
    template <class Read> Clock::duration run(Read read)
    {
        PaintWatch watch(m_view.viewport());
        const auto t0 = Clock::now();
        Rows rows;
        if (!read(rows))
            fail("reading the rows failed");
        m_model.setRows(std::move(rows));
        waitForPaint(watch, 0);
        return Clock::now() - t0;
    }

private:
    PlainModel m_model;
    QTableView m_view;
};

// A floor that opens a window for its rows, as an action that opens one: the window made, the rows read and
// set, the window shown, timed until its table has painted; then closed.
template <class Read> void openedRuns(const Child &c, Read read)
{
    for (int run = 0; run <= c.runs; ++run) {
        const auto t0 = Clock::now();
        QDialog window;
        auto *view = new QTableView(&window);
        PlainModel model;
        view->setModel(&model);
        window.resize(1000, 600);
        view->resize(window.size());
        PaintWatch watch(view->viewport());
        Rows rows;
        if (!read(rows))
            fail("reading the rows failed");
        model.setRows(std::move(rows));
        view->resizeColumnsToContents();
        window.show();
        waitForPaint(watch, 0);
        if (run > 0)
            sample(Clock::now() - t0);
        window.close();
        settle();
    }
}

// The shown runs of a floor (samples, unless told otherwise), after its bare runs.
template <class Read> void shownRuns(const Child &c, Read read, void (*report)(Clock::duration) = sample)
{
    ShownFloor floor;
    for (int run = 0; run <= c.runs; ++run) {
        const auto took = floor.run(read);
        if (run > 0)
            report(took);
        settle();
    }
}

void loadBigDay(frmWorvane &w, Messages &messages)
{
    ControlOf<QLineEdit>(w, "txtPJCODE")->setText(QString::fromLatin1(bench::Dataset::BigDayCode));
    ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromLatin1(bench::Dataset::BigDayDate));
    QTest::mouseClick(ControlOf<QPushButton>(w, "cmdSerch"), Qt::LeftButton);
    messages.expectNone();
    const int rows = ControlOf<FlexGrid>(w, "fgdWKCONT")->model()->rowCount();
    if (rows != bench::Dataset::BigDayItems)
        fail("the day did not load: " + std::to_string(rows) + " items");
}

// The texts a list holds from its first column on: the whole text of a work item, as shown otherwise.
std::string gridDigest(const FlexGrid *grid, int firstCol)
{
    const QAbstractItemModel *model = grid->model();
    const auto *items = qobject_cast<const WorkItemModel *>(model);
    unsigned long long h = bench::Digest("");
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = firstCol; c < model->columnCount(); ++c) {
            QString text;
            if (items) {
                const WorkItem &item = items->at(r);
                text = c == WorkItemModel::Number  ? item.code
                       : c == WorkItemModel::Title ? item.head
                                                   : item.detail;
            } else {
                text = model->index(r, c).data().toString();
            }
            h = bench::Digest(text.toStdString() + '\t', h);
        }
    }
    return std::to_string(model->rowCount()) + " rows " + hex(h);
}

bool isServer(const std::string &db)
{
    return db.rfind("postgresql://", 0) == 0;
}

std::string dayCheck(const std::string &db)
{
    bench::Day day;
    const auto load = isServer(db) ? bench::TeamFloorLoadDay : bench::FloorLoadDay;
    if (!load(db, bench::Dataset::BigDayCode, bench::Dataset::BigDayDate, day))
        fail("cannot read the day back");
    return std::to_string(day.items.size()) + " items " + hex(bench::DigestDay(day));
}

// Both sides of the compaction row must leave the same file: its size and the stored day.
void checkCompacted(const std::string &db)
{
    struct stat st {
    };
    ::stat(db.c_str(), &st);
    check(std::to_string(st.st_size) + " bytes, day " + dayCheck(db));
}

// The last line of every side: its peak memory.
int reportPeak()
{
    std::printf("peak %ld\n", bench::PeakKb());
    std::fflush(stdout);
    return 0;
}

std::string workingCopy(const Child &c, const std::string &name)
{
    const std::string path = c.work + "/" + name;
    if (!bench::CopyFile(c.dataset, path))
        fail("cannot copy the database to " + path);
    return path;
}

int programSide(const Child &c, int argc, char **argv)
{
    QApplication app(argc, argv);
    ConfigureApplication(app);
    Messages messages;
    Settings settings{QString::fromStdString(c.work + "/Worvane.ini"), QString::fromStdString(c.dataset),
                      QString::fromLatin1(bench::Dataset::BigDayCode)};
    // The program's one store, as main makes it (rows on a copy of the data make their own).
    std::unique_ptr<Store> store = OpenStore(settings.databasePath);

    if (c.row == "search") {
        // Timed to the first page painted; then on until every project is listed, taking the events as
        // they come, as the window's own loop would.
        const long all = bench::FloorProjectCount(c.dataset);
        frmWorvane w(settings, *store);
        showWindow(&w);
        for (int run = 0; run <= c.runs; ++run) {
            frmPJViewer viewer(*store, &w);
            showWindow(&viewer);
            auto *list = viewer.findChild<FlexGrid *>(QStringLiteral("fgdPRJMST"));
            PaintWatch watch(list->viewport());
            const auto t0 = Clock::now();
            QTest::mouseClick(viewer.findChild<QPushButton *>(QStringLiteral("cmdSerch")), Qt::LeftButton);
            waitForPaint(watch, 0);
            const auto first = Clock::now() - t0;
            Clock::duration longest{};
            while (list->model()->rowCount() < all) {
                const auto turn = Clock::now();
                QCoreApplication::processEvents(QEventLoop::AllEvents);
                longest = std::max(longest, Clock::now() - turn);
                if (Clock::now() - t0 > std::chrono::seconds(60))
                    fail("the list never held every project");
            }
            const auto every = Clock::now() - t0;
            if (run > 0) { // the first run warms up
                sample(first);
                listed(every);
                stalled(longest);
            }
            messages.expectNone();
            if (run == c.runs)
                check(gridDigest(list, 1));
        }
    } else if (c.row == "load") {
        frmWorvane w(settings, *store);
        showWindow(&w);
        ControlOf<QLineEdit>(w, "txtPJCODE")->setText(QString::fromLatin1(bench::Dataset::BigDayCode));
        ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromLatin1(bench::Dataset::BigDayDate));
        for (int run = 0; run <= c.runs; ++run) {
            PaintWatch watch(ControlOf<FlexGrid>(w, "fgdWKCONT")->viewport());
            const auto t0 = Clock::now();
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdSerch"), Qt::LeftButton);
            waitForPaint(watch, 0);
            const auto took = Clock::now() - t0;
            if (run > 0)
                sample(took);
            messages.expectNone();
            settle();
        }
        check(ControlOf<QLineEdit>(w, "txtWSTIME")->text().toStdString() + "-" +
              ControlOf<QLineEdit>(w, "txtWETIME")->text().toStdString() + " " +
              gridDigest(ControlOf<FlexGrid>(w, "fgdWKCONT"), 0));
        if (std::getenv("WORVANE_BENCH_PARTS")) {
            // Where the time goes: the store calls alone, the click alone, the paint alone.
            const QString code = ControlOf<QLineEdit>(w, "txtPJCODE")->text(),
                          date = ControlOf<QLineEdit>(w, "txtWKYMD")->text();
            std::vector<double> lookup, load, click, paint;
            auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
            for (int run = 0; run < c.runs; ++run) {
                auto t0 = Clock::now();
                store->lookupProjectName(code);
                auto t1 = Clock::now();
                store->loadDay(code, date);
                auto t2 = Clock::now();
                PaintWatch watch(ControlOf<FlexGrid>(w, "fgdWKCONT")->viewport());
                QTest::mouseClick(ControlOf<QPushButton>(w, "cmdSerch"), Qt::LeftButton);
                auto t3 = Clock::now();
                waitForPaint(watch, 0);
                auto t4 = Clock::now();
                lookup.push_back(ms(t1 - t0));
                load.push_back(ms(t2 - t1));
                click.push_back(ms(t3 - t2));
                paint.push_back(ms(t4 - t3));
                settle();
            }
            for (auto *v : {&lookup, &load, &click, &paint})
                std::sort(v->begin(), v->end());
            std::fprintf(stderr, "parts: lookup %.3f load %.3f click %.3f paint %.3f ms\n",
                         lookup[lookup.size() / 2], load[load.size() / 2], click[click.size() / 2],
                         paint[paint.size() / 2]);
        }
    } else if (c.row == "save") {
        // A file is saved in a copy; the team database's day is saved over with the same day.
        const std::string db = isServer(c.dataset) ? c.dataset : workingCopy(c, "save-program.db");
        settings.databasePath = QString::fromStdString(db);
        store = OpenStore(settings.databasePath);
        frmWorvane w(settings, *store);
        showWindow(&w);
        loadBigDay(w, messages);
        for (int run = 0; run <= c.runs; ++run) {
            const auto t0 = Clock::now();
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdUpdate"), Qt::LeftButton);
            const auto took = Clock::now() - t0;
            if (run > 0)
                sample(took);
            messages.expect(MessageKind::Information, msg::Saved.text,
                            true);
            settle();
        }
        check(dayCheck(db));
    } else if (c.row == "report") {
        const std::string file = c.work + "/report-program.txt";
        SaveFileDialog::setHandler([&](const SaveDialogRequest &) { return QString::fromStdString(file); });
        frmWorvane w(settings, *store);
        showWindow(&w);
        loadBigDay(w, messages);
        for (int run = 0; run <= c.runs; ++run) {
            const auto t0 = Clock::now();
            QTest::mouseClick(ControlOf<QPushButton>(w, "cmdOutput"), Qt::LeftButton);
            const auto took = Clock::now() - t0;
            if (run > 0)
                sample(took);
            messages.expect(MessageKind::Information, msg::ReportWritten.text);
            settle();
        }
        const std::string bytes = readFile(file);
        check(std::to_string(bytes.size()) + " bytes " + hex(bench::Digest(bytes)));
    } else if (c.row == "month") {
        // F7 in the main window holding a date of the month; timed until the month window's grid has
        // painted, then the window is closed, which ends the key press.
        frmWorvane w(settings, *store);
        showWindow(&w);
        ControlOf<QLineEdit>(w, "txtWKYMD")->setText(QString::fromStdString(c.param + "/15"));
        MonthPaintWatch watch;
        for (int run = 0; run <= c.runs; ++run) {
            watch.arm(run == c.runs);
            QWidget *target = w.focusWidget() ? w.focusWidget() : &w;
            const auto t0 = Clock::now();
            QTest::keyClick(target, Qt::Key_F7);
            if (!watch.painted)
                fail("the month window was never painted");
            if (run > 0)
                sample(watch.paintedAt - t0);
            messages.expectNone();
            settle();
        }
        check(watch.grid);
    } else if (c.row == "index") {
        std::string db;
        for (int run = 0; run < c.runs; ++run) {
            db = workingCopy(c, "index-program.db");
            worvane::Outcome built;
            store = OpenStore(QString::fromStdString(db));
            timed([&] { built = store->buildIndex([](qint64, qint64) { return true; }); });
            if (!built.ok() || !store->indexStatus().value.ready)
                fail("the index was not built: " + (built.ok() ? std::string() : built.error->text.toStdString()));
        }
        check(bench::IndexCheck(db));
        struct stat st {
        };
        ::stat(db.c_str(), &st);
        char text[128];
        std::snprintf(text, sizeof text, "The search index takes %.0f MB of the %.0f MB file it is built in.",
                      double(bench::IndexBytes(db)) / 1e6, double(st.st_size) / 1e6);
        note(text);
        if (std::rename(db.c_str(), indexedCopy(c.work).c_str()) != 0)
            fail("cannot keep the indexed copy");
    } else if (c.row == "find") {
        // Enter in the query field of the search window, timed until the hit list has painted.
        frmSearch w(*store);
        showWindow(&w);
        auto *query = w.findChild<QLineEdit *>(QStringLiteral("txtQUERY"));
        auto *list = w.findChild<QTableView *>(QStringLiteral("fgdRESULT"));
        query->setText(QString::fromStdString(c.param));
        for (int run = 0; run <= c.runs; ++run) {
            query->setFocus();
            settle();
            PaintWatch watch(list->viewport());
            const auto t0 = Clock::now();
            QTest::keyClick(query, Qt::Key_Return);
            waitForPaint(watch, 0);
            const auto took = Clock::now() - t0;
            if (run > 0)
                sample(took);
            messages.expectNone();
        }
        const auto *model = qobject_cast<const SearchModel *>(list->model());
        std::vector<bench::Hit> hits;
        for (int r = 0; r < model->rowCount(); ++r) {
            const SearchHit &hit = model->at(r);
            hits.push_back({hit.date.toStdString(), hit.code.toStdString(), hit.name.toStdString(),
                            hit.itemCode.toStdString(), hit.head.toStdString()});
        }
        check(hitsCheck(hits));
    } else if (c.row == "open") {
        // The click or key in the main window that opens a window, timed until that window has painted.
        frmWorvane w(settings, *store);
        showWindow(&w);
        WindowPaintWatch watch(QString::fromStdString(c.param));
        for (int run = 0; run <= c.runs; ++run) {
            watch.arm();
            const auto t0 = Clock::now();
            if (c.param == "frmPJViewer")
                QTest::mouseClick(ControlOf<QPushButton>(w, "cmdCallPJViewer"), Qt::LeftButton);
            else if (c.param == "frmCalendar")
                QTest::mouseClick(ControlOf<QPushButton>(w, "cmdCallCalendar"), Qt::LeftButton);
            else
                QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_F8);
            if (!watch.painted)
                fail("the window " + c.param + " was never painted");
            if (run > 0)
                sample(watch.paintedAt - t0);
            messages.expectNone();
            settle();
        }
        check("a window painted");
    } else if (c.row == "compact") {
        std::string db;
        for (int run = 0; run < c.runs; ++run) {
            db = workingCopy(c, "compact-program.db");
            settings.databasePath = QString::fromStdString(db);
            store = OpenStore(settings.databasePath);
            frmWorvane w(settings, *store);
            showWindow(&w);
            // Closing the window ends the event loop; the compaction runs on the way out.
            timed([&] {
                QTest::mouseClick(ControlOf<QPushButton>(w, "cmdClose"), Qt::LeftButton);
                CompactMdb(*store);
            });
            messages.expectNone();
            if (w.isVisible() || QFile::exists(settings.databasePath + QStringLiteral("TEMP.mdb")))
                fail("the window did not close cleanly");
        }
        checkCompacted(db);
    } else {
        fail("no such row: " + c.row);
    }
    return reportPeak();
}

// ---- The floor's side: the C API and system calls ------------------------------------------------------

// The floor's runs of its work: the first warms up, and each later one's time is reported (as a sample, or
// as the engine alone beside a floor that shows its rows). before runs ahead of each, outside the clock.
template <class Work, class Before>
void floorRuns(const Child &c, const char *failed, Work work, void (*report)(Clock::duration), Before before)
{
    for (int run = 0; run <= c.runs; ++run) {
        before();
        const auto t0 = Clock::now();
        const bool ok = work();
        const auto took = Clock::now() - t0;
        if (!ok)
            fail(failed);
        if (run > 0)
            report(took);
    }
}

template <class Work> void floorRuns(const Child &c, const char *failed, Work work, void (*report)(Clock::duration) = sample)
{
    floorRuns(c, failed, work, report, [] {});
}

int floorSide(const Child &c)
{
    const std::string code = bench::Dataset::BigDayCode, date = bench::Dataset::BigDayDate;
    if (c.row == "search") {
        // The first page alone, then shown; then every row shown, read in one statement.
        using Pairs = std::vector<std::pair<std::string, std::string>>;
        const auto page = [&](Rows &shown, int limit) {
            Pairs rows;
            if (!bench::FloorProjectSearch(c.dataset, rows, limit))
                return false;
            shown.reserve(rows.size());
            for (auto &[pjcode, name] : rows)
                shown.push_back({std::move(pjcode), std::move(name)});
            return true;
        };
        Pairs last;
        floorRuns(
            c, "search failed", [&] { return bench::FloorProjectSearch(c.dataset, last, frmPJViewer::FirstPageRows); },
            bare, [&] { last.clear(); });
        shownRuns(c, [&](Rows &shown) { return page(shown, frmPJViewer::FirstPageRows); });
        shownRuns(c, [&](Rows &shown) { return page(shown, 0); }, listed);
        last.clear();
        if (!bench::FloorProjectSearch(c.dataset, last))
            fail("search failed");
        unsigned long long h = bench::Digest("");
        for (const auto &[pjcode, name] : last)
            h = bench::Digest(pjcode + '\t' + name + '\t', h);
        check(std::to_string(last.size()) + " rows " + hex(h));
    } else if (c.row == "load") {
        bench::Day day;
        const auto load = isServer(c.dataset) ? bench::TeamFloorLoadDay : bench::FloorLoadDay;
        floorRuns(
            c, "load failed", [&] { return load(c.dataset, code, date, day); }, bare, [&] { day = {}; });
        shownRuns(c, [&](Rows &shown) {
            bench::Day read;
            if (!load(c.dataset, code, date, read))
                return false;
            for (bench::Item &item : read.items)
                shown.push_back({std::move(item.code), std::move(item.head), std::move(item.detail)});
            return true;
        });
        unsigned long long h = bench::Digest("");
        for (const bench::Item &item : day.items)
            h = bench::Digest(item.code + '\t' + item.head + '\t' + item.detail + '\t', h);
        check(day.start + "-" + day.end + " " + std::to_string(day.items.size()) + " rows " + hex(h));
    } else if (c.row == "save") {
        const std::string db = isServer(c.dataset) ? c.dataset : workingCopy(c, "save-" + c.side + ".db");
        bench::Day day;
        if (!(isServer(db) ? bench::TeamFloorLoadDay : bench::FloorLoadDay)(db, code, date, day))
            fail("cannot read the day");
        const auto save = isServer(db)               ? bench::TeamFloorSaveDay
                          : c.side == "original" ? bench::OriginalSaveDay
                                                 : bench::FloorSaveDay;
        QWidget window;
        showPlainMainWindow(window, day);
        std::string stamp;
        floorRuns(
            c, "save failed", [&] { return save(db, code, date, day, stamp); }, sample,
            [&] {
                window.repaint();
                stamp = timestampNow();
            });
        check(dayCheck(db));
    } else if (c.row == "report") {
        bench::Day day;
        if (!bench::FloorLoadDay(c.dataset, code, date, day))
            fail("cannot read the day");
        QList<WorkItem> items;
        for (const bench::Item &item : day.items)
            items.append(WorkItem{QString::fromStdString(item.code), QString::fromStdString(item.head),
                                  QString::fromStdString(item.detail)});
        QWidget window;
        showPlainMainWindow(window, day);
        const std::string file = c.work + "/report-floor.txt";
        // The report's text made from the items and converted to CP932, as each click does, then written;
        // the window repainted between runs, as the program's is after each click.
        floorRuns(
            c, "write failed",
            [&] {
                const QByteArray encoded =
                    ToCp932(BuildReportText(QString::fromStdString(date), QString::fromStdString(day.start),
                                            QString::fromStdString(day.end), items));
                return bench::FloorWriteFile(file, std::string(encoded.constData(), size_t(encoded.size())));
            },
            sample, [&] { window.repaint(); });
        const std::string written = readFile(file);
        check(std::to_string(written.size()) + " bytes " + hex(bench::Digest(written)));
    } else if (c.row == "month") {
        std::vector<std::vector<std::string>> grid;
        floorRuns(
            c, "month failed", [&] { return bench::FloorMonthGrid(c.dataset, c.param, grid); }, bare,
            [&] { grid.clear(); });
        openedRuns(c, [&](Rows &shown) { return bench::FloorMonthGrid(c.dataset, c.param, shown); });
        check(gridCheck(grid));
    } else if (c.row == "totals") {
        std::string text;
        floorRuns(
            c, "totals failed", [&] { return bench::FloorTotals(c.dataset, FiveYearsFrom, FiveYearsTo, text); },
            sample, [&] { text.clear(); });
        check(std::to_string(text.size()) + " bytes " + hex(bench::Digest(text)));
    } else if (c.row == "csv" || c.row == "xlsx") {
        const std::string file = c.work + "/export-floor." + c.row;
        const auto write = c.row == "csv" ? bench::FloorCsv : bench::FloorXlsx;
        floorRuns(c, "export failed", [&] { return write(c.dataset, OneYearFrom, OneYearTo, file); });
        check(c.row == "csv" ? fileCheck(file) : sheetCheck(file));
    } else if (c.row == "index") {
        std::string db;
        for (int run = 0; run < c.runs; ++run) {
            db = workingCopy(c, "index-floor.db");
            bool ok = false;
            timed([&] { ok = bench::FloorBuildIndex(db); });
            if (!ok)
                fail("the index was not built");
        }
        check(bench::IndexCheck(db));
        std::remove(db.c_str());
    } else if (c.row == "find") {
        std::vector<bench::Hit> hits;
        const auto page = [&c](std::vector<bench::Hit> &into) {
            return isServer(c.dataset) ? bench::TeamFloorSearchPage(c.dataset, c.param, into)
                                       : bench::FloorSearchPage(c.dataset, c.param, into);
        };
        floorRuns(
            c, "search failed", [&] { return page(hits); }, bare, [&] { hits.clear(); });
        shownRuns(c, [&](Rows &shown) {
            std::vector<bench::Hit> page1;
            if (!page(page1))
                return false;
            for (bench::Hit &hit : page1)
                shown.push_back({std::move(hit.date), std::move(hit.code), std::move(hit.name), std::move(hit.item),
                                 std::move(hit.head)});
            return true;
        });
        check(hitsCheck(hits));
    } else if (c.row == "open") {
        // A plain dialog with an empty table, made and shown, timed until it has painted.
        WindowPaintWatch watch(QStringLiteral("floorWindow"));
        for (int run = 0; run <= c.runs; ++run) {
            watch.arm();
            const auto t0 = Clock::now();
            QDialog window;
            window.setObjectName(QStringLiteral("floorWindow"));
            bench::PlainDialog(window, c.param);
            window.show();
            const auto deadline = Clock::now() + std::chrono::seconds(10);
            while (!watch.painted && Clock::now() < deadline)
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (!watch.painted)
                fail("the floor's window was never painted");
            if (run > 0)
                sample(watch.paintedAt - t0);
            settle();
        }
        check("a window painted");
    } else if (c.row == "compact") {
        QWidget window;
        showPlainMainWindow(window, {});
        std::string db;
        for (int run = 0; run < c.runs; ++run) {
            db = workingCopy(c, "compact-floor.db");
            bool ok = false;
            timed([&] { ok = bench::FloorCompact(db); });
            if (!ok)
                fail("compaction failed");
        }
        checkCompacted(db);
    } else {
        fail("no such row: " + c.row);
    }
    return reportPeak();
}

// ---- The driver ----------------------------------------------------------------------------------------

struct Outcome {
    std::vector<double> ms;
    std::vector<double> bareMs;    // a shown floor's engine alone
    std::vector<double> listedMs;  // a list in pages: until every row was in
    std::vector<double> stalledMs; // and the longest turn of the event loop meanwhile
    std::vector<std::string> checks;
    std::vector<std::string> notes;
    long peakKb = 0;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Starts a program with its stdout on a pipe; each line goes to onLine with the time it arrived.
// Returns false when the child failed; peakKb is its rusage peak, which counts this process's size too
// (the children therefore report their own VmHWM on a "peak" line).
bool spawnChild(const std::vector<std::string> &args, const std::vector<std::string> &extraEnv,
                const std::function<void(const std::string &, Clock::time_point)> &onLine, long &peakKb,
                Clock::time_point *started = nullptr)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool replaced = std::any_of(extraEnv.begin(), extraEnv.end(), [&](const std::string &x) {
            return entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        });
        if (!replaced)
            envStore.push_back(entry);
    }
    envStore.insert(envStore.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char *> envp;
    for (const std::string &e : envStore)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = 0;
    if (started)
        *started = Clock::now();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        std::fprintf(stderr, "cannot start %s\n", args[0].c_str());
        return false;
    }
    std::string pending;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        const auto at = Clock::now();
        pending.append(buffer, size_t(n));
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            onLine(pending.substr(0, end), at);
            pending.erase(0, end + 1);
        }
    }
    ::close(fds[0]);
    int status = 0;
    struct rusage usage {
    };
    ::wait4(pid, &status, 0, &usage);
    peakKb = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string self;

// The program's side of the worvane-report rows: the built tool, a process of its own for each run, timed
// from its start to its exit. Its peak memory is the rusage of that process, which would show this one's
// size instead only if this one (no QApplication) were the larger.
int toolSide(const Child &c)
{
    const std::string tool = self.substr(0, self.rfind('/')) + "/../tools/worvane-report";
    const std::string file = c.work + "/export-program." + c.row;
    std::vector<std::string> args{tool, "--db", c.dataset};
    if (c.row == "totals")
        args.insert(args.end(),
                    {"totals", "--from", typedDate(FiveYearsFrom), "--to", typedDate(FiveYearsTo)});
    else
        args.insert(args.end(), {"export", "--from", typedDate(OneYearFrom), "--to", typedDate(OneYearTo),
                                 "--format", c.row, "--out", file});
    long peakKb = 0;
    std::string out;
    for (int run = 0; run <= c.runs; ++run) {
        out.clear();
        long runPeakKb = 0;
        const auto t0 = Clock::now();
        const bool ok = spawnChild(
            args, {}, [&](const std::string &line, Clock::time_point) { out += line + '\n'; }, runPeakKb);
        const auto took = Clock::now() - t0;
        if (!ok)
            fail("worvane-report failed: " + tool);
        if (run > 0) {
            sample(took);
            peakKb = std::max(peakKb, runPeakKb);
        }
    }
    if (c.row == "totals")
        check(std::to_string(out.size()) + " bytes " + hex(bench::Digest(out)));
    else
        check(c.row == "csv" ? fileCheck(file) : sheetCheck(file));
    std::printf("peak %ld\n", peakKb);
    std::fflush(stdout);
    return 0;
}

Outcome runSide(const std::string &row, const std::string &side, const std::string &dataset,
                const std::string &work, int runs, const std::string &param = std::string())
{
    Outcome out;
    bool failed = false;
    long rusagePeak = 0;
    const bool ok = spawnChild(
        {self, "--child", row, side, dataset, work, std::to_string(runs), param},
        {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + work + "/runtime"},
        [&](const std::string &line, Clock::time_point) {
            if (line.rfind("sample ", 0) == 0)
                out.ms.push_back(std::stod(line.substr(7)) / 1e6);
            else if (line.rfind("bare ", 0) == 0)
                out.bareMs.push_back(std::stod(line.substr(5)) / 1e6);
            else if (line.rfind("listed ", 0) == 0)
                out.listedMs.push_back(std::stod(line.substr(7)) / 1e6);
            else if (line.rfind("stalled ", 0) == 0)
                out.stalledMs.push_back(std::stod(line.substr(8)) / 1e6);
            else if (line.rfind("check ", 0) == 0)
                out.checks.push_back(line.substr(6));
            else if (line.rfind("note ", 0) == 0)
                out.notes.push_back(line.substr(5));
            else if (line.rfind("peak ", 0) == 0)
                out.peakKb = std::stol(line.substr(5));
            else if (line.rfind("fail ", 0) == 0) {
                failed = true;
                std::fprintf(stderr, "%s/%s: %s\n", row.c_str(), side.c_str(), line.c_str() + 5);
            }
        },
        rusagePeak);
    if (!ok || failed || out.ms.empty()) {
        std::fprintf(stderr, "the %s side of row %s failed\n", side.c_str(), row.c_str());
        std::exit(1);
    }
    return out;
}

// Start-up: from starting the process to the line "shown", for the program, the plain window with the same
// controls and an empty window (kept as the floor's engine alone) in turn.
std::pair<Outcome, Outcome> runStartup(const std::string &dataset, const std::string &work, int runs)
{
    const std::string binDir = self.substr(0, self.rfind('/'));
    const std::string folder = work + "/startup";
    const std::string runtime = work + "/runtime";
    ::mkdir(folder.c_str(), 0700);
    ::mkdir(runtime.c_str(), 0700);
    const std::string host = folder + "/worvane-bench-startup";
    if (!bench::CopyFile(binDir + "/worvane-bench-startup", host) || ::chmod(host.c_str(), 0700) != 0) {
        std::fprintf(stderr, "cannot copy the start-up host\n");
        std::exit(1);
    }
    std::ofstream(folder + "/Worvane.ini")
        << "[MDB Path]\nPath=" << dataset << "\n\n[Default Value]\nPJCode=" << bench::Dataset::BigDayCode
        << "\n";
    const std::vector<std::string> env{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + runtime};
    std::pair<Outcome, Outcome> result;
    auto once = [&](const std::vector<std::string> &command, Outcome &out, std::vector<double> Outcome::*times,
                    bool keep) {
        Clock::time_point started, shown{};
        long peak = 0, rusagePeak = 0;
        const bool ok = spawnChild(
            command, env,
            [&](const std::string &line, Clock::time_point at) {
                if (line == "shown")
                    shown = at;
                else if (line.rfind("peak ", 0) == 0)
                    peak = std::stol(line.substr(5));
            },
            rusagePeak, &started);
        if (!ok || shown == Clock::time_point{}) {
            std::fprintf(stderr, "start-up of %s failed\n", command.front().c_str());
            std::exit(1);
        }
        if (keep) {
            (out.*times).push_back(std::chrono::duration<double, std::milli>(shown - started).count());
            if (times == &Outcome::ms)
                out.peakKb = std::max(out.peakKb, peak);
        }
    };
    const std::string plain = binDir + "/worvane-bench-plain";
    for (int run = 0; run <= runs; ++run) {
        once({host}, result.first, &Outcome::ms, run > 0);
        once({plain}, result.second, &Outcome::ms, run > 0);
        once({plain, "--empty"}, result.second, &Outcome::bareMs, run > 0);
    }
    return result;
}

std::string machine()
{
    std::string cpu = "?";
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);)
        if (line.rfind("model name", 0) == 0) {
            cpu = line.substr(line.find(':') + 2);
            break;
        }
    long memKb = 0;
    std::ifstream mem("/proc/meminfo");
    std::string key;
    mem >> key >> memKb;
    char text[256];
    std::snprintf(text, sizeof text, "%ld cores, %s, %.1f GB memory", sysconf(_SC_NPROCESSORS_ONLN),
                  cpu.c_str(), double(memKb) / 1024 / 1024);
    return text;
}

std::string fmtMs(double ms)
{
    char s[32];
    if (ms >= 1000)
        std::snprintf(s, sizeof s, "%.2f s", ms / 1000);
    else
        std::snprintf(s, sizeof s, ms < 10 ? "%.2f ms" : "%.0f ms", ms);
    return s;
}

std::string fmtMb(long kb)
{
    char s[32];
    std::snprintf(s, sizeof s, "%.0f MB", double(kb) / 1024);
    return s;
}

int driver(int argc, char **argv)
{
    int runs = 7;
    std::string data = "/tmp/worvane-bench";
    std::string server; // the team database holding the generated data, as its person's URI
    bool curve = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--no-curve"))
            curve = false;
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--data") && i + 1 < argc)
            data = argv[++i];
        else if (!std::strcmp(argv[i], "--server") && i + 1 < argc)
            server = argv[++i];
        else {
            std::fprintf(stderr, "usage: worvane-bench [--runs N] [--data FOLDER] [--server postgresql://...] [--no-curve]\n");
            return 2;
        }
    }
    // Generated in a child of its own, so that the driver stays small.
    const auto generate = [&](const std::vector<std::string> &size) {
        std::string path;
        long generatorPeak = 0;
        std::vector<std::string> args{self, "--generate", data};
        args.insert(args.end(), size.begin(), size.end());
        if (!spawnChild(
                args, {}, [&](const std::string &line, Clock::time_point) { path = line; }, generatorPeak) ||
            path.empty())
            std::exit(1);
        return path;
    };
    const std::string dataset = generate({});
    char workTemplate[] = "/tmp/worvane-bench-run-XXXXXX";
    if (!::mkdtemp(workTemplate))
        return 1;
    const std::string work = workTemplate;
    ::mkdir((work + "/runtime").c_str(), 0700);
    struct stat st {
    };
    ::stat(dataset.c_str(), &st);

    struct Row {
        std::string action, floor, target;
        Outcome program, base;
        bool higherIsBetter = false; // the ratio is floor / program ("times faster")
        double limit = 0;            // the ratio's target; 0 where the target is absolute
        double limitMs = 0;          // the absolute target: the program's median at most this long
        long limitKb = 0;            // and its peak memory at most this much
        double frameMs = 0;          // an interactive action: its median within this (a frame), or 0
    };
    std::vector<Row> table;
    // Both sides of a row on one database; they must have produced the same result. With two passes, the
    // second in the other order (program, floor, floor, program), so that a slow spell of this machine
    // weighs on both sides alike; the samples of the two are taken together.
    const auto both = [&](const std::string &row, const std::string &floorSide, const std::string &db, int n,
                          const std::string &param, bool twoPasses = true) {
        std::pair<Outcome, Outcome> out{runSide(row, "program", db, work, n, param),
                                        runSide(row, floorSide, db, work, n, param)};
        std::vector<std::string> differing;
        if (out.first.checks != out.second.checks)
            differing = out.second.checks;
        if (twoPasses) {
            const Outcome floor = runSide(row, floorSide, db, work, n, param);
            const Outcome program = runSide(row, "program", db, work, n, param);
            for (const auto &[into, from] : {std::pair{&out.first, &program}, std::pair{&out.second, &floor}}) {
                for (auto times : {&Outcome::ms, &Outcome::bareMs, &Outcome::listedMs, &Outcome::stalledMs})
                    ((*into).*times).insert(((*into).*times).end(), ((*from).*times).begin(), ((*from).*times).end());
                into->peakKb = std::max(into->peakKb, from->peakKb);
                if (from->checks != out.first.checks && differing.empty())
                    differing = from->checks;
            }
        }
        if (!differing.empty()) {
            std::fprintf(stderr, "row %s on %s: the two sides did not produce the same result:\n", row.c_str(),
                         db.c_str());
            for (const auto &c : out.first.checks)
                std::fprintf(stderr, "  program: %s\n", c.c_str());
            for (const auto &c : differing)
                std::fprintf(stderr, "  other:   %s\n", c.c_str());
            std::exit(1);
        }
        return out;
    };
    const auto frame = [&](double ms = 16) { table.back().frameMs = ms; };
    std::string rowDataset = dataset; // the full-text search rows run on the copy the index row built
    auto pair = [&](const std::string &row, const std::string &action, const std::string &floor, double limit,
                    const std::string &floorSide = "floor", int n = 0, const std::string &param = {}) {
        Row r{action, floor, "≤ " + std::to_string(limit).substr(0, 3), {}, {}, false, limit};
        std::fprintf(stderr, "%s ...\n", action.c_str());
        std::tie(r.program, r.base) = both(row, floorSide, rowDataset, n ? n : runs, param, limit > 0);
        table.push_back(r);
        return r;
    };
    // A row whose target is a time (and a peak memory) of its own; the ratio to its floor is shown beside.
    auto absolute = [&](const std::string &row, const std::string &action, const std::string &floor,
                        double limitMs, long limitMb, const std::string &param = {}, int n = 0) {
        pair(row, action, floor, 0, "floor", n, param);
        Row &r = table.back();
        r.limit = 0;
        r.limitMs = limitMs;
        r.limitKb = limitMb * 1024;
        char time[32];
        std::snprintf(time, sizeof time, limitMs >= 500 ? "%g s" : "%g ms",
                      limitMs >= 500 ? limitMs / 1000 : limitMs);
        r.target = "≤ " + std::string(time) + (limitMb ? ", ≤ " + std::to_string(limitMb) + " MB" : "");
    };

    // A list in pages, as its rows: the times to every row listed (the floor: the whole SELECT shown).
    const auto listedRow = [&](const Row &first, const std::string &action, const std::string &floor) {
        Row r = first;
        r.action = action;
        r.floor = floor;
        r.program.ms = first.program.listedMs;
        r.base.ms = first.base.listedMs;
        r.base.bareMs.clear();
        table.push_back(r);
    };
    listedRow(pair("search", "project search of all 32,766 projects, click to the first page painted",
                   "the same SELECT with the same LIMIT stepped with the C API into a plain QTableView, painted",
                   1.5),
              "the same search, click to every project listed",
              "the whole SELECT stepped with the C API into a plain QTableView, painted");
    table[table.size() - 2].frameMs = 16;
    frame();
    pair("load", "search and load of a day with 99 items, click to list shown",
         "the two SELECTs through the C API, the items into a plain QTableView, painted", 1.5);
    frame();
    const Row save = pair("save", "save of a day with 99 items (confirmation answered)",
                          "one raw transaction of the same statements (the day read again, then written)", 1.2);
    frame();
    std::fprintf(stderr, "the original's way ...\n");
    Row original{"the same save",
                 "the original's way: one autocommit statement per item",
                 "≥ 10× faster",
                 save.program,
                 runSide("save", "original", dataset, work, runs),
                 true,
                 10};
    if (original.base.checks != save.program.checks) {
        std::fprintf(stderr, "row save: the original's way stored a different day\n");
        return 1;
    }
    table.push_back(original);
    pair("report", "report file of a 99-item day",
         "the same text made and converted to CP932, written with one write() to a new file, fdatasync, renamed "
         "over the old", 1.5);
    frame();
    pair("compact", "compaction at exit of the " + std::to_string(st.st_size / 1000000) + " MB file",
         "raw VACUUM on the same file", 1.2, "floor", std::max(3, runs / 2 + 1));
    std::fprintf(stderr, "start-up ...\n");
    {
        auto [program, bare] = runStartup(dataset, work, runs);
        table.push_back(Row{"start-up to the main window shown",
                            "a plain Qt program showing a window with the same controls, captions, font and size "
                            "(its engine alone: the same program showing an empty window)",
                            "≤ 1.5", program, bare, false, 1.5});
        frame(100);
    }
    for (const auto &[name, action, floor] :
         {std::tuple<std::string, std::string, std::string>{
              "frmPJViewer", "the project window, click on … to painted",
              "a plain dialog with the same controls and font (2 labels, 2 fields, 3 buttons, an empty QTableView "
              "with the list's headings), made, shown and painted"},
          {"frmCalendar", "the calendar window, click on … to painted",
           "a plain dialog with the same controls (a QCalendarWidget, a button), made, shown and painted"}}) {
        pair("open", "opening " + action, floor, 1.5, "floor", 0, name);
        frame();
    }
    const std::string month = bench::BusiestMonth(dataset);
    if (month.empty())
        return 1;
    pair("month", "month view of the busiest month (" + month + "), F7 to painted",
         "a window opened with a plain QTableView, one SELECT of the month's days stepped with the C API, the "
         "grid's texts set and sized to their contents, painted",
         1.5, "floor", 0, month);
    frame();
    absolute("totals", "worvane-report totals over five years (26,080 days), start to exit",
             "the same SELECT with the item counts through the C API, summed in C++", 500, 0);
    absolute("csv", "worvane-report export of one year to CSV, start to exit",
             "the same SELECTs through the C API, the same bytes written with write() (no fdatasync)", 2000,
             100);
    absolute("xlsx", "worvane-report export of one year to .xlsx, start to exit",
             "the same SELECTs through the C API, the sheet 日報's cells written with libxlsxwriter", 5000,
             100);

    if (!server.empty()) {
        rowDataset = server;
        pair("load", "team database (local PostgreSQL 15): search and load of the 99-item day, click to list shown",
             "the two SELECTs through libpq on a connection kept open between runs, the items into a plain QTableView, "
             "painted",
             1.5);
        frame();
        pair("save", "team database (local PostgreSQL 15): save of the 99-item day (confirmation answered)",
             "the same statements through libpq in one transaction on the kept connection (the items in one INSERT)",
             1.2);
        frame();
        absolute("find",
                 "team database (local PostgreSQL 15): full-text search for テスト (3 characters: the trigram index), "
                 "Enter to the first page painted",
                 "the store's SELECTs for the page through libpq, each day's hits in list order and compared in the "
                 "search form, into a plain QTableView, painted",
                 50, 0, "テスト");
        frame();
        rowDataset = dataset;
    }
    absolute("index", "building the full-text search index over every item, from none",
             "the same tables filled through the C API in one transaction (the same search forms and keys)",
             120000, 0, {}, 3);
    rowDataset = indexedCopy(work);
    pair("open", "opening the search window (index built), F8 to painted",
         "a plain dialog with the same controls and font (5 labels, 4 fields, a button, an empty QTableView with "
         "the list's headings), made, shown and painted",
         1.5, "floor", 0, "frmSearch");
    frame();
    absolute("find", "full-text search for テスト (3 characters: the trigram index), Enter to the first page painted",
             "the store's statements for the page, titles and names through the C API, into a plain QTableView, "
             "painted", 50, 0, "テスト");
    frame();
    absolute("find", "full-text search for 確認 (2 characters: every entry compared), Enter to the first page painted",
             "the same, the entries compared with instr()", 1000, 0, "確認");
    frame();
    absolute("find", "full-text search for 会議 (no hit: every entry read), Enter to the empty list painted",
             "the same, the entries compared with instr()", 1000, 0, "会議");

    // ---- The scale curve: the rows whose cost could grow with the file, at three sizes of it ----------
    struct CurveRow {
        std::string action, sizes, target;
        std::pair<Outcome, Outcome> at[3];
        std::vector<double> Outcome::*times = &Outcome::ms;
        double limitMs[3] = {16, 16, 16}; // each size's median (or, for a wait, the longest) at most this
        double growthLimit = 0;           // the largest size's over the smallest's at most this, or 0
    };
    std::vector<CurveRow> curveRows;
    if (curve) {
        std::fprintf(stderr, "the scale curve's databases ...\n");
        const std::string projectFiles[3] = {generate({"1", "1000"}), generate({"1", "32766"}),
                                             generate({"1", "1000000"})};
        const std::string yearFiles[3] = {projectFiles[1], dataset, generate({"25", "32766"})};
        const std::string projectSizes = "1,000 / 32,766 / 1,000,000 projects (one year of days)";
        const std::string yearSizes = "1 / 5 / 25 years of days (32,766 projects)";
        CurveRow search;
        search.action = "project search, click to the first page painted";
        search.sizes = projectSizes;
        search.target = "≤ 16 ms, ≤ 16 ms, ≤ 100 ms";
        search.limitMs[2] = 100;
        for (int i = 0; i < 3; ++i) {
            std::fprintf(stderr, "project search on %s ...\n", projectFiles[i].c_str());
            search.at[i] = both("search", "floor", projectFiles[i], runs, {});
        }
        curveRows.push_back(search);
        CurveRow every = search;
        every.action = "the same, click to every project listed";
        every.times = &Outcome::listedMs;
        every.target = "≤ 16 ms at 32,766";
        every.limitMs[0] = every.limitMs[2] = 0;
        every.limitMs[1] = 16;
        curveRows.push_back(every);
        CurveRow wait = search;
        wait.action = "the longest a key waited while the rest of the list came in (longest of every run)";
        wait.times = &Outcome::stalledMs;
        wait.target = "≤ 16 ms";
        wait.limitMs[2] = 16;
        curveRows.push_back(wait);
        const std::pair<const char *, const char *> dayRows[] = {
            {"load", "search and load of the 99-item day, click to list shown"},
            {"save", "save of the 99-item day (confirmation answered)"},
            {"report", "report file of the 99-item day"},
            {"month", "month view of 2025/06, F7 to painted"}};
        for (const auto &[row, action] : dayRows) {
            CurveRow r;
            r.action = action;
            r.sizes = yearSizes;
            r.target = "≤ 16 ms, and 25 years ≤ 1.5 × 1 year";
            r.growthLimit = 1.5;
            for (int i = 0; i < 3; ++i) {
                std::fprintf(stderr, "%s on %s ...\n", row, yearFiles[i].c_str());
                r.at[i] = both(row, "floor", yearFiles[i], runs, std::string(row) == "month" ? "2025/06" : "");
            }
            curveRows.push_back(r);
        }
    }

    std::printf("Machine: %s. Database: %s, %.0f MB. Median of %d runs per side (compaction %d) in two passes, "
                "the second in the other order (rows with a ratio target, and the scale curve); of %d runs in one "
                "pass for rows with a time of their own.\n\n",
                machine().c_str(), dataset.c_str(), double(st.st_size) / 1e6, 2 * runs,
                2 * std::max(3, runs / 2 + 1), runs);
    std::printf("| action | worvane | floor measured beside it | floor | its engine alone | ratio | target | | "
                "frame | peak memory worvane / floor | memory ratio (≤ 1.5) |\n");
    std::printf("|---|---:|---|---:|---:|---:|---|---|---|---:|---|\n");
    bool allMet = true;
    for (const Row &r : table) {
        const double p = median(r.program.ms), b = median(r.base.ms);
        const double ratio = r.higherIsBetter ? b / p : p / b;
        const bool met = r.limit == 0 ? p <= r.limitMs && (r.limitKb == 0 || r.program.peakKb <= r.limitKb)
                         : r.higherIsBetter ? ratio >= r.limit
                                            : ratio <= r.limit;
        const bool inFrame = r.frameMs == 0 || p <= r.frameMs;
        // Peak memory at most half as much again as the floor's (the same save beside the original's
        // way is the save row's own, not measured again).
        const double memory = double(r.program.peakKb) / double(std::max(1L, r.base.peakKb));
        const bool memoryMet = r.higherIsBetter || memory <= 1.5;
        allMet &= met && inFrame && memoryMet;
        char ratioText[32], frameText[48];
        std::snprintf(ratioText, sizeof ratioText, r.higherIsBetter ? "%.1f× faster" : "%.2f", ratio);
        std::snprintf(frameText, sizeof frameText, r.frameMs == 0 ? "" : inFrame ? "≤ %g ms met" : "≤ %g ms **missed**",
                      r.frameMs);
        const std::string engine = r.base.bareMs.empty() ? std::string() : fmtMs(median(r.base.bareMs));
        char memoryText[48] = "";
        if (!r.higherIsBetter)
            std::snprintf(memoryText, sizeof memoryText, "%.2f %s", memory, memoryMet ? "met" : "**missed**");
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s / %s | %s |\n", r.action.c_str(),
                    fmtMs(p).c_str(), r.floor.c_str(), fmtMs(b).c_str(), engine.c_str(), ratioText,
                    r.target.c_str(), met ? "met" : "**missed**", frameText, fmtMb(r.program.peakKb).c_str(),
                    fmtMb(r.base.peakKb).c_str(), memoryText);
    }
    for (const Row &r : table)
        for (const std::string &line : r.program.notes)
            std::printf("\n%s\n", line.c_str());

    if (!curveRows.empty()) {
        std::printf("\nScale curve: each action on three sizes of the database, worvane (its floor beside it, "
                    "measured the same way as above), median of %d runs per side in two passes.\n\n",
                    2 * runs);
        std::printf("| action | sizes | small | medium | large | large / small | target | |\n");
        std::printf("|---|---|---:|---:|---:|---:|---|---|\n");
    }
    for (const CurveRow &r : curveRows) {
        const bool longest = r.times == &Outcome::stalledMs;
        const auto value = [&](const Outcome &o) {
            const std::vector<double> &v = o.*r.times;
            return longest ? (v.empty() ? 0 : *std::max_element(v.begin(), v.end())) : median(v);
        };
        bool met = true;
        std::string cells;
        for (int i = 0; i < 3; ++i) {
            const double p = value(r.at[i].first);
            met &= r.limitMs[i] == 0 || p <= r.limitMs[i];
            cells += " " + fmtMs(p) + (longest ? std::string() : " (" + fmtMs(value(r.at[i].second)) + ")") + " |";
        }
        // A wait of nothing at the small size has no growth to tell.
        const double small = value(r.at[0].first);
        const double growth = small < 0.01 ? 0 : value(r.at[2].first) / small;
        met &= r.growthLimit == 0 || growth <= r.growthLimit;
        allMet &= met;
        char growthText[32] = "";
        if (growth > 0)
            std::snprintf(growthText, sizeof growthText, "%.2f×", growth);
        std::printf("| %s | %s |%s %s | %s | %s |\n", r.action.c_str(), r.sizes.c_str(), cells.c_str(), growthText,
                    r.target.c_str(), met ? "met" : "**missed**");
    }
    std::string cleanup = "rm -rf '" + work + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", work.c_str());
    return allMet ? 0 : 3;
}

} // namespace

int main(int argc, char **argv)
{
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    self = n > 0 ? std::string(exe, size_t(n)) : std::string(argv[0]);

    if ((argc == 3 || argc == 5) && !std::strcmp(argv[1], "--generate")) {
        QCoreApplication app(argc, argv); // Qt SQL creates the schema
        const std::string path = argc == 3 ? bench::EnsureDataset(argv[2])
                                           : bench::EnsureDataset(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
        std::printf("%s\n", path.c_str());
        return path.empty() ? 1 : 0;
    }
    if (argc == 8 && !std::strcmp(argv[1], "--child")) {
        const Child c{argv[2], argv[3], argv[4], argv[5], std::atoi(argv[6]), argv[7]};
        if (c.side == "program" && (c.row == "totals" || c.row == "csv" || c.row == "xlsx"))
            return toolSide(c);
        if (c.side == "program") {
            int qtArgc = 1;
            return programSide(c, qtArgc, argv);
        }
        if (c.row == "search" || c.row == "load" || c.row == "month" || c.row == "find" || c.row == "open" ||
            c.row == "save" || c.row == "report" || c.row == "compact") {
            int qtArgc = 1; // the floor shows its rows, or the main window the program shows
            QApplication app(qtArgc, argv);
            return floorSide(c);
        }
        return floorSide(c);
    }
    return driver(argc, argv);
}
