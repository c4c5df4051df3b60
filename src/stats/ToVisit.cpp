#include "ToVisit.h"

#include "Queries.h"
#include "Registered.h"
#include "data/Database.h"
#include "text/ItalianText.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace stats {

Result<std::vector<ToVisit>> toVisit(Database& db, const QDate& today, int quietDays,
                                     const Filter& f) {
    if (quietDays < 1 || quietDays > 3650)
        return makeError(QStringLiteral("I giorni senza ordini devono essere da 1 a 3650."));
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Result<Statement> st = makeError(QString());
    if (f.principal)
        st = db.prepare(queries::orderDatesPrincipal());
    else
        st = db.prepare(queries::orderDates());
    if (!st)
        return st.error();
    // Ordered on a day after today - quietDays: not to visit yet.
    st->bind(1, itext::isoDate(today.addMonths(-kLookBackMonths)));
    const std::string quietFrom = itext::isoDate(today.addDays(1 - quietDays)).toStdString();
    queries::bindFilter(*st, f);
    // The order dates of each customer, grouped here in one pass over the index.
    std::unordered_map<std::string, std::vector<std::string>> dates;
    // The lines of one order follow each other: the customer and the day already met are not
    // looked up again.
    std::string lastCode;
    std::vector<std::string>* seen = nullptr;
    while (st->next()) {
        const std::string_view code = st->utf8(0);
        if (!seen || code != lastCode) {
            lastCode.assign(code);
            seen = &dates[lastCode];
        }
        const std::string_view day = st->utf8(1);
        if (seen->empty() || seen->back() != day)
            seen->emplace_back(day);
    }
    if (!st->status())
        return st->status().error();
    std::unordered_map<std::string, Registered> known;
    for (auto& [code, days] : dates) {
        // Each date once, in order.
        std::sort(days.begin(), days.end());
        days.erase(std::unique(days.begin(), days.end()), days.end());
        if (days.back() < quietFrom)
            known.emplace(code, Registered{});
    }
    // The customers of the register without any line.
    Result<Statement> never = makeError(QString());
    if (!f.province.isEmpty() && f.principal)
        never = db.prepare(queries::withoutOrdersOfProvincePrincipal());
    else if (!f.province.isEmpty())
        never = db.prepare(queries::withoutOrdersOfProvince());
    else if (f.principal)
        never = db.prepare(queries::withoutOrdersPrincipal());
    else
        never = db.prepare(queries::withoutOrders());
    if (!never)
        return never.error();
    if (!f.province.isEmpty())
        never->bind(10, f.province);
    if (f.principal)
        never->bind(11, std::int64_t(*f.principal));
    while (never->next())
        known.emplace(std::string(never->utf8(0)), Registered{});
    if (!never->status())
        return never->status().error();
    if (Status s = fillRegistered(db, known); !s)
        return s.error();
    std::vector<ToVisit> out;
    out.reserve(known.size());
    for (const auto& [code, r] : known) {
        ToVisit v;
        v.code = QString::fromStdString(code);
        const auto seen = dates.find(code);
        if (seen == dates.end()) {
            v.never = true;
            v.name = r.name;
            v.town = r.town;
            v.province = r.province;
            out.push_back(std::move(v));
            continue;
        }
        const std::vector<std::string>& days = seen->second;
        v.firstOrder = itext::parseIsoDate(days.front()).value_or(QDate());
        v.lastOrder = itext::parseIsoDate(days.back()).value_or(QDate());
        if (!v.firstOrder.isValid() || !v.lastOrder.isValid())
            continue;
        v.orderDays = int(days.size());
        v.name = r.name;
        v.town = r.town;
        v.province = r.province;
        v.daysSince = int(v.lastOrder.daysTo(today));
        if (v.orderDays > 1)
            v.usualInterval = double(v.firstOrder.daysTo(v.lastOrder)) / (v.orderDays - 1);
        out.push_back(std::move(v));
    }
    std::stable_sort(out.begin(), out.end(), [](const ToVisit& a, const ToVisit& b) {
        if (a.never != b.never)
            return b.never;
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
