#pragma once

#include "data/Result.h"

#include <QString>

class Database;

namespace sheets {
class Sheet;
class SpreadsheetSession;
namespace order {
struct OrderData;
// Fills an empty sheet with the order sheet of the order: header block, line titles, one row
// per line from row 14, and every font, border, width and page setting of the layout.
void layOut(Sheet& sheet, const OrderData& order);
} // namespace order

// The order sheet of one stored order (year, number, customer code) in a new workbook of the
// session, written to the user's temporary folder under a name that tells the order: the
// file's path, or why it could not be made.
Result<QString> writeOrderSheet(Database& db, SpreadsheetSession& session, const QString& year,
                                const QString& number, const QString& customerCode);

} // namespace sheets
