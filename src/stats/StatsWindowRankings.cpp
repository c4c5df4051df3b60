#include "StatsWindow.h"
#include "StatsWindowShared.h"

#include "StatsModel.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"

#include <QLabel>

using statswindow::detail::fit;
using statswindow::detail::kChartBars;
using statswindow::detail::shortName;

namespace {

statschart::Bars rankedBars(const std::vector<stats::Ranked>& rows, const QString& title,
                            const stats::Period& p) {
    statschart::Bars b;
    b.title = title;
    for (size_t i = 0; i < rows.size() && i < size_t(kChartBars); ++i) {
        const stats::Ranked& r = rows[i];
        b.categories << shortName(r.name.isEmpty() ? r.code : r.name);
        b.first << stats::euro(r.figures.gross);
        b.second << stats::euro(r.grossBefore);
    }
    b.firstName = QStringLiteral("Periodo");
    b.secondName = QStringLiteral("Stesso periodo %1").arg(p.from.year() - 1);
    b.unit = QStringLiteral("€");
    return b;
}

} // namespace

void StatsWindow::countCustomers() {
    auto rows = stats::customers(ctx.db(), period(), filter(), &m_lines);
    if (!rows) {
        m_customers.clear();
        m_models[Clienti]->setTable({});
        tell::error(ctx.dialogs, rows.error(), titles::t20());
        return;
    }
    m_customers = std::move(*rows);
    for (stats::Ranked& r : m_customers)
        if (!r.inRegister)
            r.name = stats::missingCustomer();
    m_models[Clienti]->setTable(stats::customersTable(m_customers, period(), filterNotes()));
    fit(Tabella[Clienti]);
    m_bars[Clienti] = rankedBars(
        m_customers, QStringLiteral("I primi %1 clienti per lordo").arg(kChartBars), period());
    statschart::show(Grafico[Clienti], m_bars[Clienti]);
}

void StatsWindow::countArticles() {
    auto rows = stats::articles(ctx.db(), period(), filter(), &m_lines);
    m_buyers->setTable({});
    if (!rows) {
        m_articles.clear();
        m_models[Articoli]->setTable({});
        tell::error(ctx.dialogs, rows.error(), titles::t20());
        return;
    }
    m_articles = std::move(*rows);
    m_models[Articoli]->setTable(stats::articlesTable(m_articles, period(), filterNotes()));
    fit(Tabella[Articoli]);
    m_bars[Articoli] = rankedBars(
        m_articles, QStringLiteral("I primi %1 articoli per lordo").arg(kChartBars), period());
    statschart::show(Grafico[Articoli], m_bars[Articoli]);
}

void StatsWindow::showBuyers(int row) {
    if (row < 0 || row >= int(m_articles.size()))
        return;
    const stats::Ranked& a = m_articles[size_t(row)];
    auto rows = stats::buyers(ctx.db(), a.code, a.name, period(), filter());
    if (!rows) {
        tell::error(ctx.dialogs, rows.error(), titles::t20());
        return;
    }
    const QString article =
        a.code.isEmpty() ? a.name : QStringLiteral("%1 (%2)").arg(a.name, a.code);
    m_buyers->setTable(stats::buyersTable(*rows, article, period(), filterNotes()));
    fit(TabellaAcquirenti);
    const int n = int(rows->size());
    LAcquirenti->setText(QStringLiteral("Clienti che hanno acquistato %1: %2")
                             .arg(article, n == 1 ? QStringLiteral("1 cliente")
                                                  : QStringLiteral("%1 clienti").arg(n)));
}
