// The agent's tools on the large file: a keystroke in the search window, a customer's history,
// the order's totals line, the repeat of an order. Each against the engine's bare loop over
// the same statements where there is one.

#include "BareLoop.h"
#include "BenchWindow.h"
#include "Ops.h"

#include "orders/OrderHistory.h"
#include "orders/OrderPanel.h"
#include "orders/OrderTotalsLine.h"
#include "orders/RepeatOrder.h"
#include "search/ResultLists.h"
#include "search/SearchStore.h"
#include "search/SearchWindow.h"
#include "text/TextMatch.h"
#include "ui/widgets/ReportList.h"

#include <QLabel>
#include <QLineEdit>

#include <sqlite3.h>

#include <string>
#include <utility>
#include <vector>

namespace bench {
namespace {

QByteArray utf8(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

// The codes of the customers a search lists, as the orders' statement takes them.
QByteArray codesOf(const ReportView* customers) {
    std::string codes;
    const ReportModel* m = customers->report();
    for (int r = 0; r < m->rows(); ++r)
        if (!m->isNull(r, 0))
            searchstore::appendPacked(codes, m->raw(r, 0));
    return utf8(codes);
}

} // namespace

bool searchBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    Gestione& g = *w.window;
    sqlite3* h = w.ctx.db().handle();
    SearchWindow* cerca = g.Cerca;
    const QByteArray rows = QByteArray::number(searchstore::kMaxRows);

    // The baseline of a keystroke: the engine's loops over the customers' and the articles'
    // statements, the search of the lines (the same reads, no window) and the loop over the
    // orders' statement with the customers and the lines found.
    auto bareKeystroke = [&](const QString& key, const QByteArray& codes) {
        const std::string folded = textmatch::fold(key);
        const QByteArray text = utf8(folded);
        bareLoop(h, searchstore::kCustomers, {text, rows});
        bareLoop(h, searchstore::kArticles, {text, rows});
        std::string ids;
        if (auto lines = searchstore::linesOfOrders(w.ctx.db(), folded, searchstore::kMaxRows))
            for (const std::int64_t id : *lines)
                searchstore::appendPacked(ids, std::to_string(id));
        const auto number = searchstore::orderNumber(key);
        std::vector<std::pair<int, QByteArray>> binds{{2, utf8(ids)}, {4, rows}};
        if (number)
            binds.emplace_back(3, QByteArray::number(*number));
        else
            binds.emplace_back(1, codes);
        bareLoopAt(h, searchstore::kOrders, binds);
    };

    // A town and a name typed key by key, the first keys matching nearly every customer; then
    // an article's description, whose orders come from their lines; then an order number. Each
    // measured run is one keystroke, the texts taken in turn.
    const QStringList words{QStringLiteral("cantu"), QStringLiteral("ferrari"),
                            QStringLiteral("bresaola igp"), QStringLiteral("5")};
    for (const QString& word : words) {
        const bool number = searchstore::orderNumber(word).has_value();
        QStringList keys;
        for (int i = number ? word.size() : 1; i <= word.size(); ++i)
            keys << word.left(i);
        // The customers each text finds, whose orders the orders' statement reads.
        std::vector<QByteArray> codes;
        for (const QString& k : keys) {
            (void)resultlists::fillCustomers(cerca->ListaDettaglio, w.ctx.db(), k);
            codes.push_back(codesOf(cerca->ListaDettaglio));
        }
        int ours = 0, base = 0;
        Sample s = compare(
            o.warmups, o.runs * int(keys.size()) * (number ? 5 : 1),
            [&] { cerca->TestoCerca->setText(keys[ours++ % keys.size()]); },
            [&] {
                const int k = base++ % int(keys.size());
                bareKeystroke(keys[k], codes[size_t(k)]);
            },
            [&] { cerca->TestoCerca->clear(); });
        cerca->TestoCerca->setText(word);
        const QString found = QStringLiteral("%1 customers, %2 articles, %3 orders at the last key")
                                  .arg(cerca->ListaClienti->report()->rows())
                                  .arg(cerca->ListaArticoli->report()->rows())
                                  .arg(cerca->ListaOrdini->report()->rows());
        if (number)
            emit(withinRow(QStringLiteral("Cerca: the order number \"%1\" in every year").arg(word),
                           s, 100, found));
        else
            emit(withinRow(QStringLiteral("Cerca: a keystroke of \"%1\" (100000 customers, 50000 "
                                          "articles, 1M lines)")
                               .arg(word),
                           s, 100,
                           QStringLiteral("three groups of at most %1; %2")
                               .arg(searchstore::kMaxRows)
                               .arg(found)));
    }

    // The history of the customer of the 1000-line order.
    const QString customer = [&] {
        Statement st =
            w.ctx.db()
                .prepare("SELECT ID_CL FROM ORDINE WHERE ANNO = ?1 AND NR = '1' LIMIT 1;")
                .value();
        st.bind(1, kYear);
        return st.next() ? st.text(0) : QString();
    }();
    {
        const QByteArray code = customer.toUtf8();
        Sample s = compare(
            o.warmups, o.runs * 5,
            [&] { (void)resultlists::fillHistory(cerca->ListaDettaglio, w.ctx.db(), customer); },
            [&] {
                bareLoop(h, orderhistory::kCustomerOrders, {code, QByteArray("10000")});
            });
        emit(withinRow(QStringLiteral("Customer history (orders of one customer in 1M lines)"), s,
                       100,
                       QStringLiteral("%1 orders").arg(cerca->ListaDettaglio->report()->rows())));
    }

    // The totals line of the 1000-line order, as after a line stored.
    OrderPanel* p = g.Frame3;
    p->Text1->setText(kYear);
    p->T7->setText(QStringLiteral("1"));
    p->CaricaRigheOrdine();
    {
        const QByteArray year = kYear.toUtf8();
        Sample s = compare(
            o.warmups, o.runs * 5, [&] { g.TotaliOrdine->refresh(); },
            [&] {
                bareLoop(
                    h,
                    "SELECT COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO), TOTAL(QVENDITA * PESO), "
                    "TOTAL(QVENDITA * PESO * PREZZO) FROM ORDINE WHERE ANNO = ?1 AND NR = ?2;",
                    {year, QByteArray("1")});
            });
        emit(withinRow(QStringLiteral("Totals line, order of 1000 lines"), s, 10,
                       g.TotaliOrdine->label()->text()));
    }

    // The repeat of the 200-line order; the copy is deleted again after each run, so the file
    // stays as it was.
    {
        repeatorder::Repeated made;
        bool ok = true;
        auto undo = [&] {
            if (made.number.isEmpty())
                return;
            Statement st =
                w.ctx.db().prepare("DELETE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2;").value();
            st.bind(1, made.year).bind(2, made.number);
            (void)w.ctx.db().write([&] { return st.run(); });
            made = {};
        };
        Sample s = alone(
            o.warmups, o.runs,
            [&] {
                auto r = repeatorder::repeat(w.ctx.db(), kYear, QStringLiteral("2"),
                                             w.clock.now().date(), &made);
                ok = ok && r && !*r && made.lines == 200;
            },
            undo);
        undo();
        if (!ok) {
            fail(QStringLiteral("Ripeti ordine: the 200 lines were not copied"));
            return false;
        }
        emit(withinRow(QStringLiteral("Ripeti ordine, order of 200 lines"), s, 200,
                       QStringLiteral("one transaction, into the year of today")));
    }
    return w.dialogs.boxes.isEmpty();
}

} // namespace bench
