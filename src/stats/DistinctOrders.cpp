#include "DistinctOrders.h"

#include "data/Statement.h"

#include <charconv>
#include <optional>

namespace stats {
namespace {

// The value as a whole number when its text is exactly that number's text ("2026", not
// "02026" nor "2026.0"), so that the number and its text count as one order.
std::optional<std::int64_t> whole(const Statement& st, int column) {
    const int type = st.type(column);
    if (type == Statement::kInteger)
        return st.int64(column);
    if (type != Statement::kText)
        return std::nullopt;
    const std::string_view s = st.utf8(column);
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || std::to_string(v) != s)
        return std::nullopt;
    return v;
}

std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

} // namespace

bool DistinctOrders::add(std::uint32_t group, const Statement& st, int yearColumn,
                         int numberColumn) {
    const auto year = whole(st, yearColumn);
    const auto number = year ? whole(st, numberColumn) : std::nullopt;
    if (year && number && *year >= INT32_MIN && *year <= INT32_MAX)
        return addWhole(Key{(std::uint64_t(group) << 32) | std::uint32_t(std::int32_t(*year)),
                            std::uint64_t(*number)});
    m_text = std::to_string(group);
    m_text += ':';
    m_text += st.utf8(yearColumn);
    m_text += '/';
    m_text += st.utf8(numberColumn);
    return m_texts.insert(m_text).second;
}

bool DistinctOrders::add(std::uint32_t group, std::uint32_t order) {
    return addWhole(Key{group, order});
}

void DistinctOrders::orderKey(const Statement& st, int yearColumn, int numberColumn,
                              std::string& out) {
    const auto year = whole(st, yearColumn);
    const auto number = year ? whole(st, numberColumn) : std::nullopt;
    out.clear();
    if (year && number && *year >= INT32_MIN && *year <= INT32_MAX) {
        out += 'w';
        out += std::to_string(*year);
        out += '/';
        out += std::to_string(*number);
        return;
    }
    const std::string_view y = st.utf8(yearColumn);
    out += 't';
    out += std::to_string(y.size());
    out += ':';
    out += y;
    out += st.utf8(numberColumn);
}

bool DistinctOrders::addWhole(Key k) {
    if ((m_count + 1) * 2 > m_slots.size())
        grow();
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = mix(k.high * 0x9e3779b97f4a7c15ULL ^ k.low) & mask;; i = (i + 1) & mask) {
        if (!m_used[i]) {
            m_used[i] = 1;
            m_slots[i] = k;
            ++m_count;
            return true;
        }
        if (m_slots[i].high == k.high && m_slots[i].low == k.low)
            return false;
    }
}

void DistinctOrders::grow() {
    std::vector<Key> slots = std::move(m_slots);
    std::vector<std::uint8_t> used = std::move(m_used);
    const std::size_t size = slots.empty() ? 1024 : slots.size() * 2;
    m_slots.assign(size, Key{});
    m_used.assign(size, 0);
    m_count = 0;
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (used[i])
            addWhole(slots[i]);
}

} // namespace stats
