#pragma once

#include "orders/OrderTotals.h"

#include <QString>

#include <optional>

// The statements of the search: customers, articles and orders found by any part of their
// texts, case and accents aside (textmatch), at most a fixed number per group. Each is a plain
// scan of its table: on the benchmark file it stays well inside a keystroke, and it needs no
// index or table of its own to keep in step. No widgets here.
namespace searchstore {

// How many rows each group shows at most.
inline constexpr int kMaxRows = 50;

// ?1 the folded text, ?2 the rows at most: code, name, town; by name.
inline constexpr const char* kCustomers = "SELECT CODICE, SOGGETTO, CITTA FROM CLIENTE "
                                          "WHERE MATCHES_FOLDED(?1, SOGGETTO, CODICE, CITTA) "
                                          "ORDER BY SOGGETTO COLLATE ITALIANO, ID LIMIT ?2;";

// ?1 the folded text, ?2 the rows at most: code, description, format; by description.
inline constexpr const char* kArticles = "SELECT CODICE, ARTICOLO, FORMATO FROM ARTICOLO "
                                         "WHERE MATCHES_FOLDED(?1, ARTICOLO, CODICE, FORMATO) "
                                         "ORDER BY ARTICOLO COLLATE ITALIANO, ID LIMIT ?2;";

// The columns of an order found: year, number, customer, order date, then the five totals of
// OrderTotals; the header is the one of the order's last line.
// The order of number ?1 in every year, the latest year first, at most ?2. The years are
// walked along the index ORDINE_ANNO_NR (one seek each), and each order's lines read from it.
inline constexpr const char* kOrdersNumbered =
    "WITH RECURSIVE ANNI(A) AS (SELECT MAX(ANNO) FROM ORDINE UNION ALL "
    "SELECT (SELECT MAX(ANNO) FROM ORDINE WHERE ANNO < A) FROM ANNI WHERE A IS NOT NULL) "
    "SELECT ANNO, NR, (SELECT SOGGETTO FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL ORDER BY "
    "ID LIMIT 1), DATAO, COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO), TOTAL(QVENDITA * PESO), "
    "TOTAL(QVENDITA * PESO * PREZZO), MAX(ID) FROM ANNI CROSS JOIN ORDINE "
    "WHERE ORDINE.ANNO = ANNI.A AND ORDINE.NR = ?1 GROUP BY ANNO, NR "
    "ORDER BY ANNO DESC LIMIT ?2;";

// The orders of the customer codes in ?1 (each followed by a line break), newest first, at
// most ?2; through the index ORDINE_ID_CL.
inline constexpr const char* kOrdersOfCustomers =
    "WITH RECURSIVE CODICI(C, RESTO) AS (SELECT NULL, ?1 UNION ALL "
    "SELECT substr(RESTO, 1, instr(RESTO, char(10)) - 1), substr(RESTO, instr(RESTO, char(10)) "
    "+ 1) FROM CODICI WHERE RESTO <> '') "
    "SELECT ANNO, NR, (SELECT SOGGETTO FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL ORDER BY "
    "ID LIMIT 1), DATAO, COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO), TOTAL(QVENDITA * PESO), "
    "TOTAL(QVENDITA * PESO * PREZZO), MAX(ID) FROM ORDINE "
    "WHERE ID_CL IN (SELECT C FROM CODICI WHERE C IS NOT NULL) GROUP BY ANNO, NR "
    "ORDER BY DATAO DESC, ANNO DESC, MAX(ID) DESC LIMIT ?2;";

// The order number a search text stands for: a whole number from 1 to 32767, leading zeros
// aside ("007" is order 7); none for any other text.
std::optional<int> orderNumber(const QString& text);

} // namespace searchstore
