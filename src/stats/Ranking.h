#pragma once

#include "Filter.h"

#include <vector>

// "Clienti" and "Articoli": customers or articles ranked by gross value over a period, beside
// the same period a year before; and the customers who bought an article.
namespace stats {

class LineStore;

struct Ranked {
    // A customer: its code, and name, town and province from the register (empty for a code no
    // longer there). An article: its code (empty when the lines carry none) and description.
    QString code;
    QString name;
    QString town;
    QString province;
    bool inRegister = true;
    Figures figures;
    Cents grossBefore = 0;
    int orders = 0;
    QDate lastOrder;
    Change change() const { return changeOf(figures.gross, grossBefore); }
};

// Customers with lines in the period or in the same period a year before; by gross value of the
// period, highest first, then by last year's value, then by code.
// With a store, the lines read are kept there for the next ranking of the same period (by
// customer or by article, under any filter), and taken from there while the data is unchanged.
Result<std::vector<Ranked>> customers(Database& db, const Period& p, const Filter& f,
                                      LineStore* kept = nullptr);
// The same for articles.
Result<std::vector<Ranked>> articles(Database& db, const Period& p, const Filter& f,
                                     LineStore* kept = nullptr);
// The customers of the article (by code, or by description when it has no code), ranked so.
Result<std::vector<Ranked>> buyers(Database& db, const QString& articleCode,
                                   const QString& description, const Period& p, const Filter& f);

// Why the period cannot be used, nothing when it can.
Status checkPeriod(const Period& p);

} // namespace stats
