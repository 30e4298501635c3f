// The month's chart: グラフ[F8] in the month window holding the busiest month, to the chart painted; the
// floor, the same bars summed from the month's rows and painted with fillRect in a plain widget.
#include "rows.h"

#include "month/frmmonthview.h"
#include "widgets/stackedbarchart.h"

#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include <map>

namespace bench
{

namespace
{

// The day totals a chart holds, in minutes, as the check both sides give.
std::string barsCheck(const std::vector<long long> &totals)
{
    std::string text;
    for (const long long minutes : totals)
        text += std::to_string(minutes) + ' ';
    return std::to_string(totals.size()) + " bars " + hex(Digest(text));
}

void program(Program &p, const Child &c)
{
    frmMonthView w(*p.store, p.settings,
                   QDate::fromString(QString::fromStdString(c.param + "/15"), QStringLiteral("yyyy/MM/dd")));
    showWindow(&w);
    auto *chart = w.findChild<StackedBarChart *>(QStringLiteral("chtMONTH"));
    if (!chart)
        fail("the month window has no chart");
    PaintWatch watch(chart);
    for (int run = 0; run <= c.runs; ++run) {
        settle();
        const int before = watch.count;
        const auto t0 = Clock::now();
        QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_F8);
        waitForPaint(watch, before);
        if (run > 0)
            sample(Clock::now() - t0);
        QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, Qt::Key_F8); // back to the grid
    }
    const QList<qint64> totals = chart->chart().bucketTotals;
    check(barsCheck(std::vector<long long>(totals.begin(), totals.end())));
    p.messages.expectNone();
}

// The plainest chart: a bar per day, a colour per project stacked, the day's total above.
class PlainBars : public QWidget
{
public:
    std::vector<std::vector<long long>> bars; // per day, per project
    std::vector<long long> totals;

protected:
    void paintEvent(QPaintEvent *) override
    {
        static const QColor colours[] = {QColor(0xE6, 0x9F, 0x00), QColor(0x56, 0xB4, 0xE9), QColor(0x00, 0x9E, 0x73),
                                         QColor(0xF0, 0xE4, 0x42), QColor(0x00, 0x72, 0xB2), QColor(0xD5, 0x5E, 0x00),
                                         QColor(0xCC, 0x79, 0xA7)};
        QPainter painter(this);
        long long highest = 60;
        for (const long long t : totals)
            highest = std::max(highest, t);
        const qreal step = qreal(width()) / qreal(std::max<size_t>(1, bars.size()));
        const qreal scale = qreal(height() - 20) / qreal(highest);
        for (size_t d = 0; d < bars.size(); ++d) {
            qreal y = height();
            for (size_t p = 0; p < bars[d].size(); ++p) {
                if (bars[d][p] <= 0)
                    continue;
                const qreal h = qreal(bars[d][p]) * scale;
                painter.fillRect(QRectF(qreal(d) * step, y - h, step * 0.7, h), colours[p % 7]);
                y -= h;
            }
            if (totals[d] > 0)
                painter.drawText(QRectF(qreal(d) * step, y - 16, step, 16), Qt::AlignCenter,
                                 QStringLiteral("%1:%2").arg(totals[d] / 60).arg(totals[d] % 60, 2, 10, QLatin1Char('0')));
        }
    }
};

void floor(const Child &c)
{
    // The month read once, as the month window read it when it opened.
    std::vector<DayTime> times;
    if (!FloorMonthTimes(c.dataset, c.param, times))
        fail("reading the month failed");
    const QDate first = QDate::fromString(QString::fromStdString(c.param + "/01"), QStringLiteral("yyyy/MM/dd"));
    QWidget window;
    window.resize(1000, 560);
    auto *bars = new PlainBars;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(bars);
    bars->hide();
    showWindow(&window);
    PaintWatch watch(bars);
    for (int run = 0; run <= c.runs; ++run) {
        settle();
        const int before = watch.count;
        const auto t0 = Clock::now();
        std::map<std::string, size_t> projectOf;
        for (const DayTime &t : times)
            projectOf.emplace(t.code, projectOf.size());
        bars->bars.assign(size_t(first.daysInMonth()), std::vector<long long>(projectOf.size(), 0));
        bars->totals.assign(size_t(first.daysInMonth()), 0);
        for (const DayTime &t : times)
            if (t.minutes >= 0) {
                bars->bars[size_t(t.day - 1)][projectOf[t.code]] += t.minutes;
                bars->totals[size_t(t.day - 1)] += t.minutes;
            }
        bars->show();
        waitForPaint(watch, before);
        if (run > 0)
            sample(Clock::now() - t0);
        bars->hide();
    }
    check(barsCheck(bars->totals));
}

} // namespace

const Row ChartRow{"chart", program, floor};

} // namespace bench
