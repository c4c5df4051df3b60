#include "Workbook.h"

#include "ColumnFit.h"

#include <algorithm>
#include <cstdlib>

namespace sheets {
namespace {

const Value kNoValue;

// The error number the spreadsheet application gives a refused sheet name.
constexpr int kNameRefused = 1004;

} // namespace

void paperPage(PageSetup& page) {
    page.paperA4 = true;
    page.landscape = true;
    page.fitToWidth = true;
    page.footer = kPageFooter;
}

Sheet::Sheet(FormatTable& formats, QString name) : m_formats(formats), m_name(std::move(name)) {}

Sheet::Column& Sheet::column(int col) {
    while (int(m_cols.size()) <= col)
        m_cols.push_back(m_tail);
    return m_cols[size_t(col)];
}

FormatId Sheet::columnFormat(int col) const {
    return col < int(m_cols.size()) ? m_cols[size_t(col)].format : m_tail.format;
}

std::optional<double> Sheet::columnWidth(int col) const {
    return col < int(m_cols.size()) ? m_cols[size_t(col)].width : m_tail.width;
}

void Sheet::setColumnWidth(int col, double chars) {
    column(col).width = chars;
}

Cell& Sheet::materialize(int row, int col) {
    if (int(m_rows.size()) <= row)
        m_rows.resize(size_t(row) + 1);
    auto& cells = m_rows[size_t(row)];
    if (int(cells.size()) <= col)
        cells.resize(size_t(col) + 1);
    Cell& c = cells[size_t(col)];
    if (!c.present) {
        c.present = true;
        c.format = columnFormat(col);
    }
    return c;
}

void Sheet::setValue(int row, int col, Value v) {
    Cell& c = materialize(row, col);
    if (v.kind == Value::Kind::Date && m_formats.at(c.format).numberFormat.empty())
        c.format = FormatTable::Applier(m_formats, Patch::numFmt(kShortDate))(c.format);
    // A text of several lines turns wrapping on, as the application does when a line break is
    // entered: its lines then show one under the other inside a row tall enough for them,
    // never over the rows above.
    if (v.kind == Value::Kind::Text && v.text.find('\n') != std::string::npos &&
        !m_formats.at(c.format).wrap) {
        Patch wrap;
        wrap.wrap = true;
        c.format = FormatTable::Applier(m_formats, wrap)(c.format);
    }
    c.value = std::move(v);
}

void Sheet::setValue(std::string_view a1, Value v) {
    const Range r = Range::at(a1);
    setValue(r.firstRow, r.firstCol, std::move(v));
}

const Cell* Sheet::cell(int row, int col) const {
    if (row < 0 || col < 0 || row >= int(m_rows.size()))
        return nullptr;
    const auto& cells = m_rows[size_t(row)];
    if (col >= int(cells.size()) || !cells[size_t(col)].present)
        return nullptr;
    return &cells[size_t(col)];
}

const Value& Sheet::value(int row, int col) const {
    const Cell* c = cell(row, col);
    return c ? c->value : kNoValue;
}

const Value& Sheet::value(std::string_view a1) const {
    const Range r = Range::at(a1);
    return value(r.firstRow, r.firstCol);
}

const Format& Sheet::format(int row, int col) const {
    const Cell* c = cell(row, col);
    return m_formats.at(c ? c->format : columnFormat(col));
}

const Format& Sheet::format(std::string_view a1) const {
    const Range r = Range::at(a1);
    return format(r.firstRow, r.firstCol);
}

int Sheet::rowCount() const {
    int n = int(m_rows.size());
    if (m_table)
        n = std::max(n, m_tableRow + int(m_table->rows()));
    return n;
}

void Sheet::format(const Range& r, const Patch& p) {
    FormatTable::Applier apply(m_formats, p);
    for (int row = r.firstRow; row <= r.lastRow; ++row)
        for (int col = r.firstCol; col <= r.lastCol; ++col) {
            Cell& c = materialize(row, col);
            c.format = apply(c.format);
        }
}

void Sheet::formatPresent(const Range& r, const Patch& p) {
    FormatTable::Applier apply(m_formats, p);
    const int last = std::min(r.lastRow, int(m_rows.size()) - 1);
    for (int row = r.firstRow; row <= last; ++row) {
        auto& cells = m_rows[size_t(row)];
        const int lastCol = std::min(r.lastCol, int(cells.size()) - 1);
        for (int col = r.firstCol; col <= lastCol; ++col)
            if (cells[size_t(col)].present)
                cells[size_t(col)].format = apply(cells[size_t(col)].format);
    }
}

void Sheet::formatColumns(int firstCol, int lastCol, int fromRow, const Patch& p) {
    const bool toTheEnd = lastCol >= kMaxCols - 1;
    if (fromRow > 0) {
        // The cells above keep what they show now; only a bounded block can be held that way.
        if (toTheEnd)
            std::abort();
        for (int row = 0; row < fromRow; ++row)
            for (int col = firstCol; col <= lastCol; ++col)
                materialize(row, col);
    }
    FormatTable::Applier apply(m_formats, p);
    for (size_t row = size_t(fromRow); row < m_rows.size(); ++row) {
        auto& cells = m_rows[row];
        const int last = std::min(lastCol, int(cells.size()) - 1);
        for (int col = firstCol; col <= last; ++col)
            if (cells[size_t(col)].present)
                cells[size_t(col)].format = apply(cells[size_t(col)].format);
    }
    if (toTheEnd) {
        if (firstCol > 0)
            column(firstCol - 1);
        for (size_t col = size_t(firstCol); col < m_cols.size(); ++col)
            m_cols[col].format = apply(m_cols[col].format);
        m_tail.format = apply(m_tail.format);
    } else {
        for (int col = firstCol; col <= lastCol; ++col)
            column(col).format = apply(column(col).format);
    }
}

void Sheet::outline(const Range& r, bool insideVertical) {
    format(Range{r.firstRow, r.firstCol, r.firstRow, r.lastCol}, Patch::borders(edge::Top));
    format(Range{r.lastRow, r.firstCol, r.lastRow, r.lastCol}, Patch::borders(edge::Bottom));
    format(Range{r.firstRow, r.firstCol, r.lastRow, r.firstCol}, Patch::borders(edge::Left));
    format(Range{r.firstRow, r.lastCol, r.lastRow, r.lastCol}, Patch::borders(edge::Right));
    if (insideVertical && r.cols() > 1)
        format(r, Patch::borders(edge::Left | edge::Right));
}

void Sheet::merge(const Range& r) {
    // A merged cell keeps the value of its first cell only.
    for (int row = r.firstRow; row <= r.lastRow; ++row)
        for (int col = r.firstCol; col <= r.lastCol; ++col)
            if ((row != r.firstRow || col != r.firstCol) && cell(row, col))
                m_rows[size_t(row)][size_t(col)].value = Value{};
    m_merges.push_back(r);
}

const Range* Sheet::mergeAt(int row, int col) const {
    for (const Range& r : m_merges)
        if (r.contains(row, col))
            return &r;
    return nullptr;
}

void Sheet::autofit(int firstCol, int lastCol, int firstRow) {
    for (int col = firstCol; col <= lastCol; ++col) {
        double widest = 0;
        for (size_t row = size_t(std::max(0, firstRow)); row < m_rows.size(); ++row) {
            const Cell* c = cell(int(row), col);
            if (!c || c->value.empty() || mergeAt(int(row), col))
                continue;
            widest = std::max(widest, fit::cellWidthPx(c->value, m_formats.at(c->format)));
        }
        if (m_table && col < m_table->columns())
            widest = std::max(widest, m_table->widestPx(col));
        if (widest > 0)
            setColumnWidth(col, fit::charsForPx(widest));
    }
}

void Sheet::setRowHeight(int row, double points) {
    m_heights[row] = points;
}

std::optional<double> Sheet::rowHeight(int row) const {
    auto it = m_heights.find(row);
    if (it == m_heights.end())
        return std::nullopt;
    return it->second;
}

void Sheet::placeTable(int row, std::unique_ptr<TableBlock> block) {
    const int last = std::min(int(m_rows.size()) - 1, row + int(block->rows()) - 1);
    for (int r = row; r <= last; ++r) {
        auto& cells = m_rows[size_t(r)];
        for (int col = 0; col < std::min(block->columns(), int(cells.size())); ++col)
            cells[size_t(col)] = Cell{};
    }
    m_table = std::move(block);
    m_tableRow = row;
}

void Sheet::clear() {
    m_rows.clear();
    m_cols.clear();
    m_tail = Column{};
    m_merges.clear();
    m_heights.clear();
    m_table.reset();
    m_tableRow = 0;
}

Workbook::Workbook() {
    m_sheets.push_back(std::make_unique<Sheet>(m_formats, nextSheetName()));
}

Sheet* Workbook::findSheet(const QString& name) {
    for (auto& s : m_sheets)
        if (s->name().compare(name, Qt::CaseInsensitive) == 0)
            return s.get();
    return nullptr;
}

int Workbook::indexOf(const Sheet& s) const {
    for (size_t i = 0; i < m_sheets.size(); ++i)
        if (m_sheets[i].get() == &s)
            return int(i);
    return -1;
}

QString Workbook::nextSheetName() {
    QString name;
    do
        name = QStringLiteral("Foglio%1").arg(++m_sheetCounter);
    while (findSheet(name));
    return name;
}

Sheet& Workbook::addSheet() {
    const int at = std::clamp(m_active, 0, sheetCount());
    m_sheets.insert(m_sheets.begin() + at, std::make_unique<Sheet>(m_formats, nextSheetName()));
    m_active = at;
    return *m_sheets[size_t(at)];
}

void Workbook::removeSheet(int index) {
    m_sheets.erase(m_sheets.begin() + index);
    if (m_active > index || m_active >= sheetCount())
        m_active = std::max(0, m_active - 1);
}

Status Workbook::rename(Sheet& s, const QString& name) {
    auto refuse = [&](const QString& why) {
        return Status(makeError(why.arg(name), kNameRefused));
    };
    if (name.isEmpty())
        return Status(
            makeError(QStringLiteral("Il nome del foglio non può essere vuoto."), kNameRefused));
    if (name.size() > kMaxSheetName)
        return refuse(QStringLiteral("Il nome del foglio \"%1\" supera i 31 caratteri."));
    for (QChar c : name)
        if (QStringLiteral(":\\/?*[]").contains(c))
            return refuse(QStringLiteral("Il nome del foglio \"%1\" contiene un carattere non "
                                         "ammesso (: \\ / ? * [ ])."));
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return refuse(QStringLiteral(
            "Il nome del foglio \"%1\" non può iniziare o finire con un apostrofo."));
    if (Sheet* other = findSheet(name); other && other != &s)
        return refuse(QStringLiteral("Il nome \"%1\" è già usato da un altro foglio della "
                                     "cartella di lavoro."));
    s.m_name = name;
    return {};
}

} // namespace sheets
