#pragma once

#include "base/Result.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

class Database;

// The figures of the statistics, read from the order lines. Each line counts on its own order
// date (DATAO) and for its own customer (ID_CL); a line without an order date belongs to no
// period. Sums are those of OrderTotals: cartons sold (QVENDITA), free cartons (QOMAGGIO), kg
// (QVENDITA × PESO) and gross value (QVENDITA × PESO × PREZZO); a missing value adds nothing to
// the sums it enters. Beside the gross, the net: the gross less the line's discount (SCONTO), a
// percentage when it is at most 100 and an amount in euro when it is more. Money is counted in
// cents: each line's gross and net rounded to the cent, the cents added up. No widgets here.
namespace stats {

using Cents = std::int64_t;
inline double euro(Cents c) {
    return double(c) / 100.0;
}

// The net of a line of that gross (in cents) after its discount, rounded to the cent as the
// engine's ROUND() rounds (halves away from zero).
Cents netCents(Cents gross, double discount);

// The sums of a group of lines.
struct Figures {
    Cents gross = 0;
    Cents net = 0;
    double kg = 0;
    double sold = 0;
    double free = 0;

    Figures& operator+=(const Figures& o) {
        gross += o.gross;
        net += o.net;
        kg += o.kg;
        sold += o.sold;
        free += o.free;
        return *this;
    }
};

// Which lines count, besides their period.
struct Filter {
    // The customer's province in the register (CLIENTE.PROVINCIA); empty: every province. The
    // lines of a customer no longer in the register have none.
    QString province;
    // The principal (MANDANTE.ID) whose price lists name the article; none: every principal.
    std::optional<qint64> principal;
};

// The day one year earlier; the last day of a month gives the last day of that month (28
// February 2025 gives 29 February 2024), 29 February gives the 28th.
QDate sameDayYearBefore(const QDate& d);

// A span of days, both ends included.
struct Period {
    QDate from;
    QDate to;
    // The same days one year earlier (29 February falls on the 28th); a period that ends on the
    // last day of a month ends on the last day of that month a year earlier, so February 2025
    // is compared with the whole of February 2024.
    Period yearBefore() const { return {from.addYears(-1), sameDayYearBefore(to)}; }
};

// The change from `before` to `now`: in euro, and in per cent when `before` is not zero.
struct Change {
    Cents cents = 0;
    std::optional<double> percent;
    double euro() const { return stats::euro(cents); }
};
Change changeOf(Cents now, Cents before);

// The price lists name the principal of the articles (the table PREZZO_LISTINO is there).
Result<bool> principalsKnown(Database& db);
// The principals to choose from: id and name, by name.
Result<std::vector<std::pair<qint64, QString>>> principals(Database& db);
// The provinces of the customer register, in order.
Result<QStringList> provinces(Database& db);

// Why a filter cannot be used, nothing when it can.
Status checkFilter(Database& db, const Filter& f);

} // namespace stats
