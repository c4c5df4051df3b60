#pragma once

#include <QString>

#include <vector>

// What a spreadsheet holds, as the price-list import reads it: sheets of rows of cells. A cell
// holds a number, a text, nothing, or a value that could not be read (a formula with no stored
// result, an error value).
namespace pricelists {

struct Cell {
    enum class Kind { Empty, Number, Text, Formula, Unreadable };
    Kind kind = Kind::Empty;
    double number = 0;
    QString text;

    bool empty() const { return kind == Kind::Empty; }
};

using Row = std::vector<Cell>;

struct Sheet {
    QString name;
    // The field separator of a .csv file; none for a spreadsheet's sheet.
    char separator = 0;
    // The reader gave no results of formulas: a formula's cell came as empty (a .xls read
    // without LibreOffice).
    bool formulasUnread = false;
    // Rows from the first of the sheet; a row's cells from its first column. Rows past the last
    // cell are not kept.
    std::vector<Row> rows;

    const Cell* cell(int row, int column) const {
        if (row < 0 || column < 0 || row >= int(rows.size()) || column >= int(rows[row].size()))
            return nullptr;
        return &rows[row][column];
    }
};

struct Workbook {
    std::vector<Sheet> sheets;
    // Why the formulas' results could not be read, when they could not.
    QString formulasUnread;
};

} // namespace pricelists
