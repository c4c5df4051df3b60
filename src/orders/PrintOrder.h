#pragma once

#include <QString>

struct AppContext;

// The order sheet of one stored order (year, number, customer code), opened in the desktop's
// spreadsheet application. Each call makes a new workbook, written to the user's temporary folder
// under a name that tells the order; when no application opens it the user is told where it is.
void StampaOrdineV(AppContext& ctx, const QString& year, const QString& number,
                   const QString& customerCode);
