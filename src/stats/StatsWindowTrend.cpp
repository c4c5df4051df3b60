#include "StatsWindow.h"
#include "StatsWindowShared.h"

#include "StatsModel.h"
#include "text/ItalianText.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"

#include <QLabel>
#include <QSpinBox>

using statswindow::detail::fit;

void StatsWindow::countTrend() {
    const int year = Anno->value();
    auto t = stats::trend(ctx.db(), year, ctx.clock.today(), filter());
    if (!t) {
        m_models[Andamento]->setTable({});
        tell::error(ctx.dialogs, t.error(), titles::t20());
        return;
    }
    m_models[Andamento]->setTable(stats::trendTable(*t, filterNotes()));
    fit(Tabella[Andamento]);
    m_bars[Andamento] = statschart::monthlyGross(
        *t, year, QStringLiteral("Lordo per mese: %1 e %2").arg(year).arg(year - 1));
    statschart::show(Grafico[Andamento], m_bars[Andamento]);
    const stats::Change c = t->change();
    Riepilogo->setText(
        QStringLiteral("Progressivo al %1: € %2; al %3: € %4; differenza € %5 (%6)")
            .arg(itext::formatDate(t->upTo), itext::formatGrouped2(stats::euro(t->toDate.gross)),
                 itext::formatDate(t->upToBefore),
                 itext::formatGrouped2(stats::euro(t->toDateBefore.gross)),
                 (c.cents > 0 ? QStringLiteral("+") : QString()) + itext::formatGrouped2(c.euro()),
                 c.percent ? stats::display({*c.percent, {}, {}}, stats::Kind::Percent)
                           : QStringLiteral("anno prima senza vendite")));
}
