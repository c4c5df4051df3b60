#pragma once

#include "base/Result.h"

#include <QString>

#include <memory>

class Database;

namespace sheets {
class Sheet;
class SpreadsheetSession;
class Workbook;
namespace order {
struct OrderData;
// Fills an empty sheet with the order sheet of the order: header block, line titles, one row
// per line from row 14, the totals two rows below the last line, and every font, border, width
// and page setting of the layout: one page wide, landscape, the pages numbered.
void layOut(Sheet& sheet, const OrderData& order);
} // namespace order

// A file written to the archive of order sheets, and why the documents folder was refused when
// the fallback in the user's home was used instead (empty otherwise).
struct Written {
    QString path;
    QString refused;
};

// The order sheet of one stored order (year, number, customer code) in a workbook of its own,
// for printing; a database error fails.
Result<std::unique_ptr<Workbook>> buildOrderSheet(Database& db, const QString& year,
                                                  const QString& number,
                                                  const QString& customerCode);

// The order sheet of the order in a new workbook of the session, written to the archive
// ("Ordine <year>-<nr>.xlsx", never over an earlier file): the file, or why it could not be made.
Result<Written> writeOrderSheet(Database& db, SpreadsheetSession& session, const QString& year,
                                const QString& number, const QString& customerCode);

// The same sheet as a PDF file beside the workbooks ("Ordine <year>-<nr>.pdf").
Result<Written> writeOrderPdf(Database& db, const QString& year, const QString& number,
                              const QString& customerCode);

// Both files of an order from its data read beforehand: the workbook and the PDF, written to the
// archive without the database, so that a thread other than the window's may write them. When the
// second cannot be written the first is removed again.
struct WrittenFiles {
    Written sheet;
    Written pdf;
};
Result<WrittenFiles> writeOrderFiles(const order::OrderData& order, const QString& year,
                                     const QString& number);

} // namespace sheets
