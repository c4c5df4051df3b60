#include "Ranking.h"

#include "Queries.h"
#include "data/Database.h"
#include "data/ItalianText.h"

#include <algorithm>

namespace stats {
namespace {

void bindPeriods(Statement& st, const Period& p) {
    const Period b = p.yearBefore();
    st.bind(1, itext::isoDate(p.from))
        .bind(2, itext::isoDate(p.to))
        .bind(3, itext::isoDate(b.from))
        .bind(4, itext::isoDate(b.to));
}

// Columns from `at`: the four sums, last year's gross, orders, last date.
void readRanked(const Statement& st, int at, Ranked& r) {
    r.figures = {st.real(at), st.real(at + 1), st.real(at + 2), st.real(at + 3)};
    r.grossBefore = st.real(at + 4);
    r.orders = int(st.int64(at + 5));
    if (!st.isNull(at + 6))
        r.lastOrder = itext::parseIsoDate(st.utf8(at + 6)).value_or(QDate());
}

void rank(std::vector<Ranked>& rows) {
    std::stable_sort(rows.begin(), rows.end(), [](const Ranked& a, const Ranked& b) {
        if (a.figures.gross != b.figures.gross)
            return a.figures.gross > b.figures.gross;
        if (a.grossBefore != b.grossBefore)
            return a.grossBefore > b.grossBefore;
        if (a.code != b.code)
            return a.code < b.code;
        return a.name < b.name;
    });
}

// Rows of customers() and buyers(): code, the ranked columns, name, town, province.
Result<std::vector<Ranked>> readCustomers(Statement& st) {
    std::vector<Ranked> out;
    while (st.next()) {
        Ranked r;
        r.code = st.text(0);
        readRanked(st, 1, r);
        r.inRegister = !st.isNull(8);
        r.name = st.text(8);
        r.town = st.text(9);
        r.province = st.text(10);
        out.push_back(std::move(r));
    }
    if (!st.status())
        return st.status().error();
    rank(out);
    return out;
}

} // namespace

Status checkPeriod(const Period& p) {
    if (!p.from.isValid() || !p.to.isValid())
        return makeError(QStringLiteral("Indicare le date di inizio e di fine del periodo."));
    if (p.from > p.to)
        return makeError(QStringLiteral("La data di inizio del periodo (%1) viene dopo quella di "
                                        "fine (%2).")
                             .arg(itext::formatDate(p.from), itext::formatDate(p.to)));
    if (p.from.year() < 1901)
        return makeError(QStringLiteral("La data di inizio del periodo (%1) non è valida.")
                             .arg(itext::formatDate(p.from)));
    return {};
}

Result<std::vector<Ranked>> customers(Database& db, const Period& p, const Filter& f) {
    if (Status s = checkPeriod(p); !s)
        return s.error();
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Result<Statement> st = makeError(QString());
    if (f.principal)
        st = db.prepare(queries::customersPrincipal());
    else
        st = db.prepare(queries::customers());
    if (!st)
        return st.error();
    bindPeriods(*st, p);
    queries::bindFilter(*st, f);
    return readCustomers(*st);
}

Result<std::vector<Ranked>> articles(Database& db, const Period& p, const Filter& f) {
    if (Status s = checkPeriod(p); !s)
        return s.error();
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Result<Statement> st = makeError(QString());
    if (f.principal)
        st = db.prepare(queries::articlesPrincipal());
    else
        st = db.prepare(queries::articles());
    if (!st)
        return st.error();
    bindPeriods(*st, p);
    queries::bindFilter(*st, f);
    std::vector<Ranked> out;
    while (st->next()) {
        Ranked r;
        r.code = st->text(0);
        r.name = st->text(1);
        readRanked(*st, 2, r);
        out.push_back(std::move(r));
    }
    if (!st->status())
        return st->status().error();
    rank(out);
    return out;
}

Result<std::vector<Ranked>> buyers(Database& db, const QString& articleCode,
                                   const QString& description, const Period& p, const Filter& f) {
    if (Status s = checkPeriod(p); !s)
        return s.error();
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Result<Statement> st = makeError(QString());
    if (f.principal)
        st = db.prepare(queries::buyersPrincipal());
    else
        st = db.prepare(queries::buyers());
    if (!st)
        return st.error();
    bindPeriods(*st, p);
    if (articleCode.isEmpty())
        st->bindNull(5);
    else
        st->bind(5, articleCode);
    st->bind(6, description);
    queries::bindFilter(*st, f);
    return readCustomers(*st);
}

} // namespace stats
