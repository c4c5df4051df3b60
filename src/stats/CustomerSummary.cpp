#include "CustomerSummary.h"

#include "StatsChart.h"
#include "StatsTable.h"
#include "Trend.h"
#include "search/ResultLists.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/ReportList.h"

#include <QChartView>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

CustomerSummary::CustomerSummary(AppContext& c, QWidget* parent) : QDialog(parent), ctx(c) {
    setObjectName(QStringLiteral("SchedaCliente"));
    setWindowTitle(QStringLiteral("Scheda del cliente"));
    auto* layout = new QVBoxLayout(this);
    LCliente = new QLabel(this);
    LCliente->setObjectName(QStringLiteral("LCliente"));
    LCliente->setWordWrap(true);
    QFont bold = LCliente->font();
    bold.setBold(true);
    LCliente->setFont(bold);
    GraficoCliente = statschart::makeView(this, "GraficoCliente");
    StoricoCliente = new ReportView(this);
    StoricoCliente->setObjectName(QStringLiteral("StoricoCliente"));
    layout->addWidget(LCliente);
    layout->addWidget(GraficoCliente, 3);
    layout->addWidget(StoricoCliente, 2);
    connect(StoricoCliente, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& i) { openOrder(i.row()); });
    connect(StoricoCliente, &ReportView::keyChosen, this, &CustomerSummary::openOrder);
    resize(820, 640);
}

bool CustomerSummary::showFor(const QString& code, const QString& name, int year) {
    if (!ctx.connected())
        return false;
    if (Status s = resultlists::fillHistory(StoricoCliente, ctx.db(), code); !s) {
        tell::error(ctx.dialogs, s.error(), titles::t20());
        return false;
    }
    auto t = stats::trend(ctx.db(), year, ctx.clock.today(), {}, code);
    if (!t) {
        tell::error(ctx.dialogs, t.error(), titles::t20());
        return false;
    }
    statschart::show(GraficoCliente, statschart::monthlyGross(
                                         *t, year, QStringLiteral("%1: lordo per mese").arg(name)));
    const int n = StoricoCliente->report()->rows();
    LCliente->setText(
        QStringLiteral("Storico di %1 (%2): %3")
            .arg(name, code,
                 n == 1 ? QStringLiteral("1 ordine") : QStringLiteral("%1 ordini").arg(n)));
    show();
    raise();
    activateWindow();
    StoricoCliente->setFocus();
    if (n > 0)
        StoricoCliente->selectRow(0);
    return true;
}

void CustomerSummary::openOrder(int row) {
    const ReportModel* m = StoricoCliente->report();
    if (row < 0 || row >= m->rows())
        return;
    Q_EMIT orderChosen(m->cell(row, m->columnIndex(QStringLiteral("ANNO"))),
                       m->cell(row, m->columnIndex(QStringLiteral("NR"))));
}
