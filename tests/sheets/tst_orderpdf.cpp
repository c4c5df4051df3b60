// The order sheet on paper without a spreadsheet application: the commands of the order panel
// (enabled once an order is chosen for printing), the PDF in the archive read back with
// poppler's tools, the print preview and the printer drawing the same pages.

#include "SheetKit.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "orders/OrderPanel.h"
#include "orders/OrderPrintCommands.h"
#include "orders/YearPanel.h"
#include "sheets/OrderSheet.h"
#include "sheets/SheetPrint.h"
#include "sheets/Workbook.h"

#include <QAction>
#include <QComboBox>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace sheets;

namespace {

// An order of n lines of customer 101, with prices and notes.
void storeLines(Database& db, const QString& nr, int n) {
    exec(db, "INSERT OR IGNORE INTO CLIENTE (CODICE, SOGGETTO) VALUES ('101', 'ALIMENTARI "
             "D''ANGELO');");
    QList<kit::Line> lines;
    for (int i = 0; i < n; ++i)
        lines.append({QStringLiteral("ARTICOLO DELLA RIGA %1").arg(i, 3, 10, QChar('0')),
                      QString::number(1000 + i), 2.5, double(i % 4 + 1), 12.5,
                      QStringLiteral("NOTA %1").arg(i)});
    kit::Header h;
    h.nr = nr;
    kit::storeOrder(db, h, lines);
}

int pagesOf(const QString& pdf) {
    const QString info = kit::toolOutput("pdfinfo", {pdf});
    return QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt();
}

QString textOf(const QString& pdf, int page = 0) {
    QStringList args{"-layout"};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    return kit::toolOutput("pdftotext", args << pdf << "-");
}

// One page wide: the first and the last column on page 1, A4 landscape, every font embedded.
void checkPaper(const QString& pdf) {
    const QString info = kit::toolOutput("pdfinfo", {pdf});
    QVERIFY2(info.contains(
                 QRegularExpression("Page size:\\s+(842|841\\.89) x (595|595\\.28) pts \\(A4\\)")),
             qPrintable(info));
    QVERIFY(info.contains(QRegularExpression("Page rot:\\s+0\\b")));
    const QStringList fonts = kit::toolOutput("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(fonts.size() > 2, qPrintable(fonts.join('\n')));
    for (const QString& line : fonts.mid(2))
        QVERIFY2(line.contains(QRegularExpression("\\byes\\s+(yes|no)\\s+(yes|no)\\s+\\d+")),
                 qPrintable(line));
}

} // namespace

class TestOrderPdf : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (kit::toolOutput("pdfinfo", {"-v"}).isNull() &&
            QProcess::execute("pdfinfo", {"-v"}) != 0)
            QFAIL("poppler-utils (pdfinfo, pdftotext, pdffonts) is needed: scripts/setup.sh");
    }

    void fromThePanelOnceAnOrderIsChosen() {
        App app;
        storeLines(app.db(), "7", 30);
        OrderPanel* p = app.window->Frame3;
        OrderPrintCommands* c = p->printCommands;
        for (QAction* a : c->actions())
            QVERIFY(!a->isEnabled());
        ui::menu(app.window.get(), "StampaOrdine");
        QVERIFY(ui::choose(app.window->Frame7->Cbo7, "2026"));
        for (QAction* a : c->actions())
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        ui::clickRow(p->ListView5, 0);
        for (QAction* a : c->actions())
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        QCOMPARE(c->PdfOrdine->text(), QStringLiteral("Salva come PDF"));
        QCOMPARE(c->AnteprimaOrdine->shortcut(), QKeySequence("Ctrl+Shift+P"));

        c->PdfOrdine->trigger();
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        const QString pdf = kit::archiveFolder() + "/Ordine 2026-7.pdf";
        QCOMPARE(app.opener.opened, QStringList{pdf});
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(pdf).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
        auto wb = buildOrderSheet(app.db(), "2026", "7", "101");
        QVERIFY(wb);
        const int pages = SheetPrint((*wb)->sheet(0)).pageCount();
        QCOMPARE(pagesOf(pdf), pages);
        QVERIFY(pages <= 2);
        checkPaper(pdf);
        // One page wide: the first and the last column on the first page.
        const QString first = textOf(pdf, 1);
        for (const char* title :
             {"CODICE ARTICOLO", "DESCRIZIONE ARTICOLO", "NOTE", "SCONTI % O €"})
            QVERIFY2(first.contains(QString::fromUtf8(title)), title);
        const QString text = textOf(pdf);
        for (const char* expected :
             {"NOTA 29", "ARTICOLO DELLA RIGA 029", "12,50", "TOTALE", "Pagina 1 di "})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        // The number and the dates under their titles; the totals: 73 cartons, 182,50 kg, 2.281,25
        // € gross.
        QVERIFY2(text.contains(QRegularExpression("CONSEGNA\\n\\s*7\\s+01/12/2026\\s+15/12/2026")),
                 qPrintable(text.left(1500)));
        for (const char* total : {"73", "182,50", "2.281,25", "30"})
            QVERIFY2(text.contains(QRegularExpression(
                         QStringLiteral("TOTALE.*\\b%1\\b")
                             .arg(QRegularExpression::escape(QString::fromUtf8(total))))),
                     total);
        // A second PDF of the same order keeps the first.
        c->PdfOrdine->trigger();
        QCOMPARE(app.opener.opened.last(), kit::archiveFolder() + "/Ordine 2026-7 (2).pdf");

        // The preview draws the same pages.
        int previewPages = -1;
        c->runDialog = [&](QDialog& d) {
            auto* preview = d.findChild<QPrintPreviewWidget*>();
            if (!preview || !qobject_cast<QPrintPreviewDialog*>(&d))
                return false;
            preview->updatePreview();
            previewPages = preview->pageCount();
            return false;
        };
        c->AnteprimaOrdine->trigger();
        QCOMPARE(previewPages, pages);

        // The printer chosen gets them too: here a PDF printer.
        QTemporaryDir out;
        const QString printed = out.filePath("stampa.pdf");
        c->runDialog = [&](QDialog& d) {
            auto* choice = qobject_cast<QPrintDialog*>(&d);
            if (!choice)
                return false;
            choice->printer()->setOutputFormat(QPrinter::PdfFormat);
            choice->printer()->setOutputFileName(printed);
            return true;
        };
        c->StampanteOrdine->trigger();
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(pagesOf(printed), pages);
        QVERIFY(textOf(printed).contains("TOTALE"));

        // Closed, the panel's commands are off again.
        ui::click(p->Cmd5);
        for (QAction* a : c->actions())
            QVERIFY(!a->isEnabled());
    }

    // A long order: as many pages as the rows need, the title row on each, the totals on the
    // last.
    void aLongOrderRunsOverPages() {
        App app;
        storeLines(app.db(), "8", 200);
        auto written = writeOrderPdf(app.db(), "2026", "8", "101");
        QVERIFY2(written, written ? "" : qPrintable(written.error().text));
        auto wb = buildOrderSheet(app.db(), "2026", "8", "101");
        QVERIFY(wb);
        const int pages = SheetPrint((*wb)->sheet(0)).pageCount();
        QVERIFY2(pages >= 4 && pages <= 8, qPrintable(QString::number(pages)));
        QCOMPARE(pagesOf(written->path), pages);
        checkPaper(written->path);
        for (int page = 1; page <= pages; ++page) {
            const QString text = textOf(written->path, page);
            QVERIFY2(text.contains("AGENTE"), qPrintable(QString::number(page)));
            QVERIFY(text.contains(QStringLiteral("Pagina %1 di %2").arg(page).arg(pages)));
            QCOMPARE(text.contains("TOTALE"), page == pages);
        }
        QVERIFY(textOf(written->path).contains("ARTICOLO DELLA RIGA 199"));

        // A range of pages, as a print dialog gives it: those pages only.
        QTemporaryDir out;
        const QString part = out.filePath("pagine.pdf");
        {
            QPdfWriter writer(part);
            QVERIFY(SheetPrint((*wb)->sheet(0)).print(writer, 2, 3));
        }
        QCOMPARE(pagesOf(part), 2);
        QVERIFY(textOf(part, 1).contains(QStringLiteral("Pagina 2 di %1").arg(pages)));
        QVERIFY(textOf(part, 2).contains(QStringLiteral("Pagina 3 di %1").arg(pages)));
    }
};

QTEST_MAIN(TestOrderPdf)
#include "tst_orderpdf.moc"
