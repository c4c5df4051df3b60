#include "StatsChart.h"

#include "StatsTable.h"
#include "Trend.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsScene>
#include <QLegend>
#include <QLocale>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace statschart {

Bars monthlyGross(const stats::Trend& t, int year, const QString& title) {
    Bars b;
    b.title = title;
    for (int m = 1; m <= 12; ++m) {
        b.categories << stats::monthName(m).left(3);
        b.first << stats::euro(t.months[size_t(m - 1)].gross);
        b.second << stats::euro(t.monthsBefore[size_t(m - 1)].gross);
    }
    b.firstName = QString::number(year);
    b.secondName = QString::number(year - 1);
    b.unit = QStringLiteral("€");
    return b;
}
namespace {

// A round step for the value axis, so that its labels are whole numbers.
double niceTop(double top) {
    if (top <= 0)
        return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(top)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (m * magnitude >= top)
            return m * magnitude;
    return 10 * magnitude;
}

QChart* build(const Bars& b) {
    auto* chart = new QChart;
    chart->setTitle(b.title);
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    chart->setBackgroundVisible(false);
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* first = new QBarSet(b.firstName);
    auto* second = new QBarSet(b.secondName);
    // Dark solid against light hatched: apart on a grey print and for the colour-blind.
    first->setBrush(QBrush(QColor(55, 55, 55)));
    first->setPen(QPen(Qt::black, 0.5));
    second->setBrush(QBrush(QColor(110, 110, 110), Qt::BDiagPattern));
    second->setPen(QPen(Qt::black, 0.8));
    double top = 0, bottom = 0;
    for (double v : b.first) {
        *first << v;
        top = std::max(top, v);
        bottom = std::min(bottom, v);
    }
    for (double v : b.second) {
        *second << v;
        top = std::max(top, v);
        bottom = std::min(bottom, v);
    }
    auto* series = new QBarSeries;
    series->append(first);
    if (!b.secondName.isEmpty())
        series->append(second);
    else
        delete second;
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(b.categories);
    // Upright, so that no name is cut short however many bars share the width.
    x->setLabelsAngle(-90);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto* y = new QValueAxis;
    y->setRange(bottom < 0 ? -niceTop(-bottom) : 0, niceTop(top));
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setTickCount(6);
    y->setTitleText(b.unit);
    y->setGridLinePen(QPen(QColor(190, 190, 190), 0.5, Qt::DotLine));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setVisible(!b.secondName.isEmpty());
    return chart;
}

} // namespace

QChartView* makeView(QWidget* parent, const char* objectName) {
    auto* view = new QChartView(parent);
    view->setObjectName(QLatin1String(objectName));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(420, 300);
    return view;
}

void show(QChartView* view, const Bars& bars) {
    QChart* old = view->chart();
    view->setChart(build(bars));
    delete old;
}

void paint(QPainter& painter, const QRectF& target, const Bars& bars) {
    QGraphicsScene scene;
    QChart* chart = build(bars);
    scene.addItem(chart);
    // Laid out at a screen size of the page's proportions, then scaled onto the page.
    const QSizeF size(1000, 1000 * target.height() / std::max(1.0, target.width()));
    chart->resize(size);
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    scene.render(&painter, target, scene.sceneRect());
}

} // namespace statschart
