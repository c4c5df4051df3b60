#include "OrderTotalsLine.h"

#include "OrderPanel.h"
#include "OrderTotals.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/ReportList.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

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
        totals.add(rows.number(r, sold), rows.number(r, free), rows.number(r, weight),
                   rows.number(r, price));
    m_label->setText(QStringLiteral("Totale ordine:   ") + totals.text());
    m_label->show();
}
