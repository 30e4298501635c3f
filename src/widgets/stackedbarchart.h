#pragma once

// The chart of a range's hours in a window (PaintChart's), with a current bucket that the arrow keys and
// the mouse move, its hours written over the plot.
#include "print/chartpaint.h"

#include <QWidget>

namespace worvane
{

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
