#pragma once

#include "base/Result.h"
#include "data/ChangeWatch.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class Statement;

namespace stats {

// The lines a ranking reads (the period and the same period a year before), held in a compact
// form: each text once, each line a few numbers. Kept with what they were read from, a change
// of province or principal groups them again without reading the lines, while the file is
// unchanged; a change of period or any write reads them anew.
class LineStore {
public:
    // The id of a NULL value; texts have ids from 1.
    static constexpr std::uint32_t kNull = 0;

    struct Line {
        std::uint32_t customer = kNull;
        std::uint32_t code = kNull;
        std::uint32_t description = kNull;
        std::uint32_t date = kNull;
        // The order (year and number) of the line, as DistinctOrders tells orders apart.
        std::uint32_t order = 0;
        std::int64_t gross = 0, net = 0; // cents
        double kg = 0, sold = 0, free = 0;
    };

    // Reads every row of the statement (the rankings' columns), forgetting what was held.
    Status load(Statement& st, Snapshot source);
    // True when the lines held were read from this snapshot.
    bool holds(const Snapshot& s) const { return s.valid() && s == m_source; }
    void forget();

    const std::vector<Line>& lines() const { return m_lines; }
    std::string_view text(std::uint32_t id) const {
        return std::string_view(m_bytes.data() + m_spans[id].first, m_spans[id].second);
    }
    std::uint32_t textCount() const { return std::uint32_t(m_spans.size()); }
    // The id of a text, kNull when no line holds it.
    std::uint32_t find(std::string_view s) const;
    // The id of the empty text, or kNull.
    std::uint32_t emptyId() const { return find(std::string_view()); }
    // The ids of the texts met as dates.
    const std::vector<std::uint32_t>& dates() const { return m_dateIds; }
    // False when a customer's or an article's code was held as bytes rather than text: the
    // engine compares those apart, and a filter must then be left to it.
    bool plain() const { return m_plain; }

private:
    std::uint32_t intern(std::string_view s);
    void grow();

    Snapshot m_source;
    std::vector<Line> m_lines;
    // The texts one after another in one buffer; a text is where it starts and its length.
    // Id 0 stands for NULL.
    std::string m_bytes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_spans{{0, 0}};
    // An open-addressing table of the texts' ids (0: a free slot), with each id's hash.
    std::vector<std::uint32_t> m_slots;
    std::vector<std::size_t> m_hashes{0};
    std::unordered_map<std::string, std::uint32_t> m_orders;
    std::vector<std::uint32_t> m_dateIds;
    bool m_plain = true;
};

} // namespace stats
