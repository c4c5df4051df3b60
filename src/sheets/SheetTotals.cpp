#include "SheetTotals.h"

#include "CellRange.h"
#include "Workbook.h"

namespace sheets::order {
namespace {

double numberOf(const Value& v) {
    return v.kind == Value::Kind::Number ? v.number : 0;
}

// "E14:E20" for the line rows of a column.
std::string lineRange(int col, int lines) {
    return toA1(Range{kFirstLineRow, col, kFirstLineRow + lines - 1, col});
}

struct Totals {
    double sold = 0;  // sum of QVENDITA
    double free = 0;  // sum of QOMAGGIO
    double kg = 0;    // sum of QVENDITA × PESO
    double gross = 0; // sum of QVENDITA × PESO × PREZZO, the price being per kg
};

// A value that is not a number counts as 0, as in the application's sums.
Totals totalsOf(const OrderData& order) {
    Totals t;
    for (const Line& line : order.lines) {
        const double sold = numberOf(line[kVendita]);
        const double weight = sold * numberOf(line[kPeso]);
        t.sold += sold;
        t.free += numberOf(line[kOmaggio]);
        t.kg += weight;
        t.gross += weight * numberOf(line[kPrezzo]);
    }
    return t;
}

// The row of "TOTALE" for an order of that many lines; the labels are in the row above it, the
// one after the last line.
int totalsRow(int lines) {
    return kFirstLineRow + lines + 1;
}

} // namespace

void layOutTotals(Sheet& s, const OrderData& order) {
    const int n = int(order.lines.size());
    if (n == 0)
        return;
    const Totals t = totalsOf(order);
    const int row = totalsRow(n);
    const int labels = row - 1;

    const std::string peso = lineRange(kPeso, n);
    const std::string vendita = lineRange(kVendita, n);
    const std::string prezzo = lineRange(kPrezzo, n);
    s.setValue(labels, kPeso, Value::ofText("kg"));
    s.setValue(labels, kVendita, Value::ofText("cartoni venduti"));
    s.setValue(labels, kOmaggio, Value::ofText("cartoni omaggio"));
    s.setValue(labels, kPrezzo, Value::ofText("€ lordo"));
    s.setValue(row, 0, Value::ofText("TOTALE"));
    s.setValue(row, kPeso, Value::ofFormula("=SUMPRODUCT(" + vendita + "," + peso + ")", t.kg));
    s.setValue(row, kVendita, Value::ofFormula("=SUM(" + vendita + ")", t.sold));
    s.setValue(row, kOmaggio, Value::ofFormula("=SUM(" + lineRange(kOmaggio, n) + ")", t.free));
    s.setValue(
        row, kPrezzo,
        Value::ofFormula("=SUMPRODUCT(" + vendita + "," + peso + "," + prezzo + ")", t.gross));

    const Range labelCells{labels, kPeso, labels, kPrezzo};
    Patch caption = Patch::font("Arial", 8);
    caption.hAlign = HAlign::Center;
    caption.vAlign = VAlign::Bottom;
    caption.wrap = true;
    s.format(labelCells, caption);

    const Range totals{row, 0, row, 8};
    Patch bold = Patch::font("Arial", 9);
    bold.bold = true;
    s.format(totals, bold);
    // Sums wider than their line columns shrink rather than show as ####.
    Patch shrink;
    shrink.shrink = true;
    shrink.hAlign = HAlign::Center;
    s.format(Range{row, kPeso, row, kPrezzo}, shrink);
    s.format(Range::cell(row, kPeso), Patch::numFmt("#,##0.00"));
    s.format(Range{row, kVendita, row, kOmaggio}, Patch::numFmt("#,##0"));
    s.format(Range::cell(row, kPrezzo), Patch::numFmt("#,##0.00"));
    s.outline(Range{labels, 0, row, 8});
}

} // namespace sheets::order
