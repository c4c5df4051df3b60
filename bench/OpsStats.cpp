// The window "Statistiche" on the large file: each view counted as it opens, and again after a
// change of the province, against the engine's bare loop over the view's own statement.

#include "BareLoop.h"
#include "BenchWindow.h"
#include "Ops.h"

#include "data/ItalianText.h"
#include "stats/Queries.h"
#include "stats/StatsModel.h"
#include "stats/StatsWindow.h"
#include "stats/ToVisit.h"

#include <QComboBox>
#include <QDateEdit>
#include <QTabWidget>

#include <sqlite3.h>

#include <functional>
#include <vector>

namespace bench {
namespace {

QByteArray iso(const QDate& d) {
    return itext::isoDate(d).toUtf8();
}

} // namespace

bool statsBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    Gestione& g = *w.window;
    g.MStatistiche_Click();
    StatsWindow* s = g.Statistiche;
    settle();
    sqlite3* h = w.ctx.db().handle();
    const QDate today = w.clock.today();
    const QDate first(today.year() - 1, 1, 1), last(today.year(), 12, 31);
    const stats::Period p = s->period();
    const stats::Period b = p.yearBefore();
    // The province of the first customer, for the change of filter.
    const QString province = s->Provincia->count() > 1 ? s->Provincia->itemText(1) : QString();
    const QByteArray pr = province.toUtf8();
    const std::string trend = stats::queries::trendByDay();
    const std::string customers = stats::queries::customers();
    const std::string articles = stats::queries::articles();
    const std::string toVisit = stats::queries::toVisit();
    struct View {
        StatsWindow::View view;
        const char* name;
        std::function<void(const QByteArray&)> floor;
    };
    // The bare statement of each view; ?10 the province or none (an empty text binds NULL in
    // bareLoop's caller below).
    auto bare = [&](const std::string& sql, std::vector<QByteArray> binds, const QByteArray& prov) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return;
        for (size_t i = 0; i < binds.size(); ++i)
            sqlite3_bind_text(st, int(i + 1), binds[i].constData(), int(binds[i].size()),
                              SQLITE_TRANSIENT);
        if (prov.isEmpty())
            sqlite3_bind_null(st, 10);
        else
            sqlite3_bind_text(st, 10, prov.constData(), int(prov.size()), SQLITE_TRANSIENT);
        const int cols = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int c = 0; c < cols; ++c)
                (void)sqlite3_column_text(st, c);
        sqlite3_finalize(st);
    };
    const std::vector<View> views = {
        {StatsWindow::Andamento, "Andamento",
         [&](const QByteArray& prov) {
             bare(trend, {iso(first), iso(last)}, prov);
         }},
        {StatsWindow::Clienti, "Clienti",
         [&](const QByteArray& prov) {
             bare(customers, {iso(p.from), iso(p.to), iso(b.from), iso(b.to)}, prov);
         }},
        {StatsWindow::Articoli, "Articoli",
         [&](const QByteArray& prov) {
             bare(articles, {iso(p.from), iso(p.to), iso(b.from), iso(b.to)}, prov);
         }},
        {StatsWindow::DaVisitare, "Da visitare",
         [&](const QByteArray& prov) {
             bare(toVisit,
                  {iso(today.addMonths(-stats::kLookBackMonths)),
                   iso(today.addDays(1 - stats::kDefaultQuietDays))},
                  prov);
         }},
    };
    for (const View& v : views) {
        s->Provincia->setCurrentIndex(0);
        s->Schede->setCurrentIndex(v.view);
        settle();
        Sample opened = compare(
            o.warmups, o.runs,
            [&] {
                s->count(v.view);
                settle();
            },
            [&] { v.floor(QByteArray()); });
        const int rows = s->model(v.view)->rowCount();
        emit(withinRow(QStringLiteral("Statistiche: %1 opened (1M lines, 100000 customers)")
                           .arg(QLatin1String(v.name)),
                       opened, 300,
                       QStringLiteral("%1 rows; floor: the bare aggregate query").arg(rows)));
        // A change of the province, back and forth: each run one redraw.
        int turn = 0;
        Sample changed = compare(
            o.warmups, o.runs * 2,
            [&] {
                s->Provincia->setCurrentIndex((turn++ % 2) ? 0 : 1);
                settle();
            },
            [&] { v.floor((turn % 2) ? pr : QByteArray()); });
        emit(withinRow(
            QStringLiteral("Statistiche: %1 redrawn after a change of province")
                .arg(QLatin1String(v.name)),
            changed, 150,
            QStringLiteral("province %1 and all; floor: the bare aggregate query").arg(province)));
    }
    return true;
}

} // namespace bench
