// The window "Statistiche" on the demo file: Ctrl+T opens it, each view shows its chart and its
// table in the Italian forms, the filters narrow what is counted, a customer opens its card, and
// each view goes to a workbook and to a PDF whose first page is the chart. Nothing is cut, at 96
// and at 144 dots per inch.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "data/Database.h"
#include "sheets/SheetPrint.h"
#include "sheets/Workbook.h"
#include "stats/CustomerSummary.h"
#include "stats/StatsModel.h"
#include "stats/StatsWindow.h"
#include "stats/Trend.h"
#include "text/ItalianText.h"
#include "ui/widgets/ReportList.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString pdfText(const QString& path, int page) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
             QString::number(page), QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return -1;
    return QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
        .match(QString::fromUtf8(p.readAllStandardOutput()))
        .captured(1)
        .toInt();
}

int barCount(QChartView* v) {
    int n = 0;
    for (QAbstractSeries* s : v->chart()->series())
        if (auto* b = qobject_cast<QAbstractBarSeries*>(s))
            for (QBarSet* set : b->barSets())
                n += set->count();
    return n;
}

} // namespace

class TestStatsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    StatsWindow* w = nullptr;

    void open() {
        app = std::make_unique<App>(TestDir::Content::Demo);
        QVERIFY(app->started);
        QTest::keyClick(app->window.get(), Qt::Key_T, Qt::ControlModifier);
        w = app->window->Statistiche;
        QVERIFY(w);
        QVERIFY(w->isVisible());
    }

private Q_SLOTS:
    void cleanup() {
        if (app)
            QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
        app.reset();
    }

    // Each view fills its table and its chart; the trend's cells are the core's sums in the
    // Italian forms.
    void views() {
        open();
        QCOMPARE(w->Schede->count(), 4);
        QCOMPARE(w->Schede->tabText(0), QStringLiteral("Andamento"));
        QCOMPARE(w->Schede->tabText(3), QStringLiteral("Da visitare"));
        auto t = stats::trend(app->db(), kFixtureYear, app->clock.today(), {});
        QVERIFY(t);
        StatsModel* m = w->model(StatsWindow::Andamento);
        QCOMPARE(m->rowCount(), 14);
        QCOMPARE(m->text(0, 0), QStringLiteral("Gennaio"));
        QCOMPARE(m->text(0, 1), itext::formatGrouped2(stats::euro(t->months[0].gross)));
        QCOMPARE(m->text(12, 1), itext::formatGrouped2(stats::euro(t->total.gross)));
        // The net beside the gross, in each year.
        QCOMPARE(m->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Netto € 2026"));
        QCOMPARE(m->text(0, 2), itext::formatGrouped2(stats::euro(t->months[0].net)));
        QCOMPARE(m->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Netto € 2025"));
        QVERIFY(t->total.net < t->total.gross);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Lordo € 2026"));
        QVERIFY(w->Riepilogo->text().startsWith(
            QStringLiteral("Progressivo al 08/12/2026: € %1")
                .arg(itext::formatGrouped2(stats::euro(t->toDate.gross)))));
        QCOMPARE(barCount(w->Grafico[StatsWindow::Andamento]), 24);
        for (int v = 1; v < 4; ++v) {
            w->Schede->setCurrentIndex(v);
            QVERIFY2(w->model(StatsWindow::View(v))->rowCount() > 1,
                     qPrintable(w->Schede->tabText(v)));
            QVERIFY(barCount(w->Grafico[size_t(v)]) > 0);
        }
        // The rankings show the net beside the gross; "Da visitare" ends with the customers who
        // never ordered, marked "mai".
        for (const StatsWindow::View v : {StatsWindow::Clienti, StatsWindow::Articoli}) {
            const stats::Table& ranked = w->model(v)->table();
            const auto gross =
                std::find_if(ranked.columns.begin(), ranked.columns.end(),
                             [](const stats::Column& c) { return c.heading == "Lordo €"; });
            QVERIFY(gross != ranked.columns.end());
            QCOMPARE(std::next(gross)->heading, QStringLiteral("Netto €"));
        }
        const int never =
            value(app->db(), "SELECT COUNT(DISTINCT CODICE) FROM CLIENTE WHERE CODICE <> '' AND "
                             "NOT EXISTS (SELECT 1 FROM ORDINE WHERE ID_CL = CLIENTE.CODICE);")
                .toInt();
        QVERIFY(never > 0);
        StatsModel* visits = w->model(StatsWindow::DaVisitare);
        for (int r = 0; r < visits->rowCount(); ++r)
            QCOMPARE(visits->text(r, 5) == QLatin1String("mai"), r >= visits->rowCount() - never);
        // A province: the customers of that province alone.
        w->Schede->setCurrentIndex(StatsWindow::Clienti);
        const int before = w->model(StatsWindow::Clienti)->rowCount();
        QVERIFY(w->Provincia->count() > 2);
        w->Provincia->setCurrentIndex(1);
        const QString province = w->Provincia->currentText();
        m = w->model(StatsWindow::Clienti);
        QVERIFY(m->rowCount() < before);
        for (int r = 0; r + 1 < m->rowCount(); ++r)
            QCOMPARE(m->text(r, 4), province);
        QCOMPARE(m->text(m->rowCount() - 1, 2), QStringLiteral("Totale"));
        // Without price lists no principal can be chosen.
        QVERIFY(!w->Mandante->isEnabled());
        // An article's buyers.
        w->Schede->setCurrentIndex(StatsWindow::Articoli);
        w->showBuyers(0);
        QVERIFY(w->buyersModel()->rowCount() > 1);
        QVERIFY(w->LAcquirenti->text().startsWith(QStringLiteral("Clienti che hanno acquistato ")));
    }

    // A period that ends before it begins is refused with a box, and the table is emptied.
    void wrongPeriod() {
        open();
        w->Schede->setCurrentIndex(StatsWindow::Clienti);
        w->Dal->setDate(QDate(2026, 6, 1));
        app->dialogs.clear();
        w->Al->setDate(QDate(2026, 5, 1));
        QCOMPARE(app->dialogs.boxes.size(), 1);
        QCOMPARE(app->dialogs.boxes[0].text,
                 QStringLiteral("La data di inizio del periodo (01/06/2026) viene dopo quella di "
                                "fine (01/05/2026)."));
        QCOMPARE(w->model(StatsWindow::Clienti)->rowCount(), 0);
    }

    // A customer's card: its orders as the search shows them, its monthly chart, and an order
    // opened from it.
    void customerCard() {
        open();
        w->Schede->setCurrentIndex(StatsWindow::Clienti);
        QTableView* t = w->Tabella[StatsWindow::Clienti];
        t->setFocus();
        t->setCurrentIndex(t->model()->index(0, 0));
        ui::click(w->CmdScheda);
        QVERIFY(w->Scheda && w->Scheda->isVisible());
        const QString code = w->model(StatsWindow::Clienti)->text(0, 1);
        const QString orders = value(
            app->db(), QStringLiteral("SELECT COUNT(DISTINCT ANNO || '/' || NR) FROM ORDINE WHERE "
                                      "ID_CL = '%1';")
                           .arg(code)
                           .toUtf8()
                           .constData());
        QCOMPARE(w->Scheda->StoricoCliente->report()->rows(), orders.toInt());
        QVERIFY(w->Scheda->LCliente->text().startsWith(
            QStringLiteral("Storico di %1 (%2): ")
                .arg(w->model(StatsWindow::Clienti)->text(0, 2), code)));
        QCOMPARE(barCount(w->Scheda->GraficoCliente), 24);
        QSignalSpy chosen(w, &StatsWindow::orderChosen);
        QTest::keyClick(w->Scheda->StoricoCliente, Qt::Key_Return);
        QCOMPARE(chosen.size(), 1);
        // Without a row chosen: a box says what to do.
        t->setCurrentIndex(QModelIndex());
        app->dialogs.clear();
        ui::click(w->CmdScheda);
        QCOMPARE(app->dialogs.boxes.size(), 1);
        QCOMPARE(app->dialogs.boxes[0].text,
                 QStringLiteral("Scegliere prima un cliente nell'elenco."));
    }

    // Every view to a workbook and to a PDF, owner-only, never over an earlier file; the PDF's
    // first page is the chart, then the table.
    void files() {
        open();
        const QString folder =
            QDir::home().filePath(QStringLiteral("Documents/Gestione Ordini/Statistiche"));
        const QStringList names{"Andamento 2026", "Clienti", "Articoli", "Da visitare"};
        for (int v = 0; v < 4; ++v) {
            w->Schede->setCurrentIndex(v);
            ui::click(w->CmdExcel);
            QVERIFY2(!app->opener.opened.isEmpty(), qPrintable(app->dialogs.describe()));
            const QString xlsx = app->opener.opened.last();
            QCOMPARE(QFileInfo(xlsx).absolutePath(), folder);
            QVERIFY(QFileInfo(xlsx).fileName().startsWith(names[v]));
            QVERIFY(xlsx.endsWith(QLatin1String(".xlsx")));
            QCOMPARE(QFileInfo(xlsx).permissions() & 0x0077, QFileDevice::Permissions());
            ui::click(w->CmdPdf);
            const QString pdf = app->opener.opened.last();
            QVERIFY(pdf.endsWith(QLatin1String(".pdf")));
            QCOMPARE(QFileInfo(pdf).permissions() & 0x0077, QFileDevice::Permissions());
            const QString cover = pdfText(pdf, 1);
            QVERIFY2(cover.contains(w->bars(StatsWindow::View(v)).title), qPrintable(cover));
            const QString table = pdfText(pdf, 2);
            QVERIFY2(table.contains(w->model(StatsWindow::View(v))->text(0, 1)), qPrintable(table));
        }
        // Again: a new name beside the first.
        ui::click(w->CmdExcel);
        QVERIFY(app->opener.opened.last().endsWith(QLatin1String("Da visitare (2).xlsx")));
    }

    // The PDF of each view, read back as text: the chart's page under the view's title, then
    // every column of the table on each page under its headings, the numbers as the window
    // shows them, and the pages numbered from the chart's.
    void pdfOnPaper_data() {
        QTest::addColumn<int>("view");
        QTest::newRow("Andamento") << int(StatsWindow::Andamento);
        QTest::newRow("Clienti") << int(StatsWindow::Clienti);
        QTest::newRow("Articoli") << int(StatsWindow::Articoli);
        QTest::newRow("Da visitare") << int(StatsWindow::DaVisitare);
    }
    void pdfOnPaper() {
        QFETCH(int, view);
        open();
        w->Schede->setCurrentIndex(view);
        ui::click(w->CmdPdf);
        QVERIFY2(!app->opener.opened.isEmpty(), qPrintable(app->dialogs.describe()));
        const QString pdf = app->opener.opened.last();
        StatsModel* m = w->model(StatsWindow::View(view));
        const stats::Table& t = m->table();
        // The texts of a line of the page, in order, each set apart from the next.
        const auto lineOf = [](const QStringList& texts) {
            QStringList parts;
            for (const QString& s : texts)
                if (!s.isEmpty())
                    parts << QRegularExpression::escape(s);
            return QRegularExpression(QStringLiteral("(^|\\n) *") +
                                      parts.join(QStringLiteral(" +")) +
                                      QStringLiteral(" *(\\n|$)"));
        };
        const auto rowTexts = [&](int r) {
            QStringList texts;
            for (int c = 0; c < m->columnCount(); ++c)
                texts << m->text(r, c);
            return texts;
        };
        QStringList headings;
        for (const stats::Column& c : t.columns)
            headings << c.heading;
        const int pages = pdfPages(pdf);
        QVERIFY(pages >= 2);
        const QString cover = pdfText(pdf, 1);
        QVERIFY2(cover.contains(lineOf({t.title})), qPrintable(cover));
        QVERIFY2(cover.contains(lineOf({QStringLiteral("Pagina 1 di %1").arg(pages)})),
                 qPrintable(cover));
        QString all;
        for (int page = 2; page <= pages; ++page) {
            const QString text = pdfText(pdf, page);
            QVERIFY2(text.contains(lineOf(headings)), qPrintable(text));
            QVERIFY2(
                text.contains(lineOf({QStringLiteral("Pagina %1 di %2").arg(page).arg(pages)})),
                qPrintable(text));
            all += text;
        }
        for (int r : {0, 1, m->rowCount() - 1})
            QVERIFY2(all.contains(lineOf(rowTexts(r))),
                     qPrintable(rowTexts(r).join(QLatin1Char('|')) + QStringLiteral("\n") + all));
    }

    // "Stampa…" gives the printer chosen the chart on a page of its own, then the table's pages;
    // nothing goes out when the choice is cancelled.
    void printing() {
        open();
        QTemporaryDir out;
        for (const StatsWindow::View v : {StatsWindow::Andamento, StatsWindow::Articoli}) {
            w->Schede->setCurrentIndex(v);
            const QString printed = out.filePath(QStringLiteral("stampa%1.pdf").arg(int(v)));
            QString title;
            w->runDialog = [&](QDialog& d) {
                auto* choice = qobject_cast<QPrintDialog*>(&d);
                if (!choice)
                    return false;
                title = d.windowTitle();
                choice->printer()->setOutputFormat(QPrinter::PdfFormat);
                choice->printer()->setOutputFileName(printed);
                return true;
            };
            ui::click(w->CmdStampa);
            QCOMPARE(title, QStringLiteral("Stampa delle statistiche"));
            auto wb = stats::workbookOf(w->model(v)->table());
            const int tablePages = sheets::SheetPrint(wb->sheet(0)).pageCount();
            QVERIFY(tablePages >= 1);
            QCOMPARE(pdfPages(printed), 1 + tablePages);
            // The chart: its title and the legend of its two series.
            const statschart::Bars& bars = w->bars(v);
            const QString cover = pdfText(printed, 1);
            for (const QString& text : {bars.title, bars.firstName, bars.secondName})
                QVERIFY2(cover.contains(text), qPrintable(text + QStringLiteral(": ") + cover));
            const QString table = pdfText(printed, 2);
            QVERIFY2(table.contains(w->model(v)->table().columns[1].heading), qPrintable(table));
            QVERIFY2(table.contains(w->model(v)->text(0, 1)), qPrintable(table));
        }
        const QString cancelled = out.filePath(QStringLiteral("annullata.pdf"));
        w->runDialog = [&](QDialog& d) {
            auto* choice = qobject_cast<QPrintDialog*>(&d);
            if (choice) {
                choice->printer()->setOutputFormat(QPrinter::PdfFormat);
                choice->printer()->setOutputFileName(cancelled);
            }
            return false;
        };
        ui::click(w->CmdStampa);
        QVERIFY(!QFileInfo::exists(cancelled));
    }

    // With GESTIONE_SCREENSHOTS naming a folder: a picture of each view and of a customer's
    // card there, to look at.
    void screenshots() {
        const QString folder = qEnvironmentVariable("GESTIONE_SCREENSHOTS");
        if (folder.isEmpty())
            QSKIP("GESTIONE_SCREENSHOTS not set");
        open();
        const QStringList names{"andamento", "clienti", "articoli", "davisitare"};
        for (int v = 0; v < 4; ++v) {
            w->Schede->setCurrentIndex(v);
            if (v == StatsWindow::Articoli)
                w->showBuyers(0);
            QTest::qWait(300);
            QVERIFY(w->grab().save(QDir(folder).filePath(names[v] + QStringLiteral(".png"))));
        }
        w->openSummary(StatsWindow::DaVisitare, 0);
        QTest::qWait(300);
        QVERIFY(w->Scheda->grab().save(QDir(folder).filePath(QStringLiteral("scheda.png"))));
    }

    // No text of the window, its tabs, its buttons or its table headings is cut.
    void nothingIsCut() {
        open();
        QStringList cut;
        const auto tell = [&](QWidget* x, const QString& what, int need, int room) {
            if (need > room)
                cut << QStringLiteral("%1 \"%2\": %3 px in %4")
                           .arg(x->objectName(), what)
                           .arg(need)
                           .arg(room);
        };
        for (int v = 0; v < 4; ++v) {
            w->Schede->setCurrentIndex(v);
            QCoreApplication::processEvents();
            for (QWidget* x : w->findChildren<QWidget*>()) {
                if (!x->isVisible())
                    continue;
                const QFontMetrics fm(x->font());
                if (auto* l = qobject_cast<QLabel*>(x); l && !l->text().isEmpty() && !l->wordWrap())
                    tell(x, l->text(), fm.horizontalAdvance(l->text().remove(QLatin1Char('&'))),
                         l->contentsRect().width());
                else if (auto* b = qobject_cast<QPushButton*>(x); b && !b->text().isEmpty()) {
                    QStyleOptionButton o;
                    o.initFrom(b);
                    const QRect room =
                        b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b);
                    tell(x, b->text(),
                         fm.horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))),
                         room.width());
                } else if (auto* t = qobject_cast<QTableView*>(x)) {
                    QHeaderView* h = t->horizontalHeader();
                    for (int c = 0; c < h->count(); ++c) {
                        const QString head = t->model()->headerData(c, Qt::Horizontal).toString();
                        tell(x, head, QFontMetrics(h->font()).horizontalAdvance(head),
                             h->sectionSize(c));
                    }
                }
            }
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestStatsWindow)
#include "tst_statswindow.moc"
