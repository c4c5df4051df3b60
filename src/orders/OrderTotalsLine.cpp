#include "OrderTotalsLine.h"

#include "OrderPanel.h"
#include "OrderTotals.h"
#include "ui/AppContext.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/ReportList.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

OrderTotalsLine::OrderTotalsLine(AppContext& ctx, OrderPanel* panel)
    : QObject(panel), m_ctx(ctx), m_panel(panel) {
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
    const bool lines = m_panel->ListView5->report()->columnIndex(QStringLiteral("QVENDITA")) >= 0;
    if (!lines || !m_ctx.connected()) {
        m_label->hide();
        return;
    }
    auto totals = OrderTotals::ofOrder(m_ctx.db(), m_panel->Text1->text(), m_panel->T7->text());
    // A failure to read shows no totals rather than wrong ones; the list tells the failure.
    m_label->setText(totals ? QStringLiteral("Totale ordine:   ") + totals->text() : QString());
    m_label->setVisible(bool(totals));
}
