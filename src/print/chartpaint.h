#pragma once

// A chart of a range's hours, drawn on any paint device (the window, a PDF page): a stacked bar per day (or
// month), a colour and a pattern per project, the bucket's total above its bar, days off shaded, and a
// legend of each project's hours.
#include "ranges/rangechart.h"

#include <QFont>
#include <QRectF>

class QPainter;

namespace worvane
{

// A series' fill in the box: its slot's colour, and a pattern that tells it apart in greyscale print.
void FillSeries(QPainter &painter, const QRectF &box, int slot);

// The chart in the rectangle; current < 0 for none.
void PaintChart(QPainter &painter, const QRectF &area, const ChartData &chart, int current);

// The bucket drawn at a point of the area, or -1.
int ChartBucketAt(const QRectF &area, const ChartData &chart, const QFont &font, const QPointF &point);

// What a bucket holds, in words: "3: 8:30（A001 設計 5:00、B002 保守 3:30）".
QString BucketText(const ChartData &chart, int bucket);

} // namespace worvane
