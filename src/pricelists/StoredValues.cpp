#include "StoredValues.h"

#include "IgnoredStyles.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace pricelists {

namespace ss = orcus::spreadsheet;
namespace iface = orcus::spreadsheet::iface;

namespace {

// How many cells the library hands over between two looks at "Annulla".
constexpr std::int64_t kCancelLookCells = 4096;

class Strings final : public iface::import_shared_strings {
public:
    std::size_t append(std::string_view s) override {
        m_all.emplace_back(s);
        return m_all.size() - 1;
    }
    std::size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(std::size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t,
                                ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { m_segments.append(s); }
    std::size_t commit_segments() override {
        m_all.push_back(std::move(m_segments));
        m_segments.clear();
        return m_all.size() - 1;
    }
    const std::string* at(std::size_t i) const { return i < m_all.size() ? &m_all[i] : nullptr; }

private:
    std::vector<std::string> m_all;
    std::string m_segments;
};

// Cell addresses as the sheets of an .xlsx give them: "B7", "$B$7", "A1:E12".
class Addresses final : public iface::import_reference_resolver {
public:
    ss::src_address_t resolve_address(std::string_view text) override {
        ss::src_address_t at{0, 0, 0};
        std::size_t i = 0;
        auto skipDollar = [&] {
            if (i < text.size() && text[i] == '$')
                ++i;
        };
        skipDollar();
        long column = 0;
        const std::size_t letters = i;
        for (; i < text.size() && text[i] >= 'A' && text[i] <= 'Z' && column < 1000000; ++i)
            column = column * 26 + (text[i] - 'A' + 1);
        skipDollar();
        long row = 0;
        const std::size_t digits = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && row < 100000000; ++i)
            row = row * 10 + (text[i] - '0');
        if (i == letters || i == digits || digits == letters || i != text.size() || row < 1)
            throw std::invalid_argument("invalid cell address: " + std::string(text.substr(0, 40)));
        at.row = ss::row_t(row - 1);
        at.column = ss::col_t(column - 1);
        return at;
    }
    ss::src_range_t resolve_range(std::string_view text) override {
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos) {
            const ss::src_address_t at = resolve_address(text);
            return {at, at};
        }
        return {resolve_address(text.substr(0, colon)), resolve_address(text.substr(colon + 1))};
    }
};

} // namespace

class StoredValues::Impl {
public:
    Impl(const ReadLimits& l, ReadProgress* p) : limits(l), progress(p) {}

    class SheetReader;

    // Counts a cell handed over; now and then looks whether the agent cancelled, and tells how
    // far the reading is.
    void tick() {
        if (++cells % kCancelLookCells != 0 || !progress)
            return;
        if (progress->cancel.load())
            throw ReadStopped{ReadStopped::Why::Cancelled, QString()};
        if (expected > 0)
            progress->percent.store(10 +
                                    int(85 * std::min<std::int64_t>(cells, expected) / expected));
    }

    const ReadLimits limits;
    ReadProgress* progress;
    Strings strings;
    Addresses addresses;
    IgnoredStyles styles;
    std::deque<SheetReader> sheets;
    std::int64_t cells = 0;
    std::int64_t expected = 0;
};

class StoredValues::Impl::SheetReader final : public iface::import_sheet {
public:
    SheetReader(Impl& owner, std::string_view name) : m_owner(owner) {
        m_sheet.name = QString::fromUtf8(name.data(), qsizetype(name.size()));
    }

    // A cell of a formula: its stored result, if the file has one.
    class Formula final : public iface::import_formula {
    public:
        explicit Formula(SheetReader& s) : m_sheet(s) {}
        void set_position(ss::row_t row, ss::col_t col) override {
            m_row = row;
            m_col = col;
            m_cell = Cell{};
            m_cell.kind = Cell::Kind::Formula;
        }
        void set_formula(ss::formula_grammar_t, std::string_view) override {}
        void set_shared_formula_index(std::size_t) override {}
        void set_result_string(std::string_view value) override { m_cell = textCell(value); }
        // The library gives a formula with no stored value as one that is not a number.
        void set_result_value(double value) override {
            if (std::isfinite(value))
                m_cell = numberCell(value);
        }
        void set_result_bool(bool value) override { m_cell = boolCell(value); }
        // No result stored with the formula.
        void set_result_empty() override {}
        void commit() override { m_sheet.put(m_row, m_col, std::move(m_cell)); }

    private:
        SheetReader& m_sheet;
        ss::row_t m_row = 0;
        ss::col_t m_col = 0;
        Cell m_cell;
    };

    // A formula over a range: the results stored for each of its cells.
    class ArrayFormula final : public iface::import_array_formula {
    public:
        explicit ArrayFormula(SheetReader& s) : m_sheet(s) {}
        void set_range(const ss::range_t&) override {}
        void set_formula(ss::formula_grammar_t, std::string_view) override {}
        void set_result_string(ss::row_t row, ss::col_t col, std::string_view value) override {
            m_sheet.put(row, col, textCell(value));
        }
        void set_result_value(ss::row_t row, ss::col_t col, double value) override {
            m_sheet.put(row, col, numberCell(value));
        }
        void set_result_bool(ss::row_t row, ss::col_t col, bool value) override {
            m_sheet.put(row, col, boolCell(value));
        }
        void set_result_empty(ss::row_t row, ss::col_t col) override {
            Cell c;
            c.kind = Cell::Kind::Formula;
            m_sheet.put(row, col, std::move(c));
        }
        void commit() override {}

    private:
        SheetReader& m_sheet;
    };

    iface::import_formula* get_formula() override { return &m_formula; }
    iface::import_array_formula* get_array_formula() override { return &m_array; }

    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override {
        put(row, col, textCell(s));
    }
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t index) override {
        const std::string* s = m_owner.strings.at(index);
        put(row, col, s ? textCell(*s) : Cell{});
    }
    void set_value(ss::row_t row, ss::col_t col, double value) override {
        put(row, col, numberCell(value));
    }
    void set_bool(ss::row_t row, ss::col_t col, bool value) override {
        put(row, col, boolCell(value));
    }
    // A date as its serial number, the days from 30/12/1899 as spreadsheets count them.
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour,
                       int minute, double second) override {
        const QDate date(year, month, day);
        Cell c;
        if (date.isValid()) {
            c.kind = Cell::Kind::Number;
            c.number = double(QDate(1899, 12, 30).daysTo(date)) +
                       (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
        } else {
            c.kind = Cell::Kind::Unreadable;
        }
        put(row, col, std::move(c));
    }
    void set_format(ss::row_t, ss::col_t, std::size_t) override { m_owner.tick(); }
    void set_format(ss::row_t, ss::col_t, ss::row_t, ss::col_t, std::size_t) override {
        m_owner.tick();
    }
    void fill_down_cells(ss::row_t srcRow, ss::col_t srcCol, ss::row_t size) override {
        const Cell* source = m_sheet.cell(srcRow, srcCol);
        if (!source || source->empty())
            return;
        const Cell copy = *source;
        for (ss::row_t r = 1; r <= size; ++r)
            put(srcRow + r, srcCol, Cell(copy));
    }
    ss::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

    void put(ss::row_t row, ss::col_t col, Cell cell) {
        m_owner.tick();
        if (cell.empty() || row < 0 || col < 0 || col >= m_owner.limits.maxColumns)
            return;
        if (row >= m_owner.limits.maxRows)
            throw ReadStopped{ReadStopped::Why::TooManyRows, m_sheet.name};
        if (m_sheet.rows.size() <= std::size_t(row))
            m_sheet.rows.resize(std::size_t(row) + 1);
        Row& r = m_sheet.rows[std::size_t(row)];
        if (r.size() <= std::size_t(col))
            r.resize(std::size_t(col) + 1);
        r[std::size_t(col)] = std::move(cell);
    }

    Sheet take() {
        while (!m_sheet.rows.empty() && m_sheet.rows.back().empty())
            m_sheet.rows.pop_back();
        return std::move(m_sheet);
    }
    const QString& name() const { return m_sheet.name; }

private:
    static Cell textCell(std::string_view s) {
        Cell c;
        if (!s.empty()) {
            c.kind = Cell::Kind::Text;
            c.text = QString::fromUtf8(s.data(), qsizetype(s.size()));
        }
        return c;
    }
    static Cell numberCell(double value) {
        Cell c;
        c.kind = std::isfinite(value) ? Cell::Kind::Number : Cell::Kind::Unreadable;
        c.number = value;
        return c;
    }
    static Cell boolCell(bool value) { return textCell(value ? "VERO" : "FALSO"); }

    Impl& m_owner;
    Sheet m_sheet;
    Formula m_formula{*this};
    ArrayFormula m_array{*this};
};

StoredValues::StoredValues(const ReadLimits& limits, ReadProgress* progress)
    : m(std::make_unique<Impl>(limits, progress)) {}

StoredValues::~StoredValues() = default;

iface::import_shared_strings* StoredValues::get_shared_strings() {
    return &m->strings;
}

iface::import_styles* StoredValues::get_styles() {
    return &m->styles;
}

iface::import_reference_resolver*
StoredValues::get_reference_resolver(ss::formula_ref_context_t context) {
    return context == ss::formula_ref_context_t::global ? &m->addresses : nullptr;
}

iface::import_sheet* StoredValues::append_sheet(ss::sheet_t, std::string_view name) {
    m->tick();
    return &m->sheets.emplace_back(*m, name);
}

iface::import_sheet* StoredValues::get_sheet(std::string_view name) {
    const QString wanted = QString::fromUtf8(name.data(), qsizetype(name.size()));
    for (Impl::SheetReader& s : m->sheets)
        if (s.name() == wanted)
            return &s;
    return nullptr;
}

iface::import_sheet* StoredValues::get_sheet(ss::sheet_t index) {
    return index >= 0 && std::size_t(index) < m->sheets.size() ? &m->sheets[std::size_t(index)]
                                                               : nullptr;
}

void StoredValues::expect(std::int64_t cells) {
    m->expected = cells;
}

void StoredValues::finalize() {}

Workbook StoredValues::take() {
    Workbook book;
    for (Impl::SheetReader& s : m->sheets)
        book.sheets.push_back(s.take());
    return book;
}

} // namespace pricelists
