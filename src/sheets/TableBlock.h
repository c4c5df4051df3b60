#pragma once

#include "CellFormat.h"
#include "CellValue.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// The rows of an exported table, kept packed: a tag byte and the value of each cell, row after
// row, in chunks of a megabyte. A table of a hundred thousand rows costs a few megabytes and no
// allocation per cell, and can be written again whenever its workbook is saved. The widths the
// column fit needs are gathered while the rows come in.
namespace sheets {

class TableBlock {
public:
    // format: the format the cells show (their column's), used to measure them.
    TableBlock(int columns, const Format& format);

    int columns() const { return m_columns; }
    std::int64_t rows() const { return m_cells / m_columns; }

    // Cells are added row by row, left to right.
    void addEmpty();
    void addNumber(double v);
    void addText(std::string_view utf8);
    void addDate(double serial);

    // The widest content of a column, in pixels.
    double widestPx(int col) const { return m_widest[size_t(col)]; }

    // Reads the cells back in the order they were added.
    class Reader {
    public:
        explicit Reader(const TableBlock& block) : m_block(block) {}
        // False after the last cell.
        bool next(Value::Kind& kind, double& number, std::string_view& text);

    private:
        const TableBlock& m_block;
        size_t m_chunk = 0;
        size_t m_pos = 0;
    };

private:
    char* reserve(size_t bytes);
    void noteWidth(double px);

    struct Chunk {
        std::unique_ptr<char[]> data;
        size_t size = 0;
        size_t capacity = 0;
    };
    int m_columns;
    Format m_format;
    std::int64_t m_cells = 0;
    std::vector<Chunk> m_chunks;
    std::vector<double> m_widest;
};

} // namespace sheets
