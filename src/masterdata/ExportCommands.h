#pragma once

#include "base/Result.h"

#include <QString>

struct AppContext;
class Statement;

// The commands that export a whole table to a workbook saved in the application directory and
// show it; failures in the error box.
namespace tableexport {

// The "Excel" button of the article panel.
void Esporta(AppContext& ctx);
// The menu entries "Stampa Articolo" and "Stampa Elenco".
void StampaArticolo(AppContext& ctx);
void StampaClienti(AppContext& ctx);

// The rows of a statement into the session's active workbook, saved and shown, with the busy
// pointer while it runs (see the workbook layer's Ado2excel for the name and the file).
Status Ado2excel(AppContext& ctx, Statement& rs, QString& sheetName);

} // namespace tableexport
