#pragma once

#include <QString>

struct AppContext;

// The order sheet of one stored order (year, number, customer code), opened in the desktop's
// spreadsheet application. Each call makes a new workbook, written to the archive of order
// sheets in the user's documents ("Gestione Ordini/Ordini/<year>/Ordine <year>-<nr>.xlsx",
// never over an earlier one); the status bar says where, and when no application opens it a
// box does.
void StampaOrdineV(AppContext& ctx, const QString& year, const QString& number,
                   const QString& customerCode);

// The same order sheet as a PDF beside the workbooks, opened in the desktop's viewer.
void SalvaOrdinePdf(AppContext& ctx, const QString& year, const QString& number,
                    const QString& customerCode);
