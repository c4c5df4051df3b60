#pragma once

struct AppContext;

// Exports of a whole table to a workbook saved in the application directory.
namespace tableexport {

// The "Excel" button of the article panel.
void Esporta(AppContext& ctx);
// The menu entries "Stampa Articolo" and "Stampa Elenco".
void StampaArticolo(AppContext& ctx);
void StampaClienti(AppContext& ctx);

} // namespace tableexport
