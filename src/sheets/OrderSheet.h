#pragma once

#include <QString>

struct AppContext;

namespace sheets {
class Sheet;
namespace order {
struct OrderData;
// Fills an empty sheet with the order sheet of the order: header block, line titles, one row
// per line from row 14, and every font, border, width and page setting of the layout.
void layOut(Sheet& sheet, const OrderData& order);
} // namespace order
} // namespace sheets

// The order sheet of one stored order (year, number, customer code), opened in the desktop's
// spreadsheet application. Each call makes a new workbook, written to the user's temporary folder
// under a name that tells the order; when no application opens it the user is told where it is.
void StampaOrdineV(AppContext& ctx, const QString& year, const QString& number,
                   const QString& customerCode);
