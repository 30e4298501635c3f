#include "print/chartpaint.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace worvane;

namespace
{
DaySummary day(const QString &code, const QString &date, const QString &start, const QString &end)
{
    return DaySummary{code, code == QLatin1String("A001") ? QStringLiteral("Design") : QStringLiteral("Support"),
                      date, start, end, 0};
}

// The chart at a fixed size in a fixed font: what the month window and the PDF draw.
QImage painted(const ChartData &chart, int current)
{
    QImage image(960, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    painter.setFont(font);
    PaintChart(painter, QRectF(8, 8, 944, 284), chart, current);
    return image;
}

// Pixels whose colour differs by more than anti-aliasing would.
qsizetype differingPixels(const QImage &a, const QImage &b)
{
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))}) > 64)
                ++differing;
        }
    return differing;
}
} // namespace

class TestChartPaint : public QObject
{
    Q_OBJECT

private slots:
    // A month with two projects, a long day, weekends shaded and the 5th current, drawn as the stored
    // picture shows it: a fault in where a bar, a total, a shade or the legend goes moves thousands of
    // pixels; a font's anti-aliasing, a few. WORVANE_UPDATE_PICTURES=1 stores the picture anew.
    void monthChartLooksAsStored()
    {
        const QList<DaySummary> days{
            day(QStringLiteral("A001"), QStringLiteral("2026/01/05"), QStringLiteral("09:00"), QStringLiteral("18:00")),
            day(QStringLiteral("B002"), QStringLiteral("2026/01/05"), QStringLiteral("18:30"), QStringLiteral("21:00")),
            day(QStringLiteral("A001"), QStringLiteral("2026/01/06"), QStringLiteral("09:00"), QStringLiteral("12:30")),
            day(QStringLiteral("B002"), QStringLiteral("2026/01/07"), QStringLiteral("13:00"), QStringLiteral("17:45")),
            day(QStringLiteral("A001"), QStringLiteral("2026/01/30"), QStringLiteral("08:00"), QStringLiteral("20:15")),
        };
        const QImage image = painted(MonthChart(QDate(2026, 1, 1), days, DaysOff()), 4);
        const QString stored = QStringLiteral(PICTURES_DIR "/month-chart.png");
        if (qEnvironmentVariableIsSet("WORVANE_UPDATE_PICTURES"))
            QVERIFY(image.save(stored));
        const QImage expected = QImage(stored).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(expected.size(), image.size());
        const qsizetype differing = differingPixels(image, expected);
        if (differing > image.width() * image.height() / 200) {
            const QString drawn = QDir::temp().filePath(QStringLiteral("month-chart-drawn.png"));
            image.save(drawn);
            QFAIL(qPrintable(QStringLiteral("%1 pixels differ; drawn: %2").arg(differing).arg(drawn)));
        }
    }
};

QTEST_MAIN(TestChartPaint)
#include "test_chartpaint.moc"
