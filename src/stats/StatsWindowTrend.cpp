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
    statschart::Bars b;
    b.title = QStringLiteral("Lordo per mese: %1 e %2").arg(year).arg(year - 1);
    for (int m = 1; m <= 12; ++m) {
        b.categories << stats::monthName(m).left(3);
        b.first << stats::euro(t->months[size_t(m - 1)].gross);
        b.second << stats::euro(t->monthsBefore[size_t(m - 1)].gross);
    }
    b.firstName = QString::number(year);
    b.secondName = QString::number(year - 1);
    b.unit = QStringLiteral("€");
    m_bars[Andamento] = b;
    statschart::show(Grafico[Andamento], b);
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
