#pragma once

#include "Filter.h"

#include <optional>
#include <vector>

// "Da visitare": the customers who ordered in the last 24 months but not in the last N days,
// the most overdue against their own usual interval between orders first; then the customers of
// the register who never ordered.
namespace stats {

// The days without orders a customer is listed after, unless the user chooses otherwise.
inline constexpr int kDefaultQuietDays = 60;
// How far back a customer's orders are looked at.
inline constexpr int kLookBackMonths = 24;

struct ToVisit {
    // No order line at all (of the filter's principal, with one): no dates, no counts.
    bool never = false;
    QString code;
    QString name;
    QString town;
    QString province;
    QDate firstOrder; // within the months looked at
    QDate lastOrder;
    int orderDays = 0; // distinct order dates within them
    int daysSince = 0; // from the last order to today
    // The average days between two order dates; none with a single order date.
    std::optional<double> usualInterval;
    // daysSince against the usual interval (2 = twice as long as usual); none without one.
    std::optional<double> overdue() const {
        if (!usualInterval || *usualInterval <= 0)
            return std::nullopt;
        return daysSince / *usualInterval;
    }
};

// The customers of the register to visit, on `today`, after `quietDays` days without orders:
// first those with a usual interval, by overdue (highest first), then those with one order date,
// by days since it (longest first), then those who never ordered, by code.
Result<std::vector<ToVisit>> toVisit(Database& db, const QDate& today, int quietDays,
                                     const Filter& f);

} // namespace stats
