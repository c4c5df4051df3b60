#pragma once

#include <optional>
#include <string>
#include <string_view>

// Cells and ranges of a worksheet. Rows and columns count from 0 (A1 is row 0, column 0); the
// A1 texts that the layouts quote are read with parse().
namespace sheets {

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxCols = 16384;

struct Range {
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = 0;
    int lastCol = 0;

    static Range cell(int row, int col) { return {row, col, row, col}; }
    // "A1", "A2:F2", "$A$1:$I65000"; no value for anything else.
    static std::optional<Range> parse(std::string_view a1);
    // The same, for the fixed references of the program: a bad text is a programming error.
    static Range at(std::string_view a1);

    bool contains(int row, int col) const {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
    int rows() const { return lastRow - firstRow + 1; }
    int cols() const { return lastCol - firstCol + 1; }
    bool operator==(const Range&) const = default;
};

// "A", "Z", "AA"... for a column index.
std::string columnName(int col);
// "B2:F2" ("B2" for a single cell).
std::string toA1(const Range& r);

} // namespace sheets
