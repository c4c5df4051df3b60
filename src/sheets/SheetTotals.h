#pragma once

#include "OrderData.h"

// The totals of an order sheet, two rows below its last line: the cartons sold and free, the
// weight and the value before discounts (the discount column holds a percentage or an amount,
// so no net value is computed). Written as formulas over the line rows, with their values kept
// in the file, so that a quantity changed in the spreadsheet application changes the totals.
namespace sheets {
class Sheet;
namespace order {

// Writes the labels and the "TOTALE" row under the lines of a laid-out sheet; an order without
// lines gets none.
void layOutTotals(Sheet& sheet, const OrderData& order);

} // namespace order
} // namespace sheets
