#include "Trend.h"

#include "Queries.h"
#include "data/Database.h"
#include "text/ItalianText.h"

namespace stats {

Result<Trend> trend(Database& db, int year, const QDate& today, const Filter& f,
                    const QString& customer) {
    if (year < 1901 || year > 9999)
        return makeError(QStringLiteral("L'anno %1 non è valido.").arg(year));
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Trend t;
    t.year = year;
    const QDate first(year - 1, 1, 1);
    const QDate last(year, 12, 31);
    t.upTo = year == today.year() ? today : last;
    t.upToBefore = sameDayYearBefore(t.upTo);
    const bool one = !customer.isEmpty();
    Result<Statement> st = makeError(QString());
    if (one && f.principal)
        st = db.prepare(queries::customerByDayPrincipal());
    else if (one)
        st = db.prepare(queries::customerByDay());
    else if (f.principal)
        st = db.prepare(queries::trendByDayPrincipal());
    else
        st = db.prepare(queries::trendByDay());
    if (!st)
        return st.error();
    st->bind(1, itext::isoDate(first)).bind(2, itext::isoDate(last));
    queries::bindFilter(*st, f);
    if (one)
        st->bind(12, customer);
    while (st->next()) {
        const auto day = itext::parseIsoDate(st->utf8(0));
        if (!day)
            continue;
        Figures sums{st->int64(1), st->int64(2), st->real(3), st->real(4), st->real(5)};
        const int m = day->month() - 1;
        if (day->year() == year) {
            t.months[size_t(m)] += sums;
            t.total += sums;
            if (*day <= t.upTo)
                t.toDate += sums;
        } else {
            t.monthsBefore[size_t(m)] += sums;
            t.totalBefore += sums;
            if (*day <= t.upToBefore)
                t.toDateBefore += sums;
        }
    }
    if (!st->status())
        return st->status().error();
    return t;
}

} // namespace stats
