#pragma once

#include "base/Result.h"

#include <QString>

class Database;
class ReportView;

// The lists of the search window: their columns and their fills. Each fill replaces what the
// list showed; the column keys name what a row carries ("CODICE", "ANNO", "NR"...).
namespace resultlists {

// The customers, articles and orders holding `text`, at most searchstore::kMaxRows each. A
// text that is an order number finds that order in every year, first; any other finds the
// orders of the customers listed. Both find the orders whose lines hold the text.
Status fillCustomers(ReportView* list, Database& db, const QString& text);
Status fillArticles(ReportView* list, Database& db, const QString& text);
Status fillOrders(ReportView* list, Database& db, const QString& text, const ReportView* customers);
// A customer's orders, newest first: date, lines, cartons, kg, gross value.
Status fillHistory(ReportView* list, Database& db, const QString& customerCode);
// The customers who ordered an article, the latest first.
Status fillBuyers(ReportView* list, Database& db, const QString& articleCode,
                  const QString& description);
// Empties the list, keeping its columns.
void clear(ReportView* list);

} // namespace resultlists
