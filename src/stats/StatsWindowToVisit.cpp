#include "StatsWindow.h"
#include "StatsWindowShared.h"

#include "StatsModel.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"

#include <QSpinBox>

using statswindow::detail::fit;
using statswindow::detail::kChartBars;
using statswindow::detail::shortName;

void StatsWindow::countToVisit() {
    const QDate today = ctx.clock.today();
    auto rows = stats::toVisit(ctx.db(), today, Giorni->value(), filter());
    if (!rows) {
        m_toVisit.clear();
        m_models[DaVisitare]->setTable({});
        tell::error(ctx.dialogs, rows.error(), titles::t20());
        return;
    }
    m_toVisit = std::move(*rows);
    m_models[DaVisitare]->setTable(stats::toVisitTable(m_toVisit, Giorni->value(), filterNotes()));
    fit(Tabella[DaVisitare]);
    statschart::Bars b;
    b.title = QStringLiteral("Giorni dall'ultimo ordine e intervallo abituale");
    for (size_t i = 0; i < m_toVisit.size() && i < size_t(kChartBars); ++i) {
        const stats::ToVisit& v = m_toVisit[i];
        b.categories << shortName(v.name);
        b.first << v.daysSince;
        b.second << v.usualInterval.value_or(0);
    }
    b.firstName = QStringLiteral("Giorni dall'ultimo ordine");
    b.secondName = QStringLiteral("Intervallo abituale");
    b.unit = QStringLiteral("giorni");
    m_bars[DaVisitare] = b;
    statschart::show(Grafico[DaVisitare], b);
}
