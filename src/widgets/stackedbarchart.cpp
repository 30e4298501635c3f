#include "widgets/stackedbarchart.h"

#include "print/chartpaint.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace worvane
{

StackedBarChart::StackedBarChart(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void StackedBarChart::setChart(ChartData chart)
{
    m_chart = std::move(chart);
    m_current = std::clamp(m_current, 0, int(std::max<qsizetype>(0, m_chart.buckets.size() - 1)));
    update();
    emit currentChanged(m_current);
}

void StackedBarChart::setCurrent(int bucket)
{
    if (m_chart.buckets.isEmpty())
        return;
    bucket = std::clamp(bucket, 0, int(m_chart.buckets.size() - 1));
    if (bucket == m_current)
        return;
    m_current = bucket;
    update();
    emit currentChanged(bucket);
}

void StackedBarChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PaintChart(painter, QRectF(rect()).adjusted(6, 4, -6, -4), m_chart, m_current);
    // The current day's hours, project by project, over the plot.
    painter.drawText(QRectF(rect()).adjusted(8, 4, -8, 0), Qt::AlignLeft | Qt::AlignTop,
                     BucketText(m_chart, m_current));
}

void StackedBarChart::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        setCurrent(m_current - 1);
        break;
    case Qt::Key_Right:
        setCurrent(m_current + 1);
        break;
    case Qt::Key_Home:
        setCurrent(0);
        break;
    case Qt::Key_End:
        setCurrent(int(m_chart.buckets.size()) - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void StackedBarChart::mouseMoveEvent(QMouseEvent *event)
{
    const int bucket = ChartBucketAt(QRectF(rect()).adjusted(6, 4, -6, -4), m_chart, font(), event->position());
    if (bucket < 0)
        return;
    setCurrent(bucket);
    QToolTip::showText(event->globalPosition().toPoint(), BucketText(m_chart, bucket), this);
}

} // namespace worvane
