#pragma once

#include <QString>

class QTableView;

// What the views of the window "Statistiche" share; for its own files.
namespace statswindow::detail {

// How many customers or articles the charts of a ranking show.
inline constexpr int kChartBars = 10;

// A name cut short for the labels of a chart.
QString shortName(const QString& s);
// The table's columns fitted to their content.
void fit(QTableView* t);

} // namespace statswindow::detail
