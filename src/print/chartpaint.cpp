#include "print/chartpaint.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace worvane
{

namespace
{
// The plot and the legend: where each part of the chart lies in the area.
struct Layout {
    QRectF plot, legend;
    qreal barStep = 0;
    qint64 top = 60; // the axis' top, whole hours in minutes
};

Layout layoutOf(const QRectF &area, const ChartData &chart, const QFontMetricsF &metrics)
{
    Layout layout;
    const qreal legendWidth = std::min(area.width() * 0.3, metrics.horizontalAdvance(QStringLiteral("あ")) * 17);
    const qreal axis = metrics.horizontalAdvance(QStringLiteral("000:00")) + 6;
    layout.plot = QRectF(area.left() + axis, area.top() + metrics.height() * 2.3, area.width() - legendWidth - axis - 8,
                         area.height() - metrics.height() * 3.8);
    layout.legend = QRectF(area.right() - legendWidth, area.top(), legendWidth, area.height());
    layout.barStep = chart.buckets.isEmpty() ? 0 : layout.plot.width() / chart.buckets.size();
    const qint64 highest = chart.bucketTotals.isEmpty() ? 0 : *std::max_element(chart.bucketTotals.begin(), chart.bucketTotals.end());
    layout.top = std::max<qint64>(60, (highest + 59) / 60 * 60);
    return layout;
}

QString hours(qint64 minutes)
{
    return FormatHours(minutes);
}
} // namespace

void FillSeries(QPainter &painter, const QRectF &box, int slot)
{
    // A pattern per slot over the colour, for greyscale print; その他 a dense one over grey.
    static const Qt::BrushStyle patterns[SeriesColours] = {Qt::NoBrush,    Qt::BDiagPattern, Qt::FDiagPattern,
                                                           Qt::HorPattern, Qt::VerPattern,   Qt::CrossPattern,
                                                           Qt::DiagCrossPattern};
    painter.fillRect(box, QColor::fromRgb(SeriesColour(slot)));
    const Qt::BrushStyle pattern = slot < 0 ? Qt::Dense6Pattern : patterns[slot % SeriesColours];
    if (pattern != Qt::NoBrush)
        painter.fillRect(box, QBrush(QColor(0, 0, 0, 110), pattern));
}

void PaintChart(QPainter &painter, const QRectF &area, const ChartData &chart, int current)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetricsF metrics(painter.font());
    const Layout layout = layoutOf(area, chart, metrics);
    const QRectF &plot = layout.plot;
    const auto yOf = [&](qint64 minutes) { return plot.bottom() - plot.height() * qreal(minutes) / qreal(layout.top); };

    // Days off shaded, then the hour lines with their labels.
    for (qsizetype b = 0; b < chart.buckets.size(); ++b)
        if (chart.shaded.value(b))
            painter.fillRect(QRectF(plot.left() + b * layout.barStep, plot.top(), layout.barStep, plot.height()),
                             QColor(235, 235, 235));
    // Hour lines at a round step, about six of them.
    qint64 stepHours = 1;
    for (const qint64 step : {1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000})
        if ((stepHours = step) * 6 >= layout.top / 60)
            break;
    painter.setPen(QColor(200, 200, 200));
    for (qint64 h = 0; h * 60 <= layout.top; h += stepHours) {
        const qreal y = yOf(h * 60);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), y - metrics.height() / 2, plot.left() - area.left() - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(h));
        painter.setPen(QColor(200, 200, 200));
    }

    qreal widestLabel = 0;
    for (const QString &bucket : chart.buckets)
        widestLabel = std::max(widestLabel, metrics.horizontalAdvance(bucket));
    const int labelStep = layout.barStep > 0 ? std::max(1, int(std::ceil((widestLabel + 3) / layout.barStep))) : 1;

    // The current bucket's frame, under the bars and the totals over them.
    if (current >= 0 && current < chart.buckets.size()) {
        painter.setPen(QPen(QColor(0, 0, 0), 2, Qt::DotLine));
        painter.drawRect(QRectF(plot.left() + current * layout.barStep + 1, plot.top() - metrics.height() * 1.2,
                                layout.barStep - 2, plot.height() + metrics.height() * 2.2 + 2));
    }

    // The bars, each project's part stacked in the series' order, and each bucket's total above.
    for (qsizetype b = 0; b < chart.buckets.size(); ++b) {
        const qreal x = plot.left() + b * layout.barStep + layout.barStep * 0.15;
        const qreal width = layout.barStep * 0.7;
        qint64 below = 0;
        for (qsizetype s = 0; s < chart.series.size(); ++s) {
            const qint64 minutes = chart.series[s].minutes.value(b);
            if (minutes <= 0)
                continue;
            const QRectF part(QPointF(x, yOf(below + minutes)), QPointF(x + width, yOf(below)));
            FillSeries(painter, part, chart.series[s].slot);
            painter.setPen(QColor(60, 60, 60));
            painter.drawRect(part);
            below += minutes;
        }
        const qint64 total = chart.bucketTotals.value(b);
        // In a smaller type where the bar is narrow; not at all where even that would not fit.
        const qreal fits = layout.barStep * 1.1 / metrics.horizontalAdvance(hours(total));
        if (total > 0 && fits >= 0.7) {
            painter.save();
            if (fits < 1) {
                QFont smaller = painter.font();
                if (smaller.pixelSize() > 0)
                    smaller.setPixelSize(std::max(1, int(smaller.pixelSize() * fits)));
                else
                    smaller.setPointSizeF(smaller.pointSizeF() * fits);
                painter.setFont(smaller);
            }
            painter.setPen(Qt::black);
            painter.drawText(QRectF(x - layout.barStep * 0.3, yOf(total) - metrics.height(), layout.barStep * 1.3, metrics.height()),
                             Qt::AlignHCenter | Qt::AlignBottom, hours(total));
            painter.restore();
        }
        // The bucket's name under the axis; every other one where they would run together.
        painter.setPen(Qt::black);
        if (b % labelStep == 0)
            painter.drawText(QRectF(plot.left() + b * layout.barStep, plot.bottom() + 2, layout.barStep, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, chart.buckets[b]);
    }
    painter.setPen(Qt::black);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());

    // The legend: each project's fill, name and hours, then the whole.
    qreal y = layout.legend.top() + metrics.height() * 1.5;
    const qreal swatch = metrics.height() * 0.9;
    for (qsizetype s = 0; s < chart.series.size(); ++s) {
        const QRectF box(layout.legend.left(), y, swatch, swatch);
        FillSeries(painter, box, chart.series[s].slot);
        painter.drawRect(box);
        const QRectF text(box.right() + 4, y - 1, layout.legend.width() - swatch - 4, metrics.height());
        const QString total = hours(chart.series[s].total);
        painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter, total);
        painter.drawText(text.adjusted(0, 0, -metrics.horizontalAdvance(total) - 6, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(chart.series[s].label, Qt::ElideRight,
                                            text.width() - metrics.horizontalAdvance(total) - 6));
        y += metrics.height() * 1.3;
    }
    painter.drawLine(QPointF(layout.legend.left(), y), QPointF(layout.legend.right(), y));
    painter.drawText(QRectF(layout.legend.left(), y + 2, layout.legend.width(), metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("合計 %1").arg(hours(chart.total)));
    painter.restore();
}

int ChartBucketAt(const QRectF &area, const ChartData &chart, const QFont &font, const QPointF &point)
{
    const Layout layout = layoutOf(area, chart, QFontMetricsF(font));
    if (layout.barStep <= 0 || !layout.plot.contains(point))
        return -1;
    return int((point.x() - layout.plot.left()) / layout.barStep);
}

QString BucketText(const ChartData &chart, int bucket)
{
    if (bucket < 0 || bucket >= chart.buckets.size())
        return {};
    QStringList parts;
    for (const ChartSeries &series : chart.series)
        if (series.minutes.value(bucket) > 0)
            parts << QStringLiteral("%1 %2").arg(series.label, hours(series.minutes.value(bucket)));
    return QStringLiteral("%1: %2%3")
        .arg(chart.buckets[bucket], hours(chart.bucketTotals.value(bucket)),
             parts.isEmpty() ? QString() : QStringLiteral("（%1）").arg(parts.join(QStringLiteral("、"))));
}

} // namespace worvane
