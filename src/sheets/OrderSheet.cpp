#include "OrderSheet.h"

#include "OrderArchive.h"
#include "OrderData.h"
#include "SheetPrint.h"
#include "SheetTotals.h"
#include "SpreadsheetSession.h"
#include "Workbook.h"
#include "WorkbookFiles.h"

#include <QDir>
#include <QFile>

namespace sheets::order {
namespace {

// Rows as the layout numbers them (1 is the first), to 0-based indexes.
constexpr int row(int r) {
    return r - 1;
}
static_assert(kFirstLineRow == row(14));

// Columns A to I.
constexpr int A = 0, B = 1, C = 2, D = 3, E = 4, F = 5, G = 6, H = 7, I = 8;

const char* const kTitles[9] = {
    "CODICE ARTICOLO", "DESCRIZIONE ARTICOLO", "FORMATO", "PESO COLLO (KG O LITRI",
    // E13 and G13 are written first in their short form and get their final text later.
    "QUANTITA' VENDITA (CB)", "QUANTITA' OMAGGIO (CB)", "PREZZO ( €/KG )", "SCONTI % O €", "NOTE"};

Patch arial(double size) {
    return Patch::font("Arial", size);
}

// The line rows carry their band's font on the columns, down the sheet; empty cells far below
// the lines (from row 1214) show that font too rather than their band's, which would take one
// written cell each. Written lines there get their band's font.
void lineBands(Sheet& s) {
    s.formatColumns(A, I, kFirstLineRow, arial(9));
    if (s.rowCount() <= row(1214))
        return;
    s.formatPresent(Range{row(1214), A, row(1396), H}, arial(11));
    Patch defaultFont = Patch::size(12);
    defaultFont.fontName = std::string();
    s.formatPresent(Range{row(1214), I, kMaxRows - 1, I}, defaultFont);
    s.formatPresent(Range{row(1397), A, kMaxRows - 1, H}, defaultFont);
}

// The three merged value lines: A2:F2, A4:F4, A6:F6.
void valueLine(Sheet& s, int r) {
    const Range line{r, A, r, F};
    s.merge(line);
    s.format(line, Patch::makeBold());
    Patch p = Patch::align(HAlign::General, VAlign::Bottom);
    p.shrink = true;
    p.wrap = false;
    s.format(line, p);
    s.outline(line);
}

// Number formats and alignment of the line rows, from row 14 to the end.
void lineColumns(Sheet& s) {
    const Patch centred = Patch::align(HAlign::Center, VAlign::Bottom);
    auto column = [&](int col, const char* numberFormat, bool centre) {
        Patch p = centre ? centred : Patch{};
        if (numberFormat)
            p.numberFormat = numberFormat;
        s.formatColumns(col, col, kFirstLineRow, p);
    };
    column(A, "0", false);
    column(D, "0.0", true);
    column(E, "0", true);
    column(F, "0", true);
    column(G, "0.00", false);
    column(H, "0", true);
}

} // namespace

void layOut(Sheet& s, const OrderData& d) {
    s.formatAll(Patch::size(12));

    s.setValue("A1", Value::ofText("AGENTE"));
    s.setValue("A3", Value::ofText("CLIENTE"));
    s.setValue("A5", Value::ofText("DESTINAZIONE MERCE"));
    s.setValue("G9", Value::ofText("N° ORDINE"));
    s.setValue("H9", Value::ofText("DATA ORDINE"));
    s.setValue("I9", Value::ofText("DATA CONSEGNA"));
    for (int col = A; col <= I; ++col)
        s.setValue(row(13), col, Value::ofText(kTitles[col]));

    if (d.agent)
        s.setValue("A2", Value::ofText(*d.agent));
    if (d.customer)
        s.setValue("A4", Value::ofText(*d.customer));
    if (d.destination)
        s.setValue("A6", Value::ofText(*d.destination));
    s.setValue("G10", d.number);
    s.setValue("H10", d.orderDate);
    s.setValue("I10", d.deliveryDate);

    int r = kFirstLineRow;
    for (const Line& line : d.lines) {
        for (int col = A; col <= I; ++col)
            if (!line[size_t(col)].empty())
                s.setValue(r, col, line[size_t(col)]);
        ++r;
    }

    // Fonts: the header bands, then the line band.
    lineBands(s);
    s.format("A9:I12", arial(10));
    s.format("A13:I13", arial(9));
    s.format("A1:F8", arial(10));

    valueLine(s, row(2));
    valueLine(s, row(4));
    valueLine(s, row(6));

    const Range numberTitles = Range::at("G9:I9");
    s.format(numberTitles, Patch::makeBold());
    Patch titles = Patch::align(HAlign::General, VAlign::Justify);
    titles.wrap = true;
    titles.numberFormat = "dd-mmm-yyyy";
    s.format(numberTitles, titles);
    s.outline(numberTitles);

    const Range numbers = Range::at("G10:I10");
    s.format(numbers, Patch::makeBold());
    s.format(numbers, Patch::align(HAlign::Center, VAlign::Bottom));
    s.outline(numbers);

    const Range lineTitles = Range::at("A13:I13");
    s.format(lineTitles, Patch::makeBold());
    s.outline(lineTitles, true);
    s.format(lineTitles, Patch::align(HAlign::General, VAlign::Center));
    Patch wrap;
    wrap.wrap = true;
    Patch noWrap;
    noWrap.wrap = false;
    s.format("A13", wrap);
    s.format("B13:C13", noWrap);
    s.format("D13:I13", wrap);
    Patch shrink;
    shrink.shrink = true;
    s.format("F13", shrink);

    lineColumns(s);

    // The final titles of E13 and G13, bold Arial 9 over their whole text.
    s.setValue("E13", Value::ofText("QUANTITA'      VENDITA (CB)"));
    s.setValue("G13", Value::ofText("PREZZO       ( €/KG )"));
    Patch boldArial9 = arial(9);
    boldArial9.bold = true;
    s.format("E13", boldArial9);
    s.format("G13", boldArial9);

    s.setRowHeight(row(2), 20.25);
    s.autofit(A, I);
    s.setColumnWidth(B, 29.38);
    s.setColumnWidth(D, 8);
    s.setColumnWidth(F, 8);
    s.setColumnWidth(H, 12);

    // Below the line rows, after the widths: the fitted columns stay as the lines make them.
    layOutTotals(s, d);

    PageSetup& page = s.page();
    page.printArea = Range::at("$A$1:$I65000");
    page.leftMargin = 5;
    page.rightMargin = 0.5;
    page.printGridlines = true;
    page.titleRows = std::pair{row(1), row(1)};
    paperPage(page);

    s.select("A1");
}

} // namespace sheets::order

namespace sheets {

Result<std::unique_ptr<Workbook>> buildOrderSheet(Database& db, const QString& year,
                                                  const QString& number,
                                                  const QString& customerCode) {
    auto order = order::readOrder(db, year, number, customerCode);
    if (!order)
        return order.error();
    auto wb = std::make_unique<Workbook>();
    Sheet& sheet = wb->sheet(0);
    (void)wb->rename(sheet, QStringLiteral("Ordine"));
    order::layOut(sheet, *order);
    return wb;
}

Result<Written> writeOrderSheet(Database& db, SpreadsheetSession& session, const QString& year,
                                const QString& number, const QString& customerCode) {
    auto order = order::readOrder(db, year, number, customerCode);
    if (!order)
        return order.error();
    auto folder = archive::yearFolder(year);
    if (!folder)
        return folder.error();

    session.start();
    Workbook& wb = session.addWorkbook();
    Sheet& sheet = wb.sheet(0);
    (void)wb.rename(sheet, QStringLiteral("Ordine"));
    order::layOut(sheet, *order);
    auto path = saveAsNew(wb, folder->path, archive::baseName(year, number));
    if (!path) {
        // A workbook the user never gets to see is closed again.
        session.closeWorkbook(wb);
        return path.error();
    }
    return Written{*path, folder->refused};
}

Result<Written> writeOrderPdf(Database& db, const QString& year, const QString& number,
                              const QString& customerCode) {
    auto wb = buildOrderSheet(db, year, number, customerCode);
    if (!wb)
        return wb.error();
    auto folder = archive::yearFolder(year);
    if (!folder)
        return folder.error();
    const QString base = archive::baseName(year, number);
    auto path = claimNewName(folder->path, base, QStringLiteral(".pdf"));
    if (!path)
        return path.error();
    if (Status s = writePdf((*wb)->sheet(0), *path, base); !s) {
        QFile::remove(*path);
        return s.error();
    }
    return Written{*path, folder->refused};
}

Result<WrittenFiles> writeOrderFiles(const order::OrderData& order, const QString& year,
                                     const QString& number) {
    auto folder = archive::yearFolder(year);
    if (!folder)
        return folder.error();
    Workbook wb;
    Sheet& sheet = wb.sheet(0);
    (void)wb.rename(sheet, QStringLiteral("Ordine"));
    order::layOut(sheet, order);
    const QString base = archive::baseName(year, number);
    auto xlsx = saveAsNew(wb, folder->path, base);
    if (!xlsx)
        return xlsx.error();
    auto pdf = claimNewName(folder->path, base, QStringLiteral(".pdf"));
    if (!pdf) {
        QFile::remove(*xlsx);
        return pdf.error();
    }
    if (Status s = writePdf(sheet, *pdf, base); !s) {
        QFile::remove(*pdf);
        QFile::remove(*xlsx);
        return s.error();
    }
    return WrittenFiles{{*xlsx, folder->refused}, {*pdf, folder->refused}};
}

} // namespace sheets
