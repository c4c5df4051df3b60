#include "Ranking.h"

#include "DistinctOrders.h"
#include "Queries.h"
#include "Registered.h"
#include "data/Database.h"
#include "data/ItalianText.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace stats {
namespace {

// The columns of queries::lines().
enum LineColumn { kCustomer, kCode, kArticle, kDate, kYear, kNumber, kGross, kKg, kSold, kFree };

enum class By { Customer, Article };

// A group of lines on its way to a row: the sums as the engine's TOTAL() makes them (a NULL adds
// nothing), the distinct orders and the last date of the period, the highest description.
struct Group {
    Ranked row;
    std::string lastDate;
    std::optional<std::string> description;
    std::string customer; // the customer's code, for the register
    bool hasCustomer = false;
};

// Appends a value to a key: NULL and empty text stay apart, and no value runs into the next.
void keyPart(std::string& key, std::optional<std::string_view> v) {
    if (!v) {
        key += '\0';
        return;
    }
    key += '\1';
    key += std::to_string(v->size());
    key += ':';
    key += *v;
}

bool within(std::string_view date, const std::string& from, const std::string& to) {
    return date >= from && date <= to;
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

// The lines of the statement grouped by customer or by article, in one pass over the lines in
// the order of the index (no sorting of the lines), then ranked.
Result<std::vector<Ranked>> groupLines(Database& db, Statement& st, const Period& p, By by) {
    const Period b = p.yearBefore();
    const std::string from = itext::isoDate(p.from).toStdString();
    const std::string to = itext::isoDate(p.to).toStdString();
    const std::string beforeFrom = itext::isoDate(b.from).toStdString();
    const std::string beforeTo = itext::isoDate(b.to).toStdString();
    std::vector<Group> groups;
    std::unordered_map<std::string, size_t> index;
    DistinctOrders orders; // group and order, counted once
    std::string key, lastKey;
    size_t at = 0; // the group of lastKey
    bool any = false;
    while (st.next()) {
        key.clear();
        const auto code = st.utf8OrNull(by == By::Customer ? kCustomer : kCode);
        keyPart(key, code);
        const auto description = st.utf8OrNull(kArticle);
        // An article without a code is its description.
        if (by == By::Article && (!code || code->empty()))
            keyPart(key, description);
        // The lines of one order follow each other: a group just met is not looked up again.
        const bool same = any && key == lastKey;
        auto [found, added] =
            same ? std::pair{index.end(), false} : index.try_emplace(key, groups.size());
        if (!same) {
            at = found->second;
            lastKey = key;
            any = true;
        }
        if (added) {
            Group g;
            g.row.code =
                code ? QString::fromUtf8(code->data(), qsizetype(code->size())) : QString();
            g.hasCustomer = by == By::Customer && code;
            if (g.hasCustomer)
                g.customer = std::string(*code);
            groups.push_back(std::move(g));
        }
        Group& g = groups[at];
        if (by == By::Article && description && (!g.description || *description > *g.description))
            g.description = std::string(*description);
        const std::string_view date = st.utf8(kDate);
        if (within(date, beforeFrom, beforeTo))
            g.row.grossBefore += st.real(kGross);
        if (!within(date, from, to))
            continue;
        g.row.figures += Figures{st.real(kGross), st.real(kKg), st.real(kSold), st.real(kFree)};
        if (date > g.lastDate)
            g.lastDate = std::string(date);
        if (orders.add(std::uint32_t(at), st, kYear, kNumber))
            ++g.row.orders;
    }
    if (!st.status())
        return st.status().error();

    std::unordered_map<std::string, Registered> known;
    if (by == By::Customer) {
        for (const Group& g : groups)
            if (g.hasCustomer)
                known.emplace(g.customer, Registered{});
        if (Status s = fillRegistered(db, known); !s)
            return s.error();
    }
    std::vector<Ranked> out;
    out.reserve(groups.size());
    for (Group& g : groups) {
        Ranked& r = g.row;
        if (!g.lastDate.empty())
            r.lastOrder = itext::parseIsoDate(g.lastDate).value_or(QDate());
        if (by == By::Article) {
            if (g.description)
                r.name = QString::fromStdString(*g.description);
        } else if (auto it = known.find(g.customer); g.hasCustomer && it != known.end()) {
            r.name = it->second.name;
            r.town = it->second.town;
            r.province = it->second.province;
        } else {
            r.inRegister = false;
        }
        out.push_back(std::move(r));
    }
    rank(out);
    return out;
}

// The checks of the period and of the filter, then the lines read and grouped: `plain` is the
// statement, `withPrincipal` its form for a filter by principal. `bindMore` binds what else the
// statement takes.
Result<std::vector<Ranked>> ranked(Database& db, const Period& p, const Filter& f, By by,
                                   const char* plain, const char* withPrincipal,
                                   const std::function<void(Statement&)>& bindMore = {}) {
    if (Status s = checkPeriod(p); !s)
        return s.error();
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    Result<Statement> st = makeError(QString());
    if (f.principal)
        st = db.prepare(withPrincipal);
    else
        st = db.prepare(plain);
    if (!st)
        return st.error();
    const Period b = p.yearBefore();
    st->bind(1, itext::isoDate(p.from))
        .bind(2, itext::isoDate(p.to))
        .bind(3, itext::isoDate(b.from))
        .bind(4, itext::isoDate(b.to));
    queries::bindFilter(*st, f);
    if (bindMore)
        bindMore(*st);
    return groupLines(db, *st, p, by);
}

const std::string kLines = queries::lines();
const std::string kLinesPrincipal = queries::linesPrincipal();
const std::string kLinesOfArticle = queries::linesOfArticle();
const std::string kLinesOfArticlePrincipal = queries::linesOfArticlePrincipal();

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
    return ranked(db, p, f, By::Customer, kLines.c_str(), kLinesPrincipal.c_str());
}

Result<std::vector<Ranked>> articles(Database& db, const Period& p, const Filter& f) {
    return ranked(db, p, f, By::Article, kLines.c_str(), kLinesPrincipal.c_str());
}

Result<std::vector<Ranked>> buyers(Database& db, const QString& articleCode,
                                   const QString& description, const Period& p, const Filter& f) {
    return ranked(db, p, f, By::Customer, kLinesOfArticle.c_str(), kLinesOfArticlePrincipal.c_str(),
                  [&](Statement& st) {
                      if (articleCode.isEmpty())
                          st.bindNull(5);
                      else
                          st.bind(5, articleCode);
                      st.bind(6, description);
                  });
}

} // namespace stats
