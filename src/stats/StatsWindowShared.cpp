#include "StatsWindowShared.h"

#include <QHeaderView>
#include <QTableView>

#include <algorithm>

namespace statswindow::detail {

QString shortName(const QString& s) {
    return s.size() > 18 ? s.left(17) + QStringLiteral("…") : s;
}

void fit(QTableView* t) {
    const int rows = t->model()->rowCount();
    // The widths from the first rows and the totals: a list of 100 000 rows is not measured.
    t->horizontalHeader()->setResizeContentsPrecision(std::min(rows, 200));
    t->resizeColumnsToContents();
}

} // namespace statswindow::detail
