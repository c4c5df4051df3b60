#include "ToVisit.h"

#include "Queries.h"
#include "data/Database.h"
#include "data/ItalianText.h"

#include <algorithm>

namespace stats {

Result<std::vector<ToVisit>> toVisit(Database& db, const QDate& today, int quietDays,
                                     const Filter& f) {
    if (quietDays < 1 || quietDays > 3650)
        return makeError(QStringLiteral("I giorni senza ordini devono essere da 1 a 3650."));
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Result<Statement> st = makeError(QString());
    if (f.principal)
        st = db.prepare(queries::toVisitPrincipal());
    else
        st = db.prepare(queries::toVisit());
    if (!st)
        return st.error();
    // Ordered on a day after today - quietDays: not to visit yet.
    st->bind(1, itext::isoDate(today.addMonths(-kLookBackMonths)))
        .bind(2, itext::isoDate(today.addDays(1 - quietDays)));
    queries::bindFilter(*st, f);
    std::vector<ToVisit> out;
    while (st->next()) {
        ToVisit v;
        v.code = st->text(0);
        v.firstOrder = itext::parseIsoDate(st->utf8(1)).value_or(QDate());
        v.lastOrder = itext::parseIsoDate(st->utf8(2)).value_or(QDate());
        if (!v.firstOrder.isValid() || !v.lastOrder.isValid())
            continue;
        v.orderDays = int(st->int64(3));
        v.name = st->text(4);
        v.town = st->text(5);
        v.province = st->text(6);
        v.daysSince = int(v.lastOrder.daysTo(today));
        if (v.orderDays > 1)
            v.usualInterval = double(v.firstOrder.daysTo(v.lastOrder)) / (v.orderDays - 1);
        out.push_back(std::move(v));
    }
    if (!st->status())
        return st->status().error();
    std::stable_sort(out.begin(), out.end(), [](const ToVisit& a, const ToVisit& b) {
        const auto oa = a.overdue(), ob = b.overdue();
        if (oa.has_value() != ob.has_value())
            return oa.has_value();
        if (oa && *oa != *ob)
            return *oa > *ob;
        if (a.daysSince != b.daysSince)
            return a.daysSince > b.daysSince;
        return a.code < b.code;
    });
    return out;
}

} // namespace stats
