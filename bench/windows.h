#pragma once

// What the sides of the benchmark's rows share on the screen: the messages the program's windows show,
// watching a widget or a window paint, the floors' plain table, and running a side's repeated work.
#include "harness.h"

#include "app/messagepresenter.h"
#include "core/values.h"
#include "store/store.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QDialog>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

#include <memory>

namespace worvane
{
class FlexGrid;
class frmWorvane;
} // namespace worvane

namespace bench
{

using namespace worvane;

class PaintWatch;
struct Messages;

// ---- Waiting for the screen
// ---------------------------------------------------------------------------------- Until the widget watched
// has painted more than `before` times (failing after ten seconds).
void waitForPaint(const PaintWatch &watch, int before);
// A few turns of the event loop, for what an action left queued.
void settle();
// Shown, and exposed on the (offscreen) screen.
void showWindow(QWidget *w);

// ---- The program's windows
// ------------------------------------------------------------------------------------- The day of 99 items
// looked up in the main window, as a user would (the project code and date typed, 検索).
void loadBigDay(frmWorvane &w, Messages &messages);
// A function key pressed in the main window, timed until the grid it opens (the table of that name) has
// painted, runs + 1 times (the first not counted); the window is closed each time, and the grid's texts
// of the last run are the row's check.
void keyToGridPainted(frmWorvane &w, Messages &messages, int runs, Qt::Key key, const QString &grid);
// The texts a list holds from its first column on: the whole text of a work item, as shown otherwise.
std::string gridDigest(const FlexGrid *grid, int firstCol);

// ---- The floors' windows
// --------------------------------------------------------------------------------------- What the program
// shows while it saves, writes the report or closes: its main window, here the plainest way (plainwindow.h),
// its table holding the day's items; shown and painted.
void showPlainMainWindow(QWidget &window, const Day &day);

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

// Watches every widget for the first paint of a window's grid (the viewport of the table named) after arm();
// once that paint has been delivered and flushed, keeps the time and the grid's texts and closes the window.
class GridPaintWatch : public QObject
{
public:
    explicit GridPaintWatch(QString table) : m_name(std::move(table)) { qApp->installEventFilter(this); }
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
        if (!view || view->viewport() != watched || view->objectName() != m_name)
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
    QString m_name;
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

// ---- The floor's way of showing rows: a plain QTableView over a trivial model
// ------------------------------

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
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
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

template <class Work>
void floorRuns(const Child &c, const char *failed, Work work, void (*report)(Clock::duration) = sample)
{
    floorRuns(c, failed, work, report, [] {});
}

// What the program's side of a row works with, as main makes it: the windows' messages (recorded, the save
// question answered Yes), the settings, and the program's one store, on the row's data.
struct Program {
    explicit Program(const Child &c);
    // Opens another database as the program's store (a row that changes the data works on a copy).
    void open(const std::string &db);

    Messages messages;
    Settings settings;
    std::unique_ptr<Store> store;
};

} // namespace bench
