#pragma once

#include "base/Result.h"
#include "data/Refusal.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class Database;

// The statements of the order subsystem: the lines of one order, the listing of a year, the
// lookups of a customer and an article by name, and the writes of order lines. No widgets here.
namespace orderstore {

// The lines of one order (year ?1, number ?2), in the columns of the line list. Served by the
// index ORDINE_ANNO_NR (ANNO, NR), which also gives the order without sorting.
inline constexpr const char* kRigheOrdine =
    "SELECT ID, ANNO, NR, ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, "
    "NOTE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 ORDER BY NR, ID;";

// One row per order line of the year ?1 whose customer code names a customer, in the columns
// of the order listing, by the text of the number (1, 10, 2). The CROSS JOIN keeps ORDINE the
// outer table, read through ORDINE_ANNO_NR in number order, with each customer found through
// CLIENTE_CODICE; whatever the sizes of the tables the planner then never sorts a year.
inline constexpr const char* kOrdiniAnno =
    "SELECT ORDINE.ANNO, ORDINE.ID_CL, CLIENTE.CODICE, ORDINE.NR, CLIENTE.SOGGETTO, "
    "ORDINE.DATAO, ORDINE.DATAC, ORDINE.DEST, ORDINE.CITTA, ORDINE.PR, CLIENTE.PROVINCIA "
    "FROM ORDINE CROSS JOIN CLIENTE "
    "WHERE ORDINE.ANNO = ?1 AND CLIENTE.CODICE = ORDINE.ID_CL ORDER BY ORDINE.NR;";

struct Customer {
    QString code;
    QString province;
};

struct Article {
    QString code;
    QString format;
    std::optional<double> weight;
};

// Every customer, or article, with that name (equal under the collation ITALIANO, so case does
// not matter and an apostrophe is just a character), the first stored first.
Result<std::vector<Customer>> customersNamed(Database& db, const QString& name);
Result<std::vector<Article>> articlesNamed(Database& db, const QString& description);

// The header columns that every line of an order repeats.
struct Header {
    QString year;
    QString number;
    QString customerCode;
    QString orderDate;                   // yyyy-mm-dd
    std::optional<QString> deliveryDate; // yyyy-mm-dd, or none
    QString destination;
    QString town;
    QString province;
};

// The columns of one line.
struct Line {
    QString article;
    QString code;
    QString format;
    std::optional<double> weight;
    std::optional<double> sold;
    std::optional<double> free;
    std::optional<double> price;
    std::optional<double> discount;
    QString notes;
};

// A number names one order of one customer in its year: a line joins the order already stored
// under its year and number only when it is the same customer's. Refused, with the order's
// customer named, when the number is another customer's order.
Result<Refusal> checkNumber(Database& db, const Header& header);
// Adds a line, checked by checkNumber in the same transaction; its ID in *id.
Result<Refusal> insertLine(Database& db, const Header& header, const Line& line,
                           std::int64_t* id = nullptr);
// Rewrites the article columns of a line (never its header); the rows changed, 0 or 1.
Result<int> updateLine(Database& db, std::int64_t id, const Line& line);
// Deletes a line; the rows deleted, 0 or 1.
Result<int> deleteLine(Database& db, std::int64_t id);
// Deletes every line of an order of one year; the rows deleted.
Result<int> deleteOrder(Database& db, const QString& year, const QString& number);
Result<bool> lineExists(Database& db, std::int64_t id);

} // namespace orderstore
