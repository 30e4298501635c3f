#include "print/monthpdf.h"

#include "models/monthmodel.h"
#include "print/chartpaint.h"
#include "ranges/rangechart.h"

#include <QBuffer>
#include <QDate>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

namespace worvane
{

namespace
{
// Pages of A4 landscape, each with its number at the foot; lines of text that go on to the next page.
class Pages
{
public:
    explicit Pages(QPdfWriter &writer) : m_writer(writer), m_painter(&writer)
    {
        // Latin letters and digits from DejaVu Sans: Noto Sans CJK's were written so that a PDF reader's
        // text extraction (copy, search) lost the digits after a letter ("A0012345" read "A").
        m_font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans CJK JP")});
        m_font.setPointSizeF(8);
        m_painter.setFont(m_font);
        m_area = QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
        m_body = m_area.adjusted(0, 0, 0, -lineHeight() * 2);
        m_y = m_body.top();
    }
    QPainter &painter() { return m_painter; }
    QRectF body() const { return m_body; }
    qreal lineHeight() const { return QFontMetricsF(m_painter.font(), &m_writer).height() * 1.15; }
    qreal y() const { return m_y; }
    void moveTo(qreal y) { m_y = y; }

    void finishPage()
    {
        m_painter.save();
        m_painter.setFont(m_font);
        m_painter.drawText(QRectF(m_area.left(), m_area.bottom() - lineHeight(), m_area.width(), lineHeight()),
                           Qt::AlignCenter, QStringLiteral("- %1 -").arg(m_page));
        m_painter.restore();
    }
    void newPage()
    {
        finishPage();
        m_writer.newPage();
        ++m_page;
        m_y = m_body.top();
    }
    // A line of text at the left, indented, its parts a wide space apart; on a new page when this one is full.
    void line(const QStringList &parts, qreal indent = 0)
    {
        if (m_y + lineHeight() > m_body.bottom())
            newPage();
        m_painter.drawText(QRectF(m_body.left() + indent, m_y, m_body.width() - indent, lineHeight()),
                           Qt::AlignLeft | Qt::AlignVCenter, parts.join(QStringLiteral("　")));
        m_y += lineHeight();
    }

private:
    QPdfWriter &m_writer;
    QPainter m_painter;
    QFont m_font;
    QRectF m_area, m_body;
    qreal m_y = 0;
    int m_page = 1;
};

// The month's grid as the month window shows it, in small type, from its model; the rows that do not fit
// go on following pages.
void drawGrid(Pages &pages, const MonthModel &model)
{
    QPainter &painter = pages.painter();
    const QRectF body = pages.body();
    const qreal row = pages.lineHeight();
    // Small type, for 31 days of "12:30" across the page.
    painter.save();
    QFont small = painter.font();
    small.setPointSizeF(6);
    painter.setFont(small);
    const int columns = model.columnCount();
    const qreal codeWidth = body.width() * 0.07, nameWidth = body.width() * 0.13, totalWidth = body.width() * 0.05;
    const qreal dayWidth = (body.width() - codeWidth - nameWidth - totalWidth) / std::max(1, columns - 3);
    const auto widthOf = [&](int column) {
        return column == MonthModel::Code ? codeWidth
               : column == MonthModel::Name ? nameWidth
               : column == columns - 1      ? totalWidth
                                            : dayWidth;
    };
    const auto drawRow = [&](const std::function<QString(int)> &text, bool heading) {
        if (pages.y() + row > body.bottom())
            pages.newPage();
        qreal x = body.left();
        for (int c = 0; c < columns; ++c) {
            const QRectF cell(x, pages.y(), widthOf(c), row);
            if (heading)
                painter.fillRect(cell, QColor(235, 235, 235));
            painter.drawRect(cell);
            const QString shown = QFontMetricsF(painter.font(), painter.device())
                                      .elidedText(text(c), Qt::ElideRight, cell.width() - 2);
            painter.drawText(cell.adjusted(1, 0, -1, 0),
                             (c < MonthModel::FirstDay ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter, shown);
            x += widthOf(c);
        }
        pages.moveTo(pages.y() + row);
    };
    drawRow([&](int c) { return model.headerData(c, Qt::Horizontal).toString().section(u'(', 0, 0); }, true);
    for (int r = 0; r < model.rowCount(); ++r)
        drawRow([&](int c) { return model.index(r, c).data().toString(); }, r == model.totalRow());
    painter.restore();
}
} // namespace

std::optional<QString> WriteMonthPdf(const FileTarget &target, const RangeSelection &selection, const DaySource &days,
                                     const DaysOff &off)
{
    QList<StoredDay> stored;
    const Outcome read = days([&stored](const StoredDay &day) {
        stored.append(day);
        return true;
    });
    if (!read.ok())
        return read.error->text;
    QList<DaySummary> summaries;
    for (const StoredDay &day : stored)
        summaries.append(day.summary);
    const bool withPeople = selection.people.others();

    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&bytes);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        writer.setResolution(300);
        writer.setTitle(QStringLiteral("月報 %1～%2").arg(selection.from, selection.to));
        writer.setCreator(QStringLiteral("Worvane"));
        Pages pages(writer);
        QPainter &painter = pages.painter();
        const QStringList months = MonthsOf(selection.from, selection.to);
        for (qsizetype m = 0; m < months.size(); ++m) {
            if (m > 0)
                pages.newPage();
            const QDate month = QDate::fromString(months[m] + QStringLiteral("/01"), QStringLiteral("yyyy/MM/dd"));
            QList<DaySummary> ofMonth;
            for (const DaySummary &day : summaries)
                if (day.date.startsWith(months[m]))
                    ofMonth.append(day);
            QString title = QStringLiteral("月報　%1年%2月").arg(month.year()).arg(month.month());
            if (selection.people.kind == People::Kind::One)
                title += QStringLiteral("　%1").arg(selection.people.name);
            else if (withPeople)
                title += QStringLiteral("　%1").arg(EveryoneName);
            QFont big = painter.font();
            big.setPointSizeF(14);
            big.setBold(true);
            painter.save();
            painter.setFont(big);
            const qreal titleHeight = QFontMetricsF(big, &writer).height() * 1.3;
            painter.drawText(QRectF(pages.body().left(), pages.y(), pages.body().width(), titleHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, title);
            painter.restore();
            pages.moveTo(pages.y() + titleHeight);
            MonthModel model;
            model.setDaysOff(off);
            model.setMonth(month, ofMonth, withPeople);
            drawGrid(pages, model);
            // The chart under the grid, or on a page of its own when too little is left.
            const qreal chartHeight = pages.body().height() * 0.45;
            if (pages.y() + chartHeight > pages.body().bottom())
                pages.newPage();
            pages.moveTo(pages.y() + pages.lineHeight());
            PaintChart(painter, QRectF(pages.body().left(), pages.y(), pages.body().width(), chartHeight),
                       MonthChart(month, ofMonth, off), -1);
            pages.moveTo(pages.y() + chartHeight);
        }
        // Each day's items, in the 月報 text's order: date, then code.
        pages.newPage();
        for (const StoredDay &day : stored) {
            const DaySummary &s = day.summary;
            QStringList head{s.date, s.code, s.name, s.startTime + QStringLiteral("～") + s.endTime};
            if (withPeople)
                head.prepend(s.person);
            pages.line(head);
            for (const WorkItem &item : day.items) {
                pages.line({item.code, item.head}, pages.lineHeight());
                for (const QString &text : QString(item.detail).remove(u'\r').split(u'\n'))
                    if (!text.isEmpty())
                        pages.line({text}, pages.lineHeight() * 3);
            }
            pages.moveTo(pages.y() + pages.lineHeight() * 0.5);
        }
        pages.finishPage();
    }
    const std::optional<FileProblem> problem = WriteWholeFile(target, [&bytes](PartFile &part, QString &) {
        return part.write(bytes.data());
    });
    if (problem)
        return problem->reason;
    return std::nullopt;
}

} // namespace worvane
