#include "SearchStore.h"

#include "data/Database.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

namespace searchstore {
namespace {

// The newest lines, each with whether it holds ?1; through the index ORDINE_DATAO_CLIENTE.
const char* const kRecent =
    "SELECT rowid, ANNO, NR, DATAO, MATCHES_FOLDED(?1, ARTICOLO, CODICE, DEST, NOTE) FROM ORDINE "
    "ORDER BY DATAO DESC LIMIT ?2;";
// The lines of every text that holds ?1, with their order date.
const char* const kIndexed = "SELECT GIORNO, ID_RIGA FROM CERCA_RIGA WHERE ID_TESTO IN (SELECT "
                             "ID FROM CERCA_TESTO WHERE MATCHES_FOLDED(?1, TESTO));";
// The order of line ?1, when the line holds ?2: the index tells where to look, the line itself
// whether the text is there.
const char* const kLine = "SELECT ANNO, NR FROM ORDINE WHERE rowid = ?1 AND "
                          "MATCHES_FOLDED(?2, ARTICOLO, CODICE, DEST, NOTE);";

// The orders found, each once with the first line that found it, the lines taken newest first.
// Once `limit` orders are there, only those of the last one's date are still taken.
template <class Day> class Found {
public:
    explicit Found(int limit) : m_limit(limit) {}

    // The next line; false when it comes after the orders wanted.
    bool wants(const Day& day) const { return int(m_lines.size()) < m_limit || day == m_lastDay; }
    void add(std::string_view year, std::string_view number, std::int64_t line, const Day& day) {
        if (!m_orders.emplace(std::string(year), std::string(number)).second)
            return;
        m_lines.push_back(line);
        if (int(m_lines.size()) == m_limit)
            m_lastDay = day;
    }
    std::vector<std::int64_t> take() { return std::move(m_lines); }
    int size() const { return int(m_lines.size()); }

private:
    int m_limit;
    std::set<std::pair<std::string, std::string>> m_orders;
    std::vector<std::int64_t> m_lines;
    Day m_lastDay{};
};

using Date = std::optional<std::string>;

// The newest `recentLines` lines one by one: none when they do not settle the group (the orders
// wanted may be further down), or as soon as the orders found so far tell they will not (fewer
// than half the group, at the pace they came).
Result<std::optional<std::vector<std::int64_t>>>
fromRecentLines(Database& db, const std::string& folded, int limit, int recentLines) {
    auto st = db.prepare(kRecent);
    if (!st)
        return st.error();
    st->bind(1, folded).bind(2, recentLines);
    Found<Date> found(limit);
    int read = 0;
    while (st->next()) {
        ++read;
        const auto date = st->utf8OrNull(3);
        const Date day = date ? Date(std::string(*date)) : Date();
        if (!found.wants(day))
            return std::optional(found.take());
        if (st->int64(4) != 0)
            found.add(st->utf8(1), st->utf8(2), st->int64(0), day);
        if (read % 1000 == 0 &&
            2 * std::int64_t(found.size()) * recentLines < std::int64_t(read) * limit)
            return std::optional<std::vector<std::int64_t>>();
    }
    if (!st->status())
        return st->status().error();
    // Every line was read.
    if (read < recentLines)
        return std::optional(found.take());
    return std::optional<std::vector<std::int64_t>>();
}

// Through the texts' index: the lines of every text holding the needle, newest first, each
// looked up until the group is full.
Result<std::vector<std::int64_t>> fromIndex(Database& db, const std::string& folded, int limit) {
    auto st = db.prepare(kIndexed);
    if (!st)
        return st.error();
    st->bind(1, folded);
    std::vector<std::pair<std::int64_t, std::int64_t>> lines;
    while (st->next())
        lines.emplace_back(st->int64(0), st->int64(1));
    if (!st->status())
        return st->status().error();
    std::sort(lines.begin(), lines.end(), std::greater<>());
    auto line = db.prepare(kLine);
    if (!line)
        return line.error();
    Found<std::int64_t> found(limit);
    for (const auto& [day, id] : lines) {
        if (!found.wants(day))
            break;
        line->reset();
        line->bind(1, id).bind(2, folded);
        if (line->next())
            found.add(line->utf8(0), line->utf8(1), id, day);
        else if (!line->status())
            return line->status().error();
    }
    return found.take();
}

} // namespace

void appendPacked(std::string& list, std::string_view value) {
    list += std::to_string(value.size());
    list += ':';
    list += value;
}

Result<std::vector<std::int64_t>> linesOfOrders(Database& db, const std::string& folded, int limit,
                                                int recentLines) {
    if (folded.empty() || limit <= 0)
        return std::vector<std::int64_t>();
    if (recentLines > 0) {
        auto recent = fromRecentLines(db, folded, limit, recentLines);
        if (!recent)
            return recent.error();
        if (*recent)
            return std::move(**recent);
    }
    return fromIndex(db, folded, limit);
}

std::optional<int> orderNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 8)
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int n = t.toInt();
    if (n < 1 || n > 32767)
        return std::nullopt;
    return n;
}

} // namespace searchstore
