#include "CellRange.h"

#include <cstdlib>

namespace sheets {
namespace {

// One cell reference, optionally with "$" before the column and the row.
std::optional<std::pair<int, int>> parseCell(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && s[i] == '$')
        ++i;
    int col = 0;
    size_t letters = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c < 'A' || c > 'Z')
            break;
        col = col * 26 + (c - 'A' + 1);
        ++i;
        if (++letters > 3)
            return std::nullopt;
    }
    if (letters == 0 || col > kMaxCols)
        return std::nullopt;
    if (i < s.size() && s[i] == '$')
        ++i;
    int row = 0;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        row = row * 10 + (s[i] - '0');
        ++i;
        if (++digits > 7)
            return std::nullopt;
    }
    if (digits == 0 || i != s.size() || row < 1 || row > kMaxRows)
        return std::nullopt;
    return std::pair{row - 1, col - 1};
}

} // namespace

std::optional<Range> Range::parse(std::string_view a1) {
    const size_t colon = a1.find(':');
    auto first = parseCell(a1.substr(0, colon));
    if (!first)
        return std::nullopt;
    auto last = first;
    if (colon != std::string_view::npos) {
        last = parseCell(a1.substr(colon + 1));
        if (!last)
            return std::nullopt;
    }
    Range r{std::min(first->first, last->first), std::min(first->second, last->second),
            std::max(first->first, last->first), std::max(first->second, last->second)};
    return r;
}

Range Range::at(std::string_view a1) {
    auto r = parse(a1);
    if (!r)
        std::abort();
    return *r;
}

std::string columnName(int col) {
    std::string name;
    for (int n = col + 1; n > 0; n = (n - 1) / 26)
        name.insert(name.begin(), char('A' + (n - 1) % 26));
    return name;
}

std::string toA1(const Range& r) {
    std::string s = columnName(r.firstCol) + std::to_string(r.firstRow + 1);
    if (r.firstRow != r.lastRow || r.firstCol != r.lastCol)
        s += ':' + columnName(r.lastCol) + std::to_string(r.lastRow + 1);
    return s;
}

} // namespace sheets
