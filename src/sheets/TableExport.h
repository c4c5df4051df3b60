#pragma once

#include "CellRange.h"
#include "data/Result.h"

#include <QString>

#include <cstdint>
#include <optional>

struct AppContext;
class Statement;

namespace sheets {
class Sheet;
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

// The "Excel" button of the article panel.
void Esporta(AppContext& ctx);
// The menu entries "Stampa Articolo" and "Stampa Elenco".
void StampaArticolo(AppContext& ctx);
void StampaClienti(AppContext& ctx);

// Copies the rows of a statement (not yet stepped) into a new sheet of the session's active
// workbook and saves that workbook in the application directory as the sheet's name plus
// ".xlsx". sheetName comes back as the final name: cleaned of : \ / ? * [ ], "-nuovo" added
// for each sheet that already has it, cut to 31 characters. Shows the busy pointer while it
// runs. A failure leaves the workbook as it was and no file written.
Status Ado2excel(AppContext& ctx, Statement& rs, QString& sheetName);

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
