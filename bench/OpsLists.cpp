// The lists and combos of the window on the large file: each fill through the panel's own
// method, against the engine's bare loop over the same query.

#include "BareLoop.h"
#include "BenchWindow.h"
#include "Ops.h"

#include "masterdata/CustomerPanel.h"
#include "masterdata/CustomerStore.h"
#include "masterdata/Lookups.h"
#include "orders/Numbering.h"
#include "orders/OrderPanel.h"
#include "orders/OrderStore.h"
#include "orders/YearPanel.h"
#include "ui/widgets/ReportList.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <malloc.h>
#include <sqlite3.h>

#include <cstdio>

namespace bench {
namespace {

// Hands freed memory back, so that the next fill's growth of the resident set is its own.
void release() {
    malloc_trim(0);
}

// What a list does once its model is filled and before it paints: the view lays out its rows
// (it would do so on its next turn of the event loop).
void layOut(ReportView* view) {
    view->doItemsLayout();
}

// One paint of what the list shows, however many rows it holds: the text layout of the
// visible cells is Qt's, the same for any model.
double paintMs(ReportView* view) {
    Sample s = alone(1, 5, [&] { view->viewport()->repaint(); });
    return median(s.ours);
}

Row ratioRow(const QString& op, const Sample& s, double limit, const QString& notes) {
    Row r;
    r.operation = op;
    r.take(s);
    r.target = QStringLiteral("≤ %1×").arg(limit, 0, 'g', 3);
    r.met = r.both([&](double ours, double base) { return base > 0 && ours <= limit * base; });
    r.peak = s.peak;
    r.notes = notes;
    return r;
}

// Every list and combo reads its query again at its next fill, as after a write: the first
// fill, not a reuse of what it holds.
void forget(BenchWindow& w) {
    w.ctx.db().watch().touchAll();
}

// Under a limit by both clocks, with no baseline.
Row limitRow(const QString& op, const Sample& s, double limitMs, bool ok, const QString& notes) {
    Row r;
    r.operation = op;
    r.take(s);
    r.target = QStringLiteral("≤ %1 ms").arg(limitMs);
    r.met = ok && r.both([&](double ours, double) { return ours >= 0 && ours <= limitMs; });
    r.peak = s.peak;
    r.notes = notes;
    return r;
}

// A fill again with nothing written since.
Row unchangedRow(const QString& op, const Sample& s, double limitMs, const QString& notes) {
    return limitRow(op, s, limitMs, true, notes);
}

bool chooseYear(Gestione& g, int command) {
    switch (command) {
    case 1:
        g.Nordine_Click();
        break;
    case 2:
        g.Aordine_Click();
        break;
    default:
        return false;
    }
    QComboBox* years = g.Frame7->Cbo7;
    const int i = years->findText(kYear);
    if (i < 0)
        return false;
    years->setCurrentIndex(i);
    return true;
}

} // namespace

bool listsBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    Gestione& g = *w.window;
    sqlite3* h = w.ctx.db().handle();

    // The customer register in modify mode shows the whole list.
    g.CAggiorna_Click();
    settle();
    CustomerPanel* customers = g.Frame1;
    ReportModel* list2 = customers->ListView2->report();
    const long long customerRows = bareLoop(h, customers::kList);
    Sample s = compare(
        o.warmups, o.runs,
        [&] {
            customers->CaricaClienti();
            layOut(customers->ListView2);
        },
        [&] { bareLoop(h, customers::kList); },
        [&] {
            list2->clear();
            release();
        });
    if (list2->rows() != customerRows || customerRows < 1) {
        fail(QStringLiteral("CaricaClienti: %1 rows instead of %2")
                 .arg(list2->rows())
                 .arg(customerRows));
        return false;
    }
    {
        const double perRow = double(list2->memoryBytes()) / double(customerRows);
        const double rssPerRow = double(s.growth) / double(customerRows);
        Row r = ratioRow(QStringLiteral("CaricaClienti, %1 customers").arg(customerRows), s, 1.5,
                         QString());
        r.target = QStringLiteral("≤ 1.5×, ≤ 300 B/row");
        r.met = r.met && perRow <= 300;
        r.notes = QStringLiteral("model %1 B/row, RSS +%2 B/row; paint %3")
                      .arg(perRow, 0, 'f', 0)
                      .arg(rssPerRow, 0, 'f', 0)
                      .arg(fmtMs(paintMs(customers->ListView2)));
        emit(r);
    }
    // The list asked for again with nothing written: it already shows the query's rows.
    s = alone(o.warmups, o.runs, [&] {
        customers->CaricaClienti();
        settle();
    });
    if (list2->rows() != customerRows) {
        fail(QStringLiteral("CaricaClienti again: %1 rows instead of %2")
                 .arg(list2->rows())
                 .arg(customerRows));
        return false;
    }
    emit(unchangedRow(QStringLiteral("CaricaClienti again, unchanged data"), s, 20, QString()));
    list2->clear();
    g.Frame1->hide();
    release();

    // The listing of a year: mode 2 shows it on the year's choice.
    if (!chooseYear(g, 2)) {
        fail(QStringLiteral("year %1 missing").arg(kYear));
        return false;
    }
    g.Frame7->Cbo7_Click();
    settle();
    OrderPanel* orders = g.Frame3;
    ReportModel* list5 = orders->ListView5->report();
    const QByteArray year = kYear.toUtf8();
    const long long yearRows = bareLoop(h, orderstore::kOrdiniAnno, {year});
    s = compare(
        o.warmups, o.runs,
        [&] {
            orders->CaricaOrdiniAnno();
            layOut(orders->ListView5);
        },
        [&] { bareLoop(h, orderstore::kOrdiniAnno, {year}); },
        [&] {
            list5->clear();
            release();
        });
    if (list5->rows() != yearRows || yearRows < 1) {
        fail(QStringLiteral("CaricaOrdiniAnno: %1 rows instead of %2")
                 .arg(list5->rows())
                 .arg(yearRows));
        return false;
    }
    emit(ratioRow(QStringLiteral("CaricaOrdiniAnno, year of %1 lines in 1M").arg(yearRows), s, 1.5,
                  QStringLiteral("model %1 B/row, RSS +%2 MB; paint %3")
                      .arg(double(list5->memoryBytes()) / double(yearRows), 0, 'f', 0)
                      .arg(double(s.growth) / 1048576.0, 0, 'f', 1)
                      .arg(fmtMs(paintMs(orders->ListView5)))));

    // The lines of the 1000-line order, as a click on it in the listing loads them.
    orders->T7->setText(QStringLiteral("1"));
    const long long lineRows = bareLoop(h, orderstore::kRigheOrdine, {year, QByteArray("1")});
    // A few milliseconds each: more rounds, so that the medians are steady.
    s = compare(
        o.warmups, o.runs * 5,
        [&] {
            orders->CaricaRigheOrdine();
            layOut(orders->ListView5);
        },
        [&] {
            bareLoop(h, orderstore::kRigheOrdine, {year, QByteArray("1")});
        },
        [&] { list5->clear(); });
    if (list5->rows() != lineRows || lineRows != 1000) {
        fail(QStringLiteral("CaricaRigheOrdine: %1 rows instead of 1000").arg(list5->rows()));
        return false;
    }
    emit(ratioRow(QStringLiteral("CaricaRigheOrdine, order of %1 lines").arg(lineRows), s, 1.5,
                  QStringLiteral("paint %1").arg(fmtMs(paintMs(orders->ListView5)))));
    return w.dialogs.boxes.isEmpty();
}

bool yearBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    Gestione& g = *w.window;
    OrderPanel* orders = g.Frame3;
    sqlite3* h = w.ctx.db().handle();
    const QByteArray year = kYear.toUtf8();

    // The floor: the engine's loops over the queries of the choice, in its order.
    auto bare = [&] {
        bareLoop(h, lookups::kSoggetti);
        bareLoop(h, lookups::kProvinceOrdine);
        bareLoop(h, lookups::kCittaOrdine);
        bareLoop(h, lookups::kDestinazioni);
        bareLoop(h, lookups::kSceltaArticolo);
        bareLoop(h, numbering::unreadableNumberQuery(), {year});
        bareLoop(h, numbering::kHighestNumber, {year});
    };
    bool chosen = true;
    Sample s = compare(
        o.warmups, o.runs,
        [&] {
            g.Frame7->Cbo7_Click();
            settle();
        },
        bare,
        [&] {
            chosen = chosen && chooseYear(g, 1);
            settle();
            forget(w);
        });
    const QString next = orders->T7->text();
    if (!chosen || orders->title() != QLatin1String("Nuovo Ordine") || next.isEmpty() ||
        orders->Cbo5->count() < 1 || orders->Cbo6->count() < 1) {
        fail(QStringLiteral("year choice: the panel is not in \"Nuovo Ordine\""));
        return false;
    }
    emit(ratioRow(QStringLiteral("Year choice, mode 1 (%1 customers, %2 articles)")
                      .arg(orders->Cbo5->count())
                      .arg(orders->Cbo6->count()),
                  s, 2,
                  QStringLiteral("5 fills and the numbering; RSS +%1 MB")
                      .arg(double(s.growth) / 1048576.0, 0, 'f', 1)));

    // The same choice again with nothing written since: the combos keep their lists, the
    // numbering reads the next number.
    s = alone(
        o.warmups, o.runs,
        [&] {
            g.Frame7->Cbo7_Click();
            settle();
        },
        [&] {
            chosen = chosen && chooseYear(g, 1);
            settle();
        });
    if (!chosen || orders->T7->text() != next ||
        orders->Cbo5->count() != orders->Cbo5->model()->rowCount() || orders->Cbo5->count() < 1 ||
        orders->Cbo6->count() < 1) {
        fail(QStringLiteral("year choice again: the panel is not as after the first"));
        return false;
    }
    emit(unchangedRow(QStringLiteral("Year choice, mode 1, again with unchanged data"), s, 100,
                      QStringLiteral("the numbering still reads the next number")));

    // The next number: ours through the index, the floor the same maximum by a full scan.
    constexpr int kCalls = 200;
    const char* fullScan =
        "SELECT max(CAST(NR AS INTEGER)) FROM ORDINE NOT INDEXED WHERE ANNO = ?1;";
    s = compare(
        o.warmups, o.runs,
        [&] {
            for (int i = 0; i < kCalls; ++i)
                orders->NuovoNumeroOrdine();
        },
        [&] { bareLoop(h, fullScan, {year}); });
    for (auto* times : {&s.ours, &s.oursCpu})
        for (double& v : *times)
            v /= kCalls;
    if (orders->T7->text() != next) {
        fail(QStringLiteral("NuovoNumeroOrdine: %1 instead of %2").arg(orders->T7->text(), next));
        return false;
    }
    {
        Row r;
        r.operation = QStringLiteral("NuovoNumeroOrdine, 1M lines");
        r.take(s);
        r.target = QStringLiteral("≤ 1 ms and ≥ 100× faster");
        r.met = r.both([](double ours, double base) { return ours <= 1.0 && base >= 100 * ours; });
        r.peak = s.peak;
        r.notes = QStringLiteral("the full scan is %1× slower").arg(r.base / r.ours, 0, 'f', 0);
        emit(r);
    }
    return w.dialogs.boxes.isEmpty();
}

bool combosBench(const Options& o, const Emit& emit) {
    BenchWindow w(o.dir);
    if (!w.ready())
        return false;
    Gestione& g = *w.window;
    OrderPanel* orders = g.Frame3;
    sqlite3* h = w.ctx.db().handle();
    if (!chooseYear(g, 1)) {
        fail(QStringLiteral("year %1 missing").arg(kYear));
        return false;
    }
    g.Frame7->Cbo7_Click();
    settle();
    QComboBox* combo = orders->Cbo5;

    Sample s = compare(
        o.warmups, o.runs,
        [&] {
            (void)orders->CaricaSoggetti();
            settle();
        },
        [&] { bareLoop(h, lookups::kSoggetti); },
        [&] {
            forget(w);
            release();
        });
    const int names = combo->count();
    emit(ratioRow(QStringLiteral("Cbo5: CaricaSoggetti, %1 names").arg(names), s, 2,
                  QStringLiteral("RSS +%1 MB").arg(double(s.growth) / 1048576.0, 0, 'f', 1)));
    s = alone(o.warmups, o.runs, [&] {
        (void)orders->CaricaSoggetti();
        settle();
    });
    if (combo->count() != names) {
        fail(QStringLiteral("CaricaSoggetti again: %1 names instead of %2")
                 .arg(combo->count())
                 .arg(names));
        return false;
    }
    emit(unchangedRow(QStringLiteral("Cbo5: CaricaSoggetti again, unchanged data"), s, 20,
                      QString()));

    // The first keystroke in the empty field after a fill (the completer keeps what it found
    // for a prefix until the list changes): the suggestions of the names that begin with it
    // drop down. "P" begins a fifth of the names.
    QLineEdit* edit = combo->lineEdit();
    QCompleter* completer = combo->completer();
    auto empty = [&] {
        if (completer && completer->popup())
            completer->popup()->hide();
        edit->clear();
        forget(w);
        (void)orders->CaricaSoggetti();
        release();
        edit->setFocus();
        settle();
    };
    int suggested = 0;
    s = alone(
        o.warmups, o.runs,
        [&] {
            QTest::keyClick(edit, Qt::Key_P);
            settle();
        },
        empty);
    if (completer)
        suggested = completer->completionCount();
    const bool shown = completer && completer->popup() && completer->popup()->isVisible();
    emit(limitRow(QStringLiteral("Cbo5: one keystroke, completion over %1 names").arg(names), s,
                  100, shown,
                  QStringLiteral("%1 suggestions%2")
                      .arg(suggested)
                      .arg(shown ? QString() : QStringLiteral(", popup not shown"))));
    empty();

    // The drop-down list: opening it, and a jump from its top to its end.
    s = alone(
        o.warmups, o.runs,
        [&] {
            combo->showPopup();
            settle();
        },
        [&] {
            combo->hidePopup();
            settle();
        });
    emit(limitRow(QStringLiteral("Cbo5: drop-down of %1 names opened").arg(names), s, 100,
                  combo->view()->isVisible(), QString()));
    QAbstractItemView* view = combo->view();
    s = alone(
        o.warmups, o.runs,
        [&] {
            view->scrollToBottom();
            settle();
        },
        [&] {
            view->scrollToTop();
            settle();
        });
    emit(limitRow(QStringLiteral("Cbo5: drop-down scrolled top to end"), s, 100,
                  view->verticalScrollBar()->value() == view->verticalScrollBar()->maximum(),
                  QString()));
    combo->hidePopup();
    return true;
}

} // namespace bench
