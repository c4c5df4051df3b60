#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class Statement;

namespace stats {

// The orders (year and number of a line) met by each group of lines, each counted once. Orders
// whose year and number are whole numbers, as they nearly always are, are kept in a flat table
// without a string or an allocation per line; any other value by its text, as the engine
// would join it ("year/number").
class DistinctOrders {
public:
    // True the first time the group meets the order of the statement's row.
    bool add(std::uint32_t group, const Statement& st, int yearColumn, int numberColumn);
    // The same for an order named by the id of its key (below); one instance takes one kind.
    bool add(std::uint32_t group, std::uint32_t order);
    // A text that is the same for two rows exactly when add() counts them as one order.
    static void orderKey(const Statement& st, int yearColumn, int numberColumn, std::string& out);

private:
    struct Key {
        std::uint64_t high = 0;
        std::uint64_t low = 0;
    };
    bool addWhole(Key k);
    void grow();

    std::vector<Key> m_slots;
    std::vector<std::uint8_t> m_used;
    std::size_t m_count = 0;
    std::unordered_set<std::string> m_texts;
    std::string m_text;
};

} // namespace stats
