#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Database;

// The statements of the search: customers, articles and orders found by any part of their
// texts, case and accents aside (textmatch), at most a fixed number per group. Customers and
// articles are a plain scan of their tables. The orders are found by their customer, by their
// number, or by what their lines hold; for the lines the search reads the distinct texts of
// CERCA_TESTO and the lines of the texts found from CERCA_RIGA (AddedTables), not every line.
// No widgets here.
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

// A list bound to one parameter: each value as its length in bytes, a colon and its bytes, so
// that a value may hold any byte (a line break, a colon, a quote).
void appendPacked(std::string& list, std::string_view value);

// The statement's table `name` of the values of the list in parameter `param`, one row V each:
// the length before the first colon, the value after it, the rest for the next row.
// clang-format off
#define GESTIONE_PACKED_LIST(name, param)                                                          \
    name "(V, RESTO) AS (SELECT NULL, CAST(" param " AS BLOB) UNION ALL SELECT"                    \
    " CAST(substr(RESTO, instr(RESTO, X'3A') + 1,"                                                 \
    " CAST(substr(RESTO, 1, instr(RESTO, X'3A') - 1) AS INTEGER)) AS TEXT),"                       \
    " substr(RESTO, instr(RESTO, X'3A') + 1"                                                       \
    " + CAST(substr(RESTO, 1, instr(RESTO, X'3A') - 1) AS INTEGER))"                               \
    " FROM " name " WHERE instr(RESTO, X'3A') > 0)"

// The orders found, at most ?4: those of the customer codes in the list ?1, those holding the
// lines of row ids in the list ?2 and, when ?3 is an order number, that order in every year.
// The numbered ones first, the latest year first; then the others, newest first. Columns: year,
// number, customer, order date, then the five totals of OrderTotals; the header is the one of
// the order's last line (the last column, for the query alone). The customers' orders come
// through the index ORDINE_ID_CL, the lines' through ORDINE_ANNO_NR, the years are walked along
// ORDINE_ANNO_NR (one seek each).
inline constexpr const char* kOrders =
    "WITH RECURSIVE " GESTIONE_PACKED_LIST("CODICI", "?1") ", " GESTIONE_PACKED_LIST("RIGHE", "?2")
    ", ANNI(A) AS (SELECT MAX(ANNO) FROM ORDINE WHERE ?3 IS NOT NULL UNION ALL"
    " SELECT (SELECT MAX(ANNO) FROM ORDINE WHERE ANNO < A) FROM ANNI WHERE A IS NOT NULL)"
    " SELECT ANNO, NR, (SELECT SOGGETTO FROM CLIENTE WHERE CLIENTE.CODICE = ORDINE.ID_CL"
    " ORDER BY ID LIMIT 1), DATAO, COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO),"
    " TOTAL(QVENDITA * PESO), TOTAL(QVENDITA * PESO * PREZZO), MAX(ID) FROM ORDINE"
    " WHERE ID_CL IN (SELECT V FROM CODICI WHERE V IS NOT NULL)"
    " OR (ANNO, NR) IN (SELECT ANNO, NR FROM ORDINE WHERE rowid IN"
    " (SELECT CAST(V AS INTEGER) FROM RIGHE WHERE V IS NOT NULL))"
    " OR (ANNO, NR) IN (SELECT A, ?3 FROM ANNI WHERE A IS NOT NULL)"
    " GROUP BY ANNO, NR"
    " ORDER BY NR IS ?3 DESC, (CASE WHEN NR IS ?3 THEN ANNO END) DESC, DATAO DESC, ANNO DESC,"
    " MAX(ID) DESC LIMIT ?4;";
// clang-format on

#undef GESTIONE_PACKED_LIST

// The tables the window's lists, captions and send state are read from: the snapshot of this
// statement (prepared, never run) changes whenever any of them may have.
inline constexpr const char* kShownTables =
    "SELECT CLIENTE.ID, ARTICOLO.ID, ORDINE.ID, INVIO.ID FROM CLIENTE, ARTICOLO, ORDINE, INVIO "
    "WHERE 0;";
// The name of the customer of code ?1: ?2 while one of that code still has it, else the
// register's first of that code.
inline constexpr const char* kCustomerName = "SELECT SOGGETTO FROM CLIENTE WHERE CODICE = ?1 "
                                             "ORDER BY SOGGETTO IS ?2 DESC, ID LIMIT 1;";
// The description of the article of code ?1, the same way.
inline constexpr const char* kArticleName = "SELECT ARTICOLO FROM ARTICOLO WHERE CODICE = ?1 "
                                            "ORDER BY ARTICOLO IS ?2 DESC, ID LIMIT 1;";

// How many of the newest lines are looked at one by one, at most, before the texts' index is
// read: a text that many lines hold fills the group from the first of them.
inline constexpr int kRecentLines = 20000;

// The orders whose lines hold `folded` (textmatch::fold) in the article's description or code,
// the destination or the notes, newest first by the lines' order date, each once: the row id of
// one such line of each. At least `limit` orders when there are as many, and with the last of
// them every other of its date, so that kOrders picks the same ones it would from all of them.
Result<std::vector<std::int64_t>> linesOfOrders(Database& db, const std::string& folded, int limit,
                                                int recentLines = kRecentLines);

// The order number a search text stands for: a whole number from 1 to 32767, leading zeros
// aside ("007" is order 7); none for any other text.
std::optional<int> orderNumber(const QString& text);

} // namespace searchstore
