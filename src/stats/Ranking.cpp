#include "Ranking.h"

#include "DistinctOrders.h"
#include "LineStore.h"
#include "Queries.h"
#include "Registered.h"
#include "data/Database.h"
#include "text/ItalianText.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace stats {
namespace {

enum class By { Customer, Article };

// A group of lines on its way to a row: the sums as the engine's TOTAL() makes them (a NULL adds
// nothing), the distinct orders and the last date of the period, the highest description.
struct Group {
    Ranked row;
    std::uint32_t lastDate = LineStore::kNull;
    std::uint32_t description = LineStore::kNull;
    std::uint32_t customer = LineStore::kNull; // the customer's code, for the register
};

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

QString qtext(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The lines kept in the store grouped by customer or by article, in the order they were read,
// then ranked. A line counts only when its customer is among `customers` and its code among
// `codes` (by id), for those given.
Result<std::vector<Ranked>> groupLines(Database& db, const LineStore& s, const Period& p, By by,
                                       const std::vector<char>* customers,
                                       const std::vector<char>* codes) {
    const Period b = p.yearBefore();
    const std::string from = itext::isoDate(p.from).toStdString();
    const std::string to = itext::isoDate(p.to).toStdString();
    const std::string beforeFrom = itext::isoDate(b.from).toStdString();
    const std::string beforeTo = itext::isoDate(b.to).toStdString();
    // Each date once: within the period, within the year before.
    enum : char { kInPeriod = 1, kInBefore = 2 };
    std::vector<char> when(s.textCount(), 0);
    for (std::uint32_t d : s.dates()) {
        const std::string_view date = s.text(d);
        when[d] = char((date >= from && date <= to ? kInPeriod : 0) |
                       (date >= beforeFrom && date <= beforeTo ? kInBefore : 0));
    }
    constexpr std::uint32_t kNone = UINT32_MAX;
    std::vector<Group> groups;
    // The group of a customer or of a code, by id; an article without a code by its code's
    // id (NULL or empty) and its description's.
    std::vector<std::uint32_t> groupOf(s.textCount(), kNone);
    std::unordered_map<std::uint64_t, std::uint32_t> uncoded;
    const std::uint32_t empty = s.emptyId();
    DistinctOrders orders; // group and order, counted once
    for (const LineStore::Line& l : s.lines()) {
        if (customers && (l.customer == LineStore::kNull || !(*customers)[l.customer]))
            continue;
        if (codes && (l.code == LineStore::kNull || !(*codes)[l.code]))
            continue;
        const std::uint32_t key = by == By::Customer ? l.customer : l.code;
        std::uint32_t* at = nullptr;
        if (by == By::Article && (l.code == LineStore::kNull || l.code == empty))
            at = &uncoded.try_emplace((std::uint64_t(l.code) << 32) | l.description, kNone)
                      .first->second;
        else
            at = &groupOf[key];
        if (*at == kNone) {
            *at = std::uint32_t(groups.size());
            Group g;
            if (key != LineStore::kNull)
                g.row.code = qtext(s.text(key));
            if (by == By::Customer)
                g.customer = key;
            groups.push_back(std::move(g));
        }
        Group& g = groups[*at];
        if (by == By::Article && l.description != LineStore::kNull &&
            (g.description == LineStore::kNull ||
             (l.description != g.description && s.text(l.description) > s.text(g.description))))
            g.description = l.description;
        const char w = l.date == LineStore::kNull ? 0 : when[l.date];
        if (w & kInBefore)
            g.row.grossBefore += l.gross;
        if (!(w & kInPeriod))
            continue;
        g.row.figures += Figures{l.gross, l.net, l.kg, l.sold, l.free};
        if (g.lastDate == LineStore::kNull ||
            (l.date != g.lastDate && s.text(l.date) > s.text(g.lastDate)))
            g.lastDate = l.date;
        if (orders.add(*at, l.order))
            ++g.row.orders;
    }

    std::unordered_map<std::string, Registered> known;
    if (by == By::Customer) {
        for (const Group& g : groups)
            if (g.customer != LineStore::kNull)
                known.emplace(std::string(s.text(g.customer)), Registered{});
        if (Status st = fillRegistered(db, known); !st)
            return st.error();
    }
    std::vector<Ranked> out;
    out.reserve(groups.size());
    for (Group& g : groups) {
        Ranked& r = g.row;
        if (g.lastDate != LineStore::kNull)
            r.lastOrder = itext::parseIsoDate(std::string(s.text(g.lastDate))).value_or(QDate());
        if (by == By::Article) {
            if (g.description != LineStore::kNull)
                r.name = qtext(s.text(g.description));
        } else if (auto it = known.find(std::string(s.text(g.customer)));
                   g.customer != LineStore::kNull && it != known.end()) {
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

// The codes of the customers of a province, and of the articles in a principal's price lists,
// as the statements' filters take them.
const char* const kProvinceCodes = "SELECT CODICE FROM CLIENTE WHERE PROVINCIA = ?1;";
const char* const kPrincipalCodes = "SELECT CODICE FROM PREZZO_LISTINO WHERE ID_MANDANTE = ?1;";

// Which of the store's texts are among the statement's values, as the engine's IN matches a
// text column's values: text to text, byte for byte.
Result<std::vector<char>> idsAmong(const LineStore& s, Result<Statement> st) {
    if (!st)
        return st.error();
    std::vector<char> in(s.textCount(), 0);
    while (st->next())
        if (st->type(0) == Statement::kText)
            if (const std::uint32_t id = s.find(st->utf8(0)); id != LineStore::kNull)
                in[id] = 1;
    if (!st->status())
        return st->status().error();
    return in;
}

// The statement with the period, the filter and what else it takes bound.
Result<Statement> bound(Database& db, const char* sql, const Period& p, const Filter& f,
                        const std::function<void(Statement&)>& bindMore) {
    Result<Statement> st = db.prepare(sql);
    if (!st)
        return st;
    const Period b = p.yearBefore();
    st->bind(1, itext::isoDate(p.from))
        .bind(2, itext::isoDate(p.to))
        .bind(3, itext::isoDate(b.from))
        .bind(4, itext::isoDate(b.to));
    queries::bindFilter(*st, f);
    if (bindMore)
        bindMore(*st);
    return st;
}

// The checks of the period and of the filter, then the lines read and grouped: `plain` is the
// statement, `withPrincipal` its form for a filter by principal. `bindMore` binds what else the
// statement takes. With a store, the lines of the statement without filters are kept there (or
// taken from there, when read from the same data) and the filter is applied to them.
Result<std::vector<Ranked>> ranked(Database& db, const Period& p, const Filter& f, By by,
                                   const char* plain, const char* withPrincipal,
                                   const std::function<void(Statement&)>& bindMore = {},
                                   LineStore* kept = nullptr) {
    if (Status s = checkPeriod(p); !s)
        return s.error();
    if (Status s = checkFilter(db, f); !s)
        return s.error();
    if (kept) {
        Result<Statement> st = bound(db, plain, p, Filter{}, bindMore);
        if (!st)
            return st.error();
        Snapshot source = st->snapshot();
        if (!kept->holds(source))
            if (Status s = kept->load(*st, std::move(source)); !s)
                return s.error();
        if (f.province.isEmpty() && !f.principal)
            return groupLines(db, *kept, p, by, nullptr, nullptr);
        if (kept->plain()) {
            std::optional<std::vector<char>> customers, codes;
            if (!f.province.isEmpty()) {
                Result<Statement> q = db.prepare(kProvinceCodes);
                if (q)
                    q->bind(1, f.province);
                auto in = idsAmong(*kept, std::move(q));
                if (!in)
                    return in.error();
                customers = std::move(*in);
            }
            if (f.principal) {
                Result<Statement> q = db.prepare(kPrincipalCodes);
                if (q)
                    q->bind(1, std::int64_t(*f.principal));
                auto in = idsAmong(*kept, std::move(q));
                if (!in)
                    return in.error();
                codes = std::move(*in);
            }
            return groupLines(db, *kept, p, by, customers ? &*customers : nullptr,
                              codes ? &*codes : nullptr);
        }
    }
    Result<Statement> st = bound(db, f.principal ? withPrincipal : plain, p, f, bindMore);
    if (!st)
        return st.error();
    LineStore lines;
    if (Status s = lines.load(*st, Snapshot()); !s)
        return s.error();
    return groupLines(db, lines, p, by, nullptr, nullptr);
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

Result<std::vector<Ranked>> customers(Database& db, const Period& p, const Filter& f,
                                      LineStore* kept) {
    return ranked(db, p, f, By::Customer, kLines.c_str(), kLinesPrincipal.c_str(), {}, kept);
}

Result<std::vector<Ranked>> articles(Database& db, const Period& p, const Filter& f,
                                     LineStore* kept) {
    return ranked(db, p, f, By::Article, kLines.c_str(), kLinesPrincipal.c_str(), {}, kept);
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
