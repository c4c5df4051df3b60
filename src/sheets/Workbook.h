#pragma once

#include "CellFormat.h"
#include "CellRange.h"
#include "CellValue.h"
#include "TableBlock.h"
#include "base/Result.h"

#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

// The workbook the program builds before it is written to a file: sheets of typed cells with
// their formats, merges, column widths, row heights and page setup; no more than the order sheet
// and the table export use. Widget-free, so that layouts are tested on the model itself.
namespace sheets {

class Workbook;

// The longest name a sheet can have, in characters.
inline constexpr int kMaxSheetName = 31;

struct Cell {
    Value value;
    FormatId format = FormatTable::kDefault;
    // A cell that holds a value or a format of its own; an absent cell shows its column's format.
    bool present = false;
};

struct PageSetup {
    std::optional<Range> printArea;
    // Points.
    std::optional<double> leftMargin;
    std::optional<double> rightMargin;
    bool printGridlines = false;
    // Rows repeated at the top of every printed page (first and last).
    std::optional<std::pair<int, int>> titleRows;
    bool paperA4 = false;
    bool landscape = false;
    // The print scaled to one page wide, as many pages tall as the rows need.
    bool fitToWidth = false;
    // The footer in the application's codes ("&C" centre, "&P" page, "&N" pages); empty: none.
    std::string footer;
};

// The page setup of everything the program prints: A4, landscape, one page wide, the page
// numbers in the footer.
void paperPage(PageSetup& page);
// The footer paperPage() sets.
inline constexpr const char* kPageFooter = "&CPagina &P di &N";

class Sheet {
public:
    Sheet(FormatTable& formats, QString name);

    const QString& name() const { return m_name; }

    // Values. A cell takes its column's format when it is first written; a date written into a
    // cell without a number format gets the short date form, and a text of several lines turns
    // wrapping on, as the application does.
    void setValue(int row, int col, Value v);
    void setValue(std::string_view a1, Value v);
    const Cell* cell(int row, int col) const;
    const Value& value(int row, int col) const;
    const Value& value(std::string_view a1) const;
    // What a cell shows: its own format, or its column's.
    const Format& format(int row, int col) const;
    const Format& format(std::string_view a1) const;
    // One more than the last row that holds a cell (a placed table included).
    int rowCount() const;

    // Formats every cell of a bounded range, empty ones too.
    void format(const Range& r, const Patch& p);
    void format(std::string_view a1, const Patch& p) { format(Range::at(a1), p); }
    // Formats only the cells of the range that are present (written or formatted before).
    void formatPresent(const Range& r, const Patch& p);
    // Formats the columns from a row down to the end of the sheet. The columns' own formats
    // change, so cells written later take the new format; the cells above fromRow keep theirs.
    void formatColumns(int firstCol, int lastCol, int fromRow, const Patch& p);
    // The whole sheet.
    void formatAll(const Patch& p) { formatColumns(0, kMaxCols - 1, 0, p); }
    // A thin line around the range; with insideVertical also between its columns.
    void outline(const Range& r, bool insideVertical = false);

    void merge(const Range& r);
    const std::vector<Range>& merges() const { return m_merges; }
    const Range* mergeAt(int row, int col) const;

    // Columns: width in characters; no value is the default width.
    FormatId columnFormat(int col) const;
    std::optional<double> columnWidth(int col) const;
    void setColumnWidth(int col, double chars);
    // Fits the columns to their widest content, as the application's AutoFit: merged cells are
    // left out, and a wrapping cell needs room for its longest word only, or for its longest
    // line when the text has line breaks. A column without content keeps its width. Rows above
    // firstRow are left out.
    void autofit(int firstCol, int lastCol, int firstRow = 0);
    // The columns whose width or format differ from the rest of the sheet: 0 to this less one.
    int explicitColumns() const { return int(m_cols.size()); }
    // The format of the columns beyond explicitColumns().
    FormatId tailColumnFormat() const { return m_tail.format; }

    void setRowHeight(int row, double points);
    std::optional<double> rowHeight(int row) const;
    const std::map<int, double>& rowHeights() const { return m_heights; }

    // Rows of an exported table, placed with their first cell at (row, 0); the cells they cover
    // are replaced. Its cells show their column's format (dates in the short date form).
    void placeTable(int row, std::unique_ptr<TableBlock> block);
    const TableBlock* table() const { return m_table.get(); }
    int tableRow() const { return m_tableRow; }

    // Removes every cell, merge, width, height and table: an empty sheet.
    void clear();

    PageSetup& page() { return m_page; }
    const PageSetup& page() const { return m_page; }
    void select(int row, int col) { m_selection = Range::cell(row, col); }
    void select(std::string_view a1) { m_selection = Range::at(a1); }
    const Range& selection() const { return m_selection; }

    const FormatTable& formats() const { return m_formats; }
    // Rows of cells, for the writer: row r holds its present cells by column (absent ones too).
    const std::vector<std::vector<Cell>>& rows() const { return m_rows; }

private:
    friend class Workbook;
    struct Column {
        FormatId format = FormatTable::kDefault;
        std::optional<double> width;
    };
    Cell& materialize(int row, int col);
    Column& column(int col);

    FormatTable& m_formats;
    QString m_name;
    std::vector<std::vector<Cell>> m_rows;
    std::vector<Column> m_cols;
    Column m_tail;
    std::vector<Range> m_merges;
    std::map<int, double> m_heights;
    std::unique_ptr<TableBlock> m_table;
    int m_tableRow = 0;
    PageSetup m_page;
    Range m_selection;
};

// A workbook: its sheets in order, the active one, and the formats they share.
class Workbook {
public:
    // A new workbook as the application makes one: one empty sheet, "Foglio1".
    Workbook();

    int sheetCount() const { return int(m_sheets.size()); }
    Sheet& sheet(int index) { return *m_sheets[size_t(index)]; }
    const Sheet& sheet(int index) const { return *m_sheets[size_t(index)]; }
    Sheet* findSheet(const QString& name);
    int indexOf(const Sheet& s) const;

    // A new sheet before the active one, named "Foglio" and the next number of this workbook;
    // it becomes the active sheet.
    Sheet& addSheet();
    void removeSheet(int index);
    // Renames a sheet; refuses a name the application would refuse: empty, longer than 31
    // characters, holding : \ / ? * [ ], starting or ending with an apostrophe, or the name of
    // another sheet of the workbook in any case.
    Status rename(Sheet& s, const QString& name);

    int activeSheet() const { return m_active; }
    void activate(int index) { m_active = index; }

    FormatTable& formats() { return m_formats; }
    const FormatTable& formats() const { return m_formats; }
    // Where the workbook was last written, if anywhere.
    QString path;

private:
    QString nextSheetName();

    FormatTable m_formats;
    std::vector<std::unique_ptr<Sheet>> m_sheets;
    int m_active = 0;
    int m_sheetCounter = 0;
};

} // namespace sheets
