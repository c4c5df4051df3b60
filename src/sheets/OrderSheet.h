#pragma once

#include <QString>

struct AppContext;

// The order sheet of one stored order (year, number, customer code), opened in the desktop's
// spreadsheet application.
void StampaOrdineV(AppContext& ctx, const QString& year, const QString& number,
                   const QString& customerCode);
