#pragma once

#include "Filter.h"

#include <array>

// "Andamento": the months of a year against the same months of the year before, and the year so
// far against the same days of the year before.
namespace stats {

struct Trend {
    int year = 0;
    // January to December: the year's and the year before's.
    std::array<Figures, 12> months{};
    std::array<Figures, 12> monthsBefore{};
    Figures total;
    Figures totalBefore;
    // From 1 January to `upTo` (today in the current year, 31 December in a year gone by), and
    // to the same day a year earlier (as Period::yearBefore() takes it).
    QDate upTo;
    QDate upToBefore;
    Figures toDate;
    Figures toDateBefore;
    Change change() const { return changeOf(toDate.gross, toDateBefore.gross); }
};

// The trend of the year on the lines the filter lets through; `today` from the clock. With a
// customer code, that customer's lines only.
Result<Trend> trend(Database& db, int year, const QDate& today, const Filter& f,
                    const QString& customer = QString());

} // namespace stats
