#pragma once

// A chart of a range's hours: a stacked bar per day (or month), a colour and a pattern per project, the
// bucket's total above its bar, days off shaded, and a legend of each project's hours. PaintChart draws it
// on any device (the window, a PDF page); StackedBarChart is the window's, with a current bucket that the
// arrow keys and the mouse move.
#include "ranges/rangechart.h"

#include <QBrush>
#include <QWidget>

namespace worvane
{

// A series' fill: a colour that stays apart for the common colour blindness (Okabe and Ito's), and a
// pattern that tells it apart in greyscale print. その他 is grey.
QBrush SeriesBrush(int series, const QString &label);

// The chart in the rectangle; current < 0 for none.
void PaintChart(QPainter &painter, const QRectF &area, const ChartData &chart, int current);

// What a bucket holds, in words: "3: 8:30（A001 設計 5:00、B002 保守 3:30）".
QString BucketText(const ChartData &chart, int bucket);

class StackedBarChart : public QWidget
{
    Q_OBJECT
public:
    explicit StackedBarChart(QWidget *parent = nullptr);

    void setChart(ChartData chart);
    const ChartData &chart() const { return m_chart; }
    int current() const { return m_current; }
    void setCurrent(int bucket);

signals:
    void currentChanged(int bucket);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    ChartData m_chart;
    int m_current = 0;
};

} // namespace worvane
