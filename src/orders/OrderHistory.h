#pragma once

#include "OrderTotals.h"
#include "base/Result.h"

#include <QString>

#include <optional>

class Database;

// What the orders tell of a customer or an article: a customer's orders, the customers of an
// article, the price a customer paid last for an article. An order's header (customer, date)
// is the one its last stored line carries. No widgets here.
namespace orderhistory {

// The columns of an order summary, shared by the customer's history and the search results:
// year, number, order date (yyyy-mm-dd), then the five totals of OrderTotals (the last column,
// the line that gives the header, is for the query alone).
// The orders of the customer code ?1, newest first, at most ?2; through the index ORDINE_ID_CL.
inline constexpr const char* kCustomerOrders =
    "SELECT ANNO, NR, DATAO, COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO), TOTAL(QVENDITA * PESO), "
    "TOTAL(QVENDITA * PESO * PREZZO), MAX(ID) FROM ORDINE WHERE ID_CL = ?1 "
    "GROUP BY ANNO, NR "
    "ORDER BY DATAO DESC, ANNO DESC, MAX(ID) DESC LIMIT ?2;";

// The customers who ordered the article of code ?1 (or, for an article without a code, of
// description ?1), the latest first, at most ?2: code, name, town, the date of the last order,
// the orders and the cartons sold. The customer is the register's first of that code.
inline constexpr const char* kArticleBuyersByCode =
    "SELECT ID_CL, (SELECT SOGGETTO FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL ORDER BY ID "
    "LIMIT 1), (SELECT CITTA FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL ORDER BY ID "
    "LIMIT 1), MAX(DATAO), COUNT(DISTINCT ANNO || '/' || NR), TOTAL(QVENDITA) FROM ORDINE "
    "WHERE CODICE = ?1 GROUP BY ID_CL ORDER BY MAX(DATAO) DESC, ID_CL LIMIT ?2;";
inline constexpr const char* kArticleBuyersByDescription =
    "SELECT ID_CL, (SELECT SOGGETTO FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL ORDER BY ID "
    "LIMIT 1), (SELECT CITTA FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL ORDER BY ID "
    "LIMIT 1), MAX(DATAO), COUNT(DISTINCT ANNO || '/' || NR), TOTAL(QVENDITA) FROM ORDINE "
    "WHERE ARTICOLO = ?1 COLLATE ITALIANO GROUP BY ID_CL ORDER BY MAX(DATAO) DESC, ID_CL "
    "LIMIT ?2;";

// The price a customer paid last for an article, and the order it comes from.
struct LastPrice {
    double price = 0;
    QString year;
    QString number;
    QString orderDate; // yyyy-mm-dd
};

// The price of the customer's line of that article (by code, or by description when the
// article has no code) in the order with the latest order date; none when the customer never
// ordered it with a price.
Result<std::optional<LastPrice>> lastPrice(Database& db, const QString& customerCode,
                                           const QString& articleCode, const QString& description);

} // namespace orderhistory
