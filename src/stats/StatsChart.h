#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QChart;
class QChartView;
class QPainter;
class QRectF;
class QWidget;

// The bar charts of the statistics: two series side by side (this period and the one before,
// or days since the last order and the usual interval), in greys and a hatch that stay apart on
// a grey print, the numbers on the axis in the Italian form.
namespace stats {
struct Trend;
}

namespace statschart {

struct Bars {
    QString title;
    QStringList categories;
    QString firstName;
    QString secondName;
    QList<double> first;
    QList<double> second;
    // The value axis: "€", "giorni".
    QString unit;
};

// The gross of each month of the year and of the year before, as bars under `title`.
Bars monthlyGross(const stats::Trend& t, int year, const QString& title);

// A view showing the bars (replaced by each call of show()).
QChartView* makeView(QWidget* parent, const char* objectName);
void show(QChartView* view, const Bars& bars);
// The bars drawn on the painter in the rectangle (points of a page), for the PDF and the print.
void paint(QPainter& painter, const QRectF& target, const Bars& bars);

} // namespace statschart
