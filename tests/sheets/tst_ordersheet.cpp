// The order sheet: its cells and formats in the model, the file read back by openpyxl, and the
// orders it is asked for (no lines, no customer, another year, twice), and its failures.

#include "SheetKit.h"
#include "support/Fixture.h"

#include "app/Gestione.h"
#include "orders/PrintOrder.h"
#include "sheets/OrderData.h"
#include "sheets/OrderSheet.h"
#include "sheets/SpreadsheetSession.h"
#include "sheets/Workbook.h"
#include "ui/Titles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QStatusBar>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace sheets;

namespace {

// A cell's text as the model holds it.
QString text(const Sheet& s, const char* a1) {
    return QString::fromStdString(s.value(a1).text);
}

void seed(Database& db) {
    exec(db, "UPDATE UTENTE SET UTENTE = 'MARIO ROSSI', VIA = 'VIA ROMA 1', CAP = '24100', "
             "CITTA = 'BERGAMO', PR = 'BG';");
    exec(db, "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) "
             "VALUES ('101', 'ALIMENTARI D''ANGELO', 'LODI', 'LO');");
    kit::storeOrder(db, kit::Header{},
                    {{"ZUCCHERO SEMOLATO", "300", 10, 3, 1.2, "CONSEGNA AL MATTINO"},
                     {"ÀNCORA TONNO", "100", 0.5, 12, 12.5, ""},
                     {"BURRO", "200", 2.25, 1, 7.8, "PRIMA RIGA\nSECONDA RIGA"}});
    // The same number in another year, which the sheet must not show.
    kit::Header other;
    other.anno = QStringLiteral("2025");
    kit::storeOrder(db, other, {{"ALTRO ANNO", "999", 1, 1, 1, ""}});
}

// The order sheet of an order, built in a workbook of its own.
struct Built {
    Workbook wb;
    Sheet& sheet() { return wb.sheet(0); }
};

std::unique_ptr<Built> build(Database& db, const char* year, const char* number,
                             const char* customer) {
    auto order = order::readOrder(db, QString::fromUtf8(year), QString::fromUtf8(number),
                                  QString::fromUtf8(customer));
    if (!order)
        qFatal("readOrder: %s", qPrintable(order.error().text));
    auto b = std::make_unique<Built>();
    order::layOut(b->sheet(), *order);
    return b;
}

QString folderOfSheets() {
    return kit::archiveFolder();
}

mode_t modeOf(const QString& path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestOrderSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerAndLinesInTheModel() {
        App app;
        seed(app.db());
        auto b = build(app.db(), "2026", "7", "101");
        const Sheet& s = b->sheet();
        QCOMPARE(text(s, "A1"), QStringLiteral("AGENTE"));
        QCOMPARE(text(s, "A2"),
                 QStringLiteral("MARIO ROSSI     VIA ROMA 1   24100      BERGAMO   BG"));
        QCOMPARE(text(s, "A3"), QStringLiteral("CLIENTE"));
        QCOMPARE(text(s, "A4"), QStringLiteral("101 -  ALIMENTARI D'ANGELO"));
        QCOMPARE(text(s, "A5"), QStringLiteral("DESTINAZIONE MERCE"));
        QCOMPARE(text(s, "A6"), QStringLiteral("MAGAZZINO  LODI   LO"));
        QCOMPARE(text(s, "G9"), QStringLiteral("N° ORDINE"));
        QCOMPARE(text(s, "H9"), QStringLiteral("DATA ORDINE"));
        QCOMPARE(text(s, "I9"), QStringLiteral("DATA CONSEGNA"));
        QCOMPARE(s.value("G10").kind, Value::Kind::Text);
        QCOMPARE(text(s, "G10"), QStringLiteral("7"));
        QCOMPARE(s.value("H10"), *Value::ofDate(QDate(2026, 12, 1)));
        QCOMPARE(s.value("I10"), *Value::ofDate(QDate(2026, 12, 15)));

        const QStringList titles = {"CODICE ARTICOLO",
                                    "DESCRIZIONE ARTICOLO",
                                    "FORMATO",
                                    "PESO COLLO (KG O LITRI",
                                    "QUANTITA'      VENDITA (CB)",
                                    "QUANTITA' OMAGGIO (CB)",
                                    "PREZZO       ( €/KG )",
                                    "SCONTI % O €",
                                    "NOTE"};
        for (int c = 0; c < 9; ++c)
            QCOMPARE(QString::fromStdString(s.value(12, c).text), titles[c]);

        // Sorted by description, the accented letter beside its base letter; text stays text
        // and numbers stay numbers; an empty note leaves its cell empty.
        QCOMPARE(text(s, "B14"), QStringLiteral("ÀNCORA TONNO"));
        QCOMPARE(text(s, "B15"), QStringLiteral("BURRO"));
        QCOMPARE(text(s, "B16"), QStringLiteral("ZUCCHERO SEMOLATO"));
        QVERIFY(s.value("B17").empty());
        QCOMPARE(s.value("A14"), Value::ofText("100"));
        QCOMPARE(s.value("C14"), Value::ofText("CT 6X1"));
        QCOMPARE(s.value("D14"), Value::ofNumber(0.5));
        QCOMPARE(s.value("E14"), Value::ofNumber(12));
        QCOMPARE(s.value("F14"), Value::ofNumber(1));
        QCOMPARE(s.value("G14"), Value::ofNumber(12.5));
        QCOMPARE(s.value("H14"), Value::ofNumber(5));
        QVERIFY(s.value("I14").empty());
        QCOMPARE(text(s, "I15"), QStringLiteral("PRIMA RIGA\nSECONDA RIGA"));
        // The labels and "TOTALE" two rows below the last line.
        QCOMPARE(s.rowCount(), 18);
    }

    void formatsInTheModel() {
        App app;
        seed(app.db());
        auto b = build(app.db(), "2026", "7", "101");
        const Sheet& s = b->sheet();
        auto font = [&](const char* a1) {
            const Format& f = s.format(a1);
            return QStringLiteral("%1 %2%3")
                .arg(QString::fromStdString(f.fontName))
                .arg(f.fontSize)
                .arg(f.bold ? " bold" : "");
        };
        QCOMPARE(font("A1"), QStringLiteral("Arial 10"));
        QCOMPARE(font("A2"), QStringLiteral("Arial 10 bold"));
        QCOMPARE(font("A3"), QStringLiteral("Arial 10"));
        QCOMPARE(font("F8"), QStringLiteral("Arial 10"));
        QCOMPARE(font("G1"), QStringLiteral(" 12"));
        QCOMPARE(font("A9"), QStringLiteral("Arial 10"));
        QCOMPARE(font("G9"), QStringLiteral("Arial 10 bold"));
        QCOMPARE(font("I10"), QStringLiteral("Arial 10 bold"));
        QCOMPARE(font("A13"), QStringLiteral("Arial 9 bold"));
        QCOMPARE(font("E13"), QStringLiteral("Arial 9 bold"));
        QCOMPARE(font("G13"), QStringLiteral("Arial 9 bold"));
        QCOMPARE(font("B14"), QStringLiteral("Arial 9"));
        QCOMPARE(font("I500"), QStringLiteral("Arial 9"));
        QCOMPARE(font("J14"), QStringLiteral(" 12"));
        QCOMPARE(font("Z1"), QStringLiteral(" 12"));

        QCOMPARE(s.merges(),
                 (std::vector<Range>{Range::at("A2:F2"), Range::at("A4:F4"), Range::at("A6:F6")}));
        for (const char* a1 : {"A2", "A4", "A6"}) {
            const Format& f = s.format(a1);
            QVERIFY(f.shrink && !f.wrap);
            QCOMPARE(f.hAlign, HAlign::General);
            QCOMPARE(f.vAlign, VAlign::Bottom);
            QCOMPARE(f.borders, std::uint8_t(edge::Left | edge::Top | edge::Bottom));
        }
        QCOMPARE(s.format("C4").borders, std::uint8_t(edge::Top | edge::Bottom));
        QCOMPARE(s.format("F6").borders, std::uint8_t(edge::Right | edge::Top | edge::Bottom));

        // Number titles: one outline, no lines between.
        QCOMPARE(s.format("G9").borders, std::uint8_t(edge::Left | edge::Top | edge::Bottom));
        QCOMPARE(s.format("H9").borders, std::uint8_t(edge::Top | edge::Bottom));
        QCOMPARE(s.format("I9").borders, std::uint8_t(edge::Right | edge::Top | edge::Bottom));
        QCOMPARE(s.format("H9").vAlign, VAlign::Justify);
        QVERIFY(s.format("H9").wrap);
        QCOMPARE(s.format("H9").numberFormat, std::string("dd-mmm-yyyy"));
        QCOMPARE(s.format("H10").borders, std::uint8_t(edge::Top | edge::Bottom));
        QCOMPARE(s.format("H10").hAlign, HAlign::Center);
        QCOMPARE(s.format("H10").numberFormat, kShortDate);
        QCOMPARE(s.format("G10").numberFormat, std::string());

        // Line titles: lines all round every cell; wrap except B and C; F shrinks.
        for (int c = 0; c < 9; ++c) {
            const Format& f = s.format(12, c);
            QCOMPARE(f.borders, edge::All);
            QCOMPARE(f.vAlign, VAlign::Center);
            QCOMPARE(f.hAlign, HAlign::General);
            QCOMPARE(f.wrap, c != 1 && c != 2);
            QCOMPARE(f.shrink, c == 5);
        }

        // Line columns, written rows and rows far below alike.
        const char* formats[9] = {"0", "", "", "0.0", "0", "0", "0.00", "0", ""};
        const bool centred[9] = {false, false, false, true, true, true, false, true, false};
        for (int row : {13, 15, 20000}) {
            for (int c = 0; c < 9; ++c) {
                const Format& f = s.format(row, c);
                QCOMPARE(f.numberFormat, std::string(formats[c]));
                QCOMPARE(f.hAlign, centred[c] ? HAlign::Center : HAlign::General);
                QCOMPARE(f.vAlign, VAlign::Bottom);
                QCOMPARE(f.borders, std::uint8_t(0));
            }
        }
        QCOMPARE(s.format("A12").numberFormat, std::string());

        QCOMPARE(s.rowHeight(1), std::optional<double>(20.25));
        QCOMPARE(s.rowHeight(12), std::nullopt);
        QCOMPARE(s.columnWidth(1), std::optional<double>(29.38));
        QCOMPARE(s.columnWidth(3), std::optional<double>(8));
        QCOMPARE(s.columnWidth(5), std::optional<double>(8));
        QCOMPARE(s.columnWidth(7), std::optional<double>(12));
        for (int c : {0, 2, 4, 6, 8})
            QVERIFY2(s.columnWidth(c) && *s.columnWidth(c) > 3, qPrintable(QString::number(c)));
        // Column A is as wide as "DESTINAZIONE MERCE", the merged lines aside.
        QVERIFY(*s.columnWidth(0) > 14 && *s.columnWidth(0) < 24);
        QCOMPARE(s.columnWidth(9), std::nullopt);

        QCOMPARE(s.page().printArea, std::optional<Range>(Range::at("A1:I65000")));
        QCOMPARE(s.page().leftMargin, std::optional<double>(5));
        QCOMPARE(s.page().rightMargin, std::optional<double>(0.5));
        QVERIFY(s.page().printGridlines);
        QCOMPARE(s.page().titleRows, (std::optional<std::pair<int, int>>({0, 0})));
        QCOMPARE(s.selection(), Range::at("A1"));
    }

    // Under every locale of the desktop the file holds its numbers, widths, heights and margins
    // as the file format wants them.
    void writtenFileReadBack_data() { kit::addLocaleRows(); }
    void writtenFileReadBack() {
        QFETCH(QByteArray, locale);
        const kit::ProcessLocale inLocale(locale.constData());
        QVERIFY2(inLocale.active, locale.constData());
        QFile::remove(QDir(folderOfSheets()).filePath("Ordine 2026-7.xlsx"));
        App app;
        seed(app.db());
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QCOMPARE(app.opener.opened.size(), 1);
        const QString path = app.opener.opened.first();
        QCOMPARE(path, QDir(folderOfSheets()).filePath("Ordine 2026-7.xlsx"));

        const QJsonObject x = kit::readXlsx(path);
        QVERIFY(!x.isEmpty());
        QCOMPARE(x["sheets"].toArray(), QJsonArray{"Ordine"});
        QCOMPARE(x["active"].toString(), QStringLiteral("Ordine"));
        const QJsonObject cells = x["cells"].toObject();
        auto cell = [&](const char* a1) {
            return cells[QStringLiteral("Ordine!") + QLatin1String(a1)].toObject();
        };
        QCOMPARE(cell("A2")["value"].toString(),
                 QStringLiteral("MARIO ROSSI     VIA ROMA 1   24100      BERGAMO   BG"));
        QCOMPARE(cell("A4")["value"].toString(), QStringLiteral("101 -  ALIMENTARI D'ANGELO"));
        QCOMPARE(cell("A6")["value"].toString(), QStringLiteral("MAGAZZINO  LODI   LO"));
        QCOMPARE(cell("G9")["value"].toString(), QStringLiteral("N° ORDINE"));
        QCOMPARE(cell("G10")["value"].toString(), QStringLiteral("7"));
        QCOMPARE(cell("H10")["type"].toString(), QStringLiteral("datetime"));
        QCOMPARE(cell("H10")["value"].toString(), QStringLiteral("2026-12-01T00:00:00"));
        QCOMPARE(cell("I10")["value"].toString(), QStringLiteral("2026-12-15T00:00:00"));
        QCOMPARE(cell("E13")["value"].toString(), QStringLiteral("QUANTITA'      VENDITA (CB)"));
        QCOMPARE(cell("G13")["value"].toString(), QStringLiteral("PREZZO       ( €/KG )"));
        QCOMPARE(cell("D13")["value"].toString(), QStringLiteral("PESO COLLO (KG O LITRI"));
        QCOMPARE(cell("B14")["value"].toString(), QStringLiteral("ÀNCORA TONNO"));
        QCOMPARE(cell("A14")["type"].toString(), QStringLiteral("str"));
        QCOMPARE(cell("D14")["value"].toDouble(), 0.5);
        QCOMPARE(cell("G14")["value"].toDouble(), 12.5);
        QCOMPARE(cell("I15")["value"].toString(), QStringLiteral("PRIMA RIGA\nSECONDA RIGA"));
        QVERIFY(!cells.contains("Ordine!B17") || cell("B17")["value"].isNull());

        // Fonts, bold, alignment, borders and number formats as the reader sees them.
        QCOMPARE(cell("A1")["font"].toString(), QStringLiteral("Arial"));
        QCOMPARE(cell("A1")["size"].toDouble(), 10.0);
        QVERIFY(!cell("A1")["bold"].toBool());
        QVERIFY(cell("A2")["bold"].toBool());
        QVERIFY(cell("A2")["shrink"].toBool());
        QCOMPARE(cell("A2")["left"].toString(), QStringLiteral("thin"));
        QCOMPARE(cell("F2")["right"].toString(), QStringLiteral("thin"));
        QVERIFY(cell("A2")["diagonal"].isNull());
        QCOMPARE(cell("G1")["size"].toDouble(), 12.0);
        QCOMPARE(cell("G1")["font"].toString(), QStringLiteral("Calibri"));
        QVERIFY(cell("G9")["bold"].toBool());
        QVERIFY(cell("G9")["wrap"].toBool());
        QCOMPARE(cell("G9")["v"].toString(), QStringLiteral("justify"));
        QCOMPARE(cell("G9")["numfmt"].toString(), QStringLiteral("dd-mmm-yyyy"));
        QVERIFY(cell("H9")["left"].isNull());
        QCOMPARE(cell("H10")["h"].toString(), QStringLiteral("center"));
        QCOMPARE(cell("E13")["font"].toString(), QStringLiteral("Arial"));
        QCOMPARE(cell("E13")["size"].toDouble(), 9.0);
        QVERIFY(cell("E13")["bold"].toBool());
        QCOMPARE(cell("E13")["v"].toString(), QStringLiteral("center"));
        QVERIFY(!cell("B13")["wrap"].toBool());
        // F13 also wraps, and the file format keeps shrink only on cells that do not wrap: the
        // model holds it (see formatsInTheModel), the writer cannot.
        QCOMPARE(cell("C13")["left"].toString(), QStringLiteral("thin"));
        QCOMPARE(cell("C13")["right"].toString(), QStringLiteral("thin"));
        QCOMPARE(cell("A14")["numfmt"].toString(), QStringLiteral("0"));
        QCOMPARE(cell("D14")["numfmt"].toString(), QStringLiteral("0.0"));
        QCOMPARE(cell("D14")["h"].toString(), QStringLiteral("center"));
        QCOMPARE(cell("G14")["numfmt"].toString(), QStringLiteral("0.00"));
        QCOMPARE(cell("B14")["size"].toDouble(), 9.0);

        const QJsonObject info = x["info"].toObject()["Ordine"].toObject();
        QCOMPARE(info["merged"].toArray(), (QJsonArray{"A2:F2", "A4:F4", "A6:F6"}));
        QCOMPARE(info["rows"].toObject()["2"].toDouble(), 20.25);
        // Row 13 gets the automatic height of its wrapped titles written (viewers do not fit
        // rows when they open a file), and so does the line of the note in two lines, whose
        // cell wraps; the other line rows need none.
        QVERIFY(info["rows"].toObject()["13"].toDouble() >= 36);
        QVERIFY(cell("I15")["wrap"].toBool());
        QVERIFY(info["rows"].toObject()["15"].toDouble() >= 22);
        for (const char* r : {"1", "3", "14", "16"})
            QVERIFY2(!info["rows"].toObject().contains(r), r);
        const QJsonObject cols = info["columns"].toObject();
        // The file keeps widths with the application's padding of 5 pixels on 7 per character.
        auto width = [&](const char* col) {
            return (cols[QLatin1String(col)].toObject()["width"].toDouble() * 7 - 5) / 7;
        };
        QVERIFY(qAbs(width("B") - 29.38) < 0.1);
        QVERIFY(qAbs(width("D") - 8) < 0.1);
        QVERIFY(qAbs(width("F") - 8) < 0.1);
        QVERIFY(qAbs(width("H") - 12) < 0.1);
        for (const char* col : {"A", "C", "E", "G", "I"})
            QVERIFY2(width(col) > 3, col);
        // Empty cells of the line columns show the line format.
        QCOMPARE(cols["D"].toObject()["numfmt"].toString(), QStringLiteral("0.0"));
        QCOMPARE(cols["D"].toObject()["font"].toString(), QStringLiteral("Arial"));
        QCOMPARE(cols["J"].toObject()["size"].toDouble(), 12.0);

        QVERIFY2(info["print_area"].toString().endsWith("$A$1:$I$65000"),
                 qPrintable(info["print_area"].toString()));
        QCOMPARE(info["print_titles"].toString(), QStringLiteral("$1:$1"));
        QVERIFY(qAbs(info["margin_left"].toDouble() - 5.0 / 72) < 1e-6);
        QVERIFY(qAbs(info["margin_right"].toDouble() - 0.5 / 72) < 1e-6);
        QVERIFY(info["print_gridlines"].toBool());
        QCOMPARE(info["selection"].toString(), QStringLiteral("A1"));
        // On paper: A4 landscape, one page wide and as many tall as needed, numbered.
        QVERIFY(info["fit_to_page"].toBool());
        // One page wide is the file format's default: the reader gives none.
        QCOMPARE(info["fit_width"].toInt(1), 1);
        QCOMPARE(info["fit_height"].toInt(), 0);
        QCOMPARE(info["orientation"].toString(), QStringLiteral("landscape"));
        QCOMPARE(info["paper"].toInt(), 9);
        QCOMPARE(info["footer"].toString(), QStringLiteral("Pagina &P di &N"));
    }

    // Two rows below the last line: the labels, then "TOTALE" with formulas over the line rows
    // and the values they give kept in the file.
    void totalsUnderTheLines() {
        App app;
        seed(app.db());
        exec(app.db(), "UPDATE ORDINE SET QOMAGGIO = 2.5 WHERE ARTICOLO = 'BURRO';");
        auto b = build(app.db(), "2026", "7", "101");
        const Sheet& s = b->sheet();
        QVERIFY(s.value("A17").empty());
        QCOMPARE(text(s, "D17"), QStringLiteral("kg"));
        QCOMPARE(text(s, "G17"), QStringLiteral("€ lordo"));
        QCOMPARE(text(s, "A18"), QStringLiteral("TOTALE"));
        QVERIFY(s.format("A18").bold && s.format("G18").bold);
        QCOMPARE(s.rowCount(), 18);

        StampaOrdineV(app.ctx, "2026", "7", "101");
        QCOMPARE(app.opener.opened.size(), 1);
        const QStringList cells = {"Ordine!A18", "Ordine!D17", "Ordine!E17", "Ordine!F17",
                                   "Ordine!G17", "Ordine!D18", "Ordine!E18", "Ordine!F18",
                                   "Ordine!G18", "Ordine!E14", "Ordine!A19"};
        const QJsonObject x = kit::readXlsx(app.opener.opened.first(), cells)["cells"].toObject();
        auto cell = [&](const char* a1) { return x[QStringLiteral("Ordine!") + a1].toObject(); };
        struct Total {
            const char* cell;
            const char* label;
            const char* formula;
            double value;
        };
        // Lines: 0.5 kg × 12 at 12.50, 2.25 kg × 1 at 7.80 with 2.5 free, 10 kg × 3 at 1.20.
        const Total totals[] = {
            {"D", "kg", "=SUMPRODUCT(E14:E16,D14:D16)", 6 + 2.25 + 30},
            {"E", "cartoni venduti", "=SUM(E14:E16)", 16},
            {"F", "cartoni omaggio", "=SUM(F14:F16)", 1 + 2.5 + 1},
            {"G", "€ lordo", "=SUMPRODUCT(E14:E16,D14:D16,G14:G16)", 75 + 17.55 + 36},
        };
        for (const Total& t : totals) {
            const QString col = QLatin1String(t.cell);
            const QJsonObject label = x["Ordine!" + col + "17"].toObject();
            const QJsonObject total = x["Ordine!" + col + "18"].toObject();
            QCOMPARE(label["value"].toString(), QString::fromUtf8(t.label));
            QCOMPARE(total["value"].toString(), QLatin1String(t.formula));
            QVERIFY2(qAbs(total["cached"].toDouble() - t.value) < 1e-9, t.cell);
            QVERIFY(total["bold"].toBool());
        }
        QCOMPARE(cell("A18")["value"].toString(), QStringLiteral("TOTALE"));
        QVERIFY(cell("A18")["bold"].toBool());
        QCOMPARE(cell("E14")["value"].toDouble(), 12.0);
        QVERIFY(cell("A19")["value"].isNull());
    }

    void textsTheFileCannotHoldAreMadeSafe() {
        App app;
        seed(app.db());
        // A control character and a broken byte sequence, as a text pasted from elsewhere
        // may bring; either would make the whole file unreadable.
        exec(app.db(), "UPDATE ORDINE SET NOTE = 'A' || char(11) || 'B' || CAST(X'FF41' AS TEXT) "
                       "WHERE ARTICOLO = 'BURRO';");
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QCOMPARE(app.opener.opened.size(), 1);
        const QJsonObject x = kit::readXlsx(app.opener.opened.first(), {"Ordine!I15"});
        QCOMPARE(x["cells"].toObject()["Ordine!I15"].toObject()["value"].toString(),
                 QStringLiteral("AB\uFFFDA"));
    }

    void orderWithoutLinesKeepsTheLayout() {
        App app;
        seed(app.db());
        auto b = build(app.db(), "2026", "99", "101");
        const Sheet& s = b->sheet();
        QCOMPARE(text(s, "A4"), QStringLiteral("101 -  ALIMENTARI D'ANGELO"));
        QVERIFY(s.value("A6").empty());
        QVERIFY(s.value("G10").empty());
        QVERIFY(s.value("H10").empty());
        QCOMPARE(text(s, "E13"), QStringLiteral("QUANTITA'      VENDITA (CB)"));
        QCOMPARE(s.rowCount(), 13);
        QCOMPARE(s.merges().size(), size_t(3));
        QCOMPARE(s.format("A13").borders, edge::All);
        QCOMPARE(s.format("D14").numberFormat, std::string("0.0"));

        StampaOrdineV(app.ctx, "2026", "99", "101");
        QCOMPARE(app.opener.opened.size(), 1);
        QVERIFY(app.dialogs.boxes.isEmpty());
    }

    void missingCustomerAndAgentLeaveTheirLinesEmpty() {
        App app;
        seed(app.db());
        exec(app.db(), "DELETE FROM UTENTE;");
        auto b = build(app.db(), "2026", "7", "555");
        const Sheet& s = b->sheet();
        QVERIFY(s.value("A2").empty());
        QVERIFY(s.value("A4").empty());
        QCOMPARE(text(s, "A6"), QStringLiteral("MAGAZZINO  LODI   LO"));
        // Still merged, bold and outlined.
        QVERIFY(s.format("A4").bold);
        QCOMPARE(s.format("A4").borders, std::uint8_t(edge::Left | edge::Top | edge::Bottom));
    }

    void emptyParts() {
        App app;
        seed(app.db());
        exec(app.db(), "UPDATE UTENTE SET VIA = NULL, CAP = NULL;");
        exec(app.db(), "UPDATE ORDINE SET DATAO = NULL, DATAC = NULL, DEST = NULL;");
        auto b = build(app.db(), "2026", "7", "101");
        const Sheet& s = b->sheet();
        QCOMPARE(text(s, "A2"),
                 QStringLiteral("MARIO ROSSI") + QString(5 + 3 + 6, ' ') + "BERGAMO   BG");
        QCOMPARE(text(s, "A6"), QStringLiteral("  LODI   LO"));
        QVERIFY(s.value("H10").empty());
        QVERIFY(s.value("I10").empty());
        QCOMPARE(text(s, "G10"), QStringLiteral("7"));
    }

    void onlyTheOrdersYearIsShown() {
        App app;
        seed(app.db());
        auto b = build(app.db(), "2025", "7", "101");
        const Sheet& s = b->sheet();
        QCOMPARE(text(s, "B14"), QStringLiteral("ALTRO ANNO"));
        QVERIFY(s.value("B15").empty());
    }

    // Each print is a new file of the archive, owner-only, never over an earlier one.
    void twoCallsGiveTwoWorkbooks() {
        const mode_t mask = ::umask(022);
        App app;
        seed(app.db());
        QDir(kit::archiveFolder("2025")).removeRecursively();
        StampaOrdineV(app.ctx, "2025", "7", "101");
        StampaOrdineV(app.ctx, "2025", "7", "101");
        ::umask(mask);
        const QString folder = kit::archiveFolder("2025");
        QCOMPARE(app.opener.opened,
                 (QStringList{folder + "/Ordine 2025-7.xlsx", folder + "/Ordine 2025-7 (2).xlsx"}));
        for (const QString& p : app.opener.opened)
            QCOMPARE(modeOf(p), mode_t(0600));
        for (const QString& d :
             {folder, QFileInfo(folder).path(), QFileInfo(QFileInfo(folder).path()).path()})
            QVERIFY2(modeOf(d) == 0700, qPrintable(d));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
        SpreadsheetSession& ss = app.ctx.session();
        QCOMPARE(ss.workbookCount(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(ss.workbook(i).sheet(0).name(), QStringLiteral("Ordine"));
        QVERIFY(app.dialogs.boxes.isEmpty());
        // The status bar says where the last one went.
        QCOMPARE(app.window->statusBar()->currentMessage(), "Salvato: " + app.opener.opened.last());
    }

    void longOrdersGetTheFontsOfTheirBands() {
        App app;
        seed(app.db());
        QList<kit::Line> lines;
        for (int i = 0; i < 1400; ++i)
            lines.append({QStringLiteral("ARTICOLO %1").arg(i, 5, 10, QChar('0')),
                          QString::number(i), 1, 2, 3, QStringLiteral("N")});
        kit::Header h;
        h.nr = QStringLiteral("8");
        kit::storeOrder(app.db(), h, lines);
        auto b = build(app.db(), "2026", "8", "101");
        const Sheet& s = b->sheet();
        QCOMPARE(s.rowCount(), 13 + 1400 + 2);
        QCOMPARE(s.format("A1213").fontName, std::string("Arial"));
        QCOMPARE(s.format("A1213").fontSize, 9.0);
        QCOMPARE(s.format("H1214").fontSize, 11.0);
        QCOMPARE(s.format("I1213").fontSize, 9.0);
        QCOMPARE(s.format("I1214").fontName, std::string());
        QCOMPARE(s.format("I1214").fontSize, 12.0);
        QCOMPARE(s.format("A1396").fontSize, 11.0);
        QCOMPARE(s.format("A1397").fontName, std::string());
        QCOMPARE(s.format("A1397").fontSize, 12.0);
        // Their number formats stay.
        QCOMPARE(s.format("D1397").numberFormat, std::string("0.0"));
    }

    void userIsToldWhereTheSheetIsWhenNothingOpensIt() {
        App app;
        seed(app.db());
        app.opener.result = false;
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QCOMPARE(app.dialogs.boxes.size(), 1);
        const auto box = app.dialogs.boxes.first();
        QCOMPARE(box.title, titles::t18());
        QCOMPARE(box.icon, BoxIcon::Information);
        QVERIFY2(box.text.contains(app.opener.opened.first()), qPrintable(box.text));
        QVERIFY(QFile::exists(app.opener.opened.first()));
    }

    // A folder of the archive that cannot be used is refused, named, and the same folders in
    // the user's home take the sheet; nothing goes where the refused folder leads.
    void anUnusableFolderIsRefusedAndTheHomeUsed_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("link") << "link"
                              << "è un collegamento";
        QTest::newRow("file") << "file"
                              << "non è una cartella";
        QTest::newRow("another user's") << "owner"
                                        << "non appartiene all'utente";
    }
    void anUnusableFolderIsRefusedAndTheHomeUsed() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        if (kind == "owner" && ::getuid() != 0)
            QSKIP("only root can give a folder to another user");
        App app;
        seed(app.db());
        const QString ours = QDir::home().filePath("Documents/Gestione Ordini");
        QDir(ours).removeRecursively();
        QFile::remove(ours);
        QDir(QDir::home().filePath("Gestione Ordini")).removeRecursively();
        QVERIFY(QDir::home().mkpath("Documents"));
        QTemporaryDir elsewhere;
        if (kind == "link")
            QVERIFY(QFile::link(elsewhere.path(), ours));
        else if (kind == "file")
            QVERIFY(QFile(ours).open(QIODevice::WriteOnly));
        else {
            QVERIFY(QDir().mkdir(ours));
            QCOMPARE(::chown(QFile::encodeName(ours).constData(), 65534, 65534), 0);
        }
        StampaOrdineV(app.ctx, "2026", "7", "101");
        const QString used =
            QDir::home().filePath("Gestione Ordini/Ordini/2026/Ordine 2026-7.xlsx");
        QCOMPARE(app.opener.opened, QStringList{used});
        QCOMPARE(app.dialogs.boxes.size(), 1);
        const auto box = app.dialogs.boxes.first();
        QCOMPARE(box.icon, BoxIcon::Exclamation);
        QCOMPARE(box.text, (kind == "file" ? QStringLiteral("\"%1\" %2")
                                           : QStringLiteral("La cartella \"%1\" %2"))
                                   .arg(ours, reason) +
                               ": il foglio dell'ordine è stato scritto in\n" + used);
        QVERIFY(QDir(elsewhere.path()).isEmpty());
        QDir(ours).removeRecursively();
        QFile::remove(ours);
    }

    // With both the documents and the home unusable, nothing is written and the user is told.
    void noUsableFolderIsTold() {
        App app;
        seed(app.db());
        QVERIFY(QDir::home().mkpath("Documents"));
        const QString ours = QDir::home().filePath("Documents/Gestione Ordini");
        const QString fallback = QDir::home().filePath("Gestione Ordini");
        for (const QString& p : {ours, fallback}) {
            QDir(p).removeRecursively();
            QVERIFY(QFile(p).open(QIODevice::WriteOnly));
        }
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QVERIFY(app.opener.opened.isEmpty());
        QCOMPARE(app.dialogs.boxes.size(), 1);
        QCOMPARE(app.dialogs.boxes.first().title, QStringLiteral("Errore"));
        QVERIFY2(app.dialogs.boxes.first().text.endsWith(
                     QStringLiteral("\"%1\" non è una cartella; \"%2\" non è una cartella: il "
                                    "foglio non è stato scritto.")
                         .arg(ours, fallback)),
                 qPrintable(app.dialogs.boxes.first().text));
        QCOMPARE(app.ctx.session().workbookCount(), 0);
        for (const QString& p : {ours, fallback})
            QFile::remove(p);
    }

    void aDatabaseErrorIsToldAndNothingOpens() {
        App app;
        seed(app.db());
        exec(app.db(), "DROP TABLE CLIENTE;");
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QCOMPARE(app.dialogs.boxes.size(), 1);
        QCOMPARE(app.dialogs.boxes.first().title, QStringLiteral("Errore"));
        QVERIFY2(app.dialogs.boxes.first().text.contains("CLIENTE"),
                 qPrintable(app.dialogs.boxes.first().text));
        QVERIFY(app.opener.opened.isEmpty());
    }
};

QTEST_MAIN(TestOrderSheet)
#include "tst_ordersheet.moc"
