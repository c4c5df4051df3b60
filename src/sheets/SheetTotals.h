#pragma once

#include "OrderData.h"

// The totals of an order sheet, two rows below its last line: the cartons sold and free, the
// weight and the value before discounts (the discount column holds a percentage or an amount,
// so no net value is computed). Written as formulas over the line rows, with their values kept
// in the file, so that a quantity changed in the spreadsheet application changes the totals.
namespace sheets {
class Sheet;
namespace order {

struct Totals {
    double sold = 0;  // sum of QVENDITA
    double free = 0;  // sum of QOMAGGIO
    double kg = 0;    // sum of QVENDITA × PESO
    double gross = 0; // sum of QVENDITA × PESO × PREZZO, the price being per kg
};

// The totals of the order's lines; a value that is not a number counts as 0, as in the
// application's sums.
Totals totalsOf(const OrderData& order);

// The row (0-based) of "TOTALE" for an order of that many lines; the labels are in the row
// above it, the one after the last line.
int totalsRow(int lines);

// Writes the labels and the "TOTALE" row under the lines of a laid-out sheet; an order without
// lines gets none.
void layOutTotals(Sheet& sheet, const OrderData& order);

} // namespace order
} // namespace sheets
