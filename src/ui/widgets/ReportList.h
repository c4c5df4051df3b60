#pragma once

#include "base/Result.h"
#include "data/ChangeWatch.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QTreeView>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Statement;

// How a stored value is shown in a cell.
enum class CellKind {
    Text,   // as stored
    Number, // "12,5", "1500"
    Fixed2, // two decimals: "12,50"
    Money,  // two decimals grouped by thousands, as the totals line: "8.305,85"
    Date,   // dd/mm/yyyy
};

struct ReportColumn {
    QString key;
    QString heading;
    int widthTwips = 0;
    Qt::Alignment alignment = Qt::AlignLeft;
    CellKind kind = CellKind::Text;
    bool bold = false;
    bool operator==(const ReportColumn&) const = default;
};

// The rows of a report list. All cells live in one buffer as the engine gives them (UTF-8) and
// are turned into display text only when a cell is shown, so a fill is one pass over the query
// and a row costs little more than its text.
class ReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Replaces the headings (and empties the list).
    void setColumns(std::vector<ReportColumn> columns);
    const std::vector<ReportColumn>& columns() const { return m_columns; }
    int columnIndex(const QString& key) const;
    void clear();
    // Adds every row of the statement; cell i takes the statement's column i. The rows read
    // before a failure stay.
    Status fill(Statement& st);
    // The list holds exactly the rows read from the source under these columns (nothing was
    // added, emptied or changed since remember()).
    bool shows(const std::vector<ReportColumn>& columns, const Snapshot& source) const {
        return m_source == source && m_columns == columns;
    }
    void remember(Snapshot source) { m_source = std::move(source); }
    // The rows are every row of the last fill's statement: false while a fill runs, after one
    // failed, and once the list was emptied.
    bool whole() const { return m_whole; }

    int rows() const { return int(m_nulls.size() / std::max<size_t>(1, m_columns.size())); }
    QString cell(int row, int column) const;
    bool isNull(int row, int column) const;
    std::string_view raw(int row, int column) const;
    // The cell's stored number; none for Null, for text and outside the rows and columns.
    std::optional<double> number(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    // The font of the view; bold columns use its bold form.
    void setBaseFont(const QFont& font);
    // Bytes held for the rows (for the benchmarks).
    size_t memoryBytes() const;

private:
    size_t slot(int row, int column) const {
        return size_t(row) * m_columns.size() + size_t(column);
    }

    std::vector<ReportColumn> m_columns;
    std::string m_pool;
    std::vector<std::uint32_t> m_ends; // end offset of each cell in m_pool
    std::vector<bool> m_nulls;
    QFont m_bold;
    // What the rows were read from, while they are all of it.
    Snapshot m_source;
    bool m_whole = false;
    // The size of the last fill, kept after the list is emptied.
    size_t m_lastPool = 0;
    size_t m_lastCells = 0;
};

// A list in report view: rows under column headings, one row selected at a time.
class ReportView : public QTreeView {
    Q_OBJECT
public:
    explicit ReportView(QWidget* parent = nullptr);

    ReportModel* report() const { return m_model; }
    // Sets the headings, their widths and alignments; empties the list.
    void setColumns(std::vector<ReportColumn> columns);
    // Shows the rows of the statement under the columns, as setColumns and a fill do, with no
    // row selected and the first in view. A list that already shows what the statement would
    // read (the same text and values, on tables unchanged since) is not read again.
    Status showRows(std::vector<ReportColumn> columns, Statement& st);
    // The selected row, -1 when none.
    int selectedRow() const;
    void selectRow(int row);
    QRect rowRect(int row) const;

Q_SIGNALS:
    // A click on a row, or Return on it; `row` is the selected row.
    void rowClicked(int row);
    // After rowClicked, when the choice was made with the keyboard.
    void keyChosen(int row);

protected:
    void changeEvent(QEvent* e) override;
    // Return, Enter and Space on the current row act as a click on it.
    void keyPressEvent(QKeyEvent* e) override;

private:
    void setWidths(const std::vector<ReportColumn>& columns);

    ReportModel* m_model;
};
