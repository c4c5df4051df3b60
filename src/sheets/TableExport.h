#pragma once

#include "CellRange.h"
#include "base/Result.h"

#include <QString>

#include <cstdint>
#include <optional>

class Database;
class Statement;

namespace sheets {
class Sheet;
class SpreadsheetSession;
class Workbook;
} // namespace sheets

// Exports of a whole table to a workbook saved in the application directory.
namespace tableexport {

// The queries of the exports: every column of the table, in the order the rows were stored.
inline constexpr const char* kArticoli = "SELECT * FROM ARTICOLO ORDER BY ID;";
inline constexpr const char* kClienti = "SELECT * FROM CLIENTE ORDER BY ID;";
// Their rows, counted before any is read.
inline constexpr const char* kContaArticoli = "SELECT count(*) FROM ARTICOLO;";
inline constexpr const char* kContaClienti = "SELECT count(*) FROM CLIENTE;";

// The tables the program exports.
enum class Table { Articles, Customers };

// Why the table cannot be exported (more rows than a sheet holds), counted before anything is
// read or written; nothing when it fits.
Result<std::optional<QString>> checkSize(Database& db, Table table);
// Exports the whole table into the session's active workbook, saved in folder: the file's path.
Result<QString> exportTable(Database& db, sheets::SpreadsheetSession& session,
                            const QString& folder, Table table);

// Copies the rows of a statement (not yet stepped) into a new sheet of the session's active
// workbook and saves that workbook in folder as the sheet's name plus ".xlsx"; the file's path
// comes back. sheetName comes back as the final name: cleaned of : \ / ? * [ ], "-nuovo" added
// for each sheet that already has it, cut to 31 characters. A failure leaves the workbook as it
// was and no file written.
Result<QString> Ado2excel(sheets::SpreadsheetSession& session, const QString& folder, Statement& rs,
                          QString& sheetName);

// The sheet name without the characters a sheet name cannot hold.
QString cleanSheetName(QString name);
// A name of at most 31 characters that no other sheet of the workbook has: the name itself,
// else with "-nuovo" added while it has room, else its beginning and a number in brackets.
QString freeSheetName(sheets::Workbook& wb, const sheets::Sheet& sheet, QString name);

// The rows a sheet holds under its row of column names.
inline constexpr std::int64_t kMaxDataRows = sheets::kMaxRows - 1;
// Why a table of that many rows cannot be exported: more than a sheet holds. Nothing when it
// fits.
std::optional<QString> tooManyRows(const QString& table, std::int64_t rows);
// A1 of an export: the program's title and version.
QString titleLine();

} // namespace tableexport
