#include "OrderTotalsLine.h"

#include "OrderPanel.h"
#include "OrderTotals.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/ReportList.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <charconv>
#include <optional>
#include <string_view>

namespace {

// A cell's number: Null is none. The file holds only numbers (or Null) in these columns.
std::optional<double> numberOf(const ReportModel& rows, int row, int column) {
    if (column < 0 || rows.isNull(row, column))
        return std::nullopt;
    const std::string_view v = rows.raw(row, column);
    double d = 0;
    std::from_chars(v.data(), v.data() + v.size(), d);
    return d;
}

} // namespace

OrderTotalsLine::OrderTotalsLine(OrderPanel* panel) : QObject(panel), m_panel(panel) {
    // Beside C1, on the bottom line of Frame5 in its place under the line fields.
    m_label = Elements(panel->Frame5)
                  .label("LTotaliOrdine", QString(), {1800, 3240, 11160, 255}, {9, true});
    m_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_label->hide();
    connect(panel->ListView5->report(), &QAbstractItemModel::modelReset, this,
            &OrderTotalsLine::refresh);
}

void OrderTotalsLine::refresh() {
    // The list of an order's lines has a QVENDITA column; the listing of a year has none.
    const ReportModel& rows = *m_panel->ListView5->report();
    const int sold = rows.columnIndex(QStringLiteral("QVENDITA"));
    // A list cut short by a failure shows no totals rather than wrong ones; the list tells the
    // failure.
    if (sold < 0 || !rows.whole()) {
        m_label->hide();
        return;
    }
    // The list holds every line of the order: its totals are counted from its rows.
    const int free = rows.columnIndex(QStringLiteral("QOMAGGIO"));
    const int weight = rows.columnIndex(QStringLiteral("PESO"));
    const int price = rows.columnIndex(QStringLiteral("PREZZO"));
    OrderTotals totals;
    for (int r = 0; r < rows.rows(); ++r)
        totals.add(numberOf(rows, r, sold), numberOf(rows, r, free), numberOf(rows, r, weight),
                   numberOf(rows, r, price));
    m_label->setText(QStringLiteral("Totale ordine:   ") + totals.text());
    m_label->show();
}
