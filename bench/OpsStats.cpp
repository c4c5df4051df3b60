// The window "Statistiche" on the large file: each view counted as it opens, and again after a
// change of the province, against the engine's own aggregate statement of the view (the
// engine grouping the same lines by itself, nothing kept).

#include "BareLoop.h"
#include "BenchWindow.h"
#include "Ops.h"

#include "stats/Queries.h"
#include "stats/StatsModel.h"
#include "stats/StatsWindow.h"
#include "stats/ToVisit.h"
#include "text/ItalianText.h"

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

// The engine's own groups of the views, the floors: ?1..?4 the period and the one a year before
// (the customers to visit: ?1 the first day looked at, ?2 the first quiet day), ?10 the province.
// The rankings' floors sum the net beside the gross; the customers to visit include those who
// never ordered.
const char* const kRanked =
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QVENDITA * PESO * PREZZO END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN (CASE WHEN SCONTO > 100 THEN QVENDITA * "
    "PESO * PREZZO - SCONTO ELSE QVENDITA * PESO * PREZZO * (100 - COALESCE(SCONTO, 0)) / 100 "
    "END) END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QVENDITA * PESO END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QVENDITA END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QOMAGGIO END), "
    "TOTAL(CASE WHEN DATAO >= ?3 AND DATAO <= ?4 THEN QVENDITA * PESO * PREZZO END), "
    "COUNT(DISTINCT CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN ANNO || '/' || NR END), "
    "MAX(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN DATAO END) FROM ORDINE WHERE ((DATAO >= ?1 "
    "AND DATAO <= ?2) OR (DATAO >= ?3 AND DATAO <= ?4)) AND (?10 IS NULL OR ID_CL IN (SELECT "
    "CODICE FROM CLIENTE WHERE PROVINCIA = ?10))";
const char* const kRegister = " LEFT JOIN CLIENTE AS C ON C.ID = (SELECT MIN(ID) FROM CLIENTE "
                              "WHERE CLIENTE.CODICE = G.CODICE_CLIENTE);";
const std::string kCustomers = std::string("SELECT G.*, C.SOGGETTO, C.CITTA, C.PROVINCIA FROM "
                                           "(SELECT ID_CL AS CODICE_CLIENTE, ") +
                               kRanked + " GROUP BY +ID_CL) AS G" + kRegister;
const std::string kArticles =
    std::string("SELECT CODICE, MAX(ARTICOLO), ") + kRanked +
    " GROUP BY CODICE, CASE WHEN CODICE IS NULL OR CODICE = '' THEN ARTICOLO END;";
const char* const kToVisit =
    "SELECT G.*, C.SOGGETTO, C.CITTA, C.PROVINCIA FROM (SELECT ID_CL AS CODICE_CLIENTE, "
    "MIN(DATAO), MAX(DATAO), COUNT(DISTINCT DATAO) FROM ORDINE WHERE DATAO >= ?1 AND ID_CL IS NOT "
    "NULL AND (?10 IS NULL OR ID_CL IN (SELECT CODICE FROM CLIENTE WHERE PROVINCIA = ?10)) GROUP "
    "BY +ID_CL HAVING MAX(DATAO) < ?2) AS G JOIN CLIENTE AS C ON C.ID = (SELECT MIN(ID) FROM "
    "CLIENTE WHERE CLIENTE.CODICE = G.CODICE_CLIENTE) "
    // and the customers who never ordered
    "UNION ALL SELECT CODICE, NULL, NULL, 0, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE AS R WHERE "
    "CODICE <> '' AND (?10 IS NULL OR PROVINCIA = ?10) AND NOT EXISTS (SELECT 1 FROM ORDINE WHERE "
    "ID_CL = R.CODICE);";

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
    struct View {
        StatsWindow::View view;
        const char* name;
        std::function<void(const QByteArray&)> floor;
    };
    // The statement with the dates bound to ?1, ?2...; ?10 the province, or NULL when empty.
    auto bare = [&](const char* sql, const std::vector<QByteArray>& dates, const QByteArray& prov) {
        std::vector<std::pair<int, QByteArray>> binds;
        for (const QByteArray& d : dates)
            binds.emplace_back(int(binds.size()) + 1, d);
        if (!prov.isEmpty())
            binds.emplace_back(10, prov);
        bareLoopAt(h, sql, binds);
    };
    const std::vector<View> views = {
        {StatsWindow::Andamento, "Andamento",
         [&](const QByteArray& prov) {
             bare(trend.c_str(), {iso(first), iso(last)}, prov);
         }},
        {StatsWindow::Clienti, "Clienti",
         [&](const QByteArray& prov) {
             bare(kCustomers.c_str(), {iso(p.from), iso(p.to), iso(b.from), iso(b.to)}, prov);
         }},
        {StatsWindow::Articoli, "Articoli",
         [&](const QByteArray& prov) {
             bare(kArticles.c_str(), {iso(p.from), iso(p.to), iso(b.from), iso(b.to)}, prov);
         }},
        {StatsWindow::DaVisitare, "Da visitare",
         [&](const QByteArray& prov) {
             bare(kToVisit,
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
            [&] { v.floor(QByteArray()); },
            // As the window just opened: nothing kept from the count before.
            [&] { s->forgetLines(); });
        const int rows = s->model(v.view)->rowCount();
        emit(withinRow(
            QStringLiteral("Statistiche: %1 opened (1M lines, 100000 customers)")
                .arg(QLatin1String(v.name)),
            opened, 300,
            QStringLiteral("%1 rows; floor: the engine's own aggregate query").arg(rows)));
        // A change of the province, back and forth: each run one redraw, and the floor of the
        // same run reads the same province (ours and the floor take turns to go first).
        int ourTurn = 0, floorTurn = 0;
        Sample changed = compare(
            o.warmups, o.runs * 2,
            [&] {
                s->Provincia->setCurrentIndex((ourTurn++ % 2) ? 0 : 1);
                settle();
            },
            [&] { v.floor((floorTurn++ % 2) ? QByteArray() : pr); });
        emit(withinRow(
            QStringLiteral("Statistiche: %1 redrawn after a change of province")
                .arg(QLatin1String(v.name)),
            changed, 150,
            QStringLiteral("province %1 and all in turn; floor: the engine's own aggregate query")
                .arg(province)));
    }
    return true;
}

} // namespace bench
