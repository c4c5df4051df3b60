#pragma once

#include "Ranking.h"
#include "ToVisit.h"
#include "Trend.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace sheets {
class Workbook;
}

// A view of the statistics as rows under headings: what the window's table shows, and what the
// workbook and the PDF are made of. No widgets here.
namespace stats {

enum class Kind {
    Text,
    Count,   // a whole number: "12"
    Number,  // up to two decimals, grouped: "1.234,5"
    Money,   // two decimals, grouped: "1.234,50"
    Percent, // one decimal and a sign: "+12,5 %"
    Date,    // dd/mm/yyyy
};

struct Column {
    QString heading;
    Kind kind = Kind::Text;
};

struct Cell {
    std::optional<double> number; // none: an empty cell, or a text or date
    QString text;
    QDate date;
};

struct Table {
    // The sheet's and the file's name ("Andamento 2026"), and lines that say what it holds (the
    // period and the filters).
    QString title;
    QStringList notes;
    std::vector<Column> columns;
    std::vector<std::vector<Cell>> rows;
    // How many rows from the end are totals (shown in bold).
    int totalRows = 0;
};

// The text of a cell as the window shows it, in the Italian forms whatever the locale.
QString display(const Cell& cell, Kind kind);

// The month's name ("Gennaio").
QString monthName(int month);

// The tables of the four views, and of the customers of an article.
Table trendTable(const Trend& t, const QStringList& notes);
Table customersTable(const std::vector<Ranked>& rows, const Period& p, const QStringList& notes);
Table articlesTable(const std::vector<Ranked>& rows, const Period& p, const QStringList& notes);
Table buyersTable(const std::vector<Ranked>& rows, const QString& article, const Period& p,
                  const QStringList& notes);
Table toVisitTable(const std::vector<ToVisit>& rows, int quietDays, const QStringList& notes);

// The last order of a customer who never ordered: "mai".
QString neverOrdered();
// The note that says how the net is counted.
QString netNote();

// The name a customer no longer in the register is shown with.
QString missingCustomer();

// The table as a workbook of one sheet: the title, the notes, the headings and the rows, the
// numbers as numbers with their format, on A4 landscape one page wide.
std::unique_ptr<sheets::Workbook> workbookOf(const Table& t);

} // namespace stats
