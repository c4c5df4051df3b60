#include "XlsxWriter.h"

#include "ColumnFit.h"
#include "WorkFiles.h"
#include "Workbook.h"
#include "WorkbookFiles.h"
#include "XlsxCheck.h"
#include "files/FolderNames.h"
#include "text/ScopedCLocale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <unordered_map>

namespace sheets {
namespace {

// The longest text a cell can hold, in characters.
constexpr size_t kMaxCellChars = 32767;

// The length of the valid UTF-8 sequence at s[i] that XML may hold, or 0: a broken sequence, a
// control character other than tab and line breaks, a surrogate or U+FFFE/U+FFFF.
size_t xmlCharAt(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return c >= 0x20 || c == '\t' || c == '\n' || c == '\r' ? 1 : 0;
    const size_t n = c >= 0xC2 && c < 0xE0    ? 2
                     : c >= 0xE0 && c < 0xF0  ? 3
                     : c >= 0xF0 && c <= 0xF4 ? 4
                                              : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    char32_t cp = c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF)
        return 0;
    return n;
}

// A text as a cell of the file can hold it: at most 32767 characters, and nothing the file's
// XML cannot carry (which would make the whole file unreadable). Control characters are
// dropped and broken byte sequences become U+FFFD. Texts that need nothing are not copied.
std::string_view cellText(std::string_view s, std::string& buffer) {
    size_t chars = 0;
    size_t i = 0;
    while (i < s.size()) {
        const size_t n = xmlCharAt(s, i);
        if (n == 0)
            break;
        if (++chars > kMaxCellChars)
            return s.substr(0, i);
        i += n;
    }
    if (i == s.size())
        return s;
    buffer.assign(s.substr(0, i));
    while (i < s.size() && chars < kMaxCellChars) {
        const size_t n = xmlCharAt(s, i);
        if (n > 0) {
            buffer.append(s.substr(i, n));
            i += n;
        } else {
            if (static_cast<unsigned char>(s[i]) >= 0x80)
                buffer.append("\xEF\xBF\xBD");
            ++i;
            // Bytes that continue the broken sequence go with it.
            while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
                ++i;
        }
        ++chars;
    }
    return buffer;
}

QString describe(lxw_error e) {
    switch (e) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("memoria insufficiente");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("impossibile creare il file");
    case LXW_ERROR_CREATING_TMPFILE:
        return QStringLiteral("impossibile creare un file temporaneo di lavoro");
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("impossibile rileggere un file temporaneo di lavoro");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("errore nella scrittura dell'archivio del file");
    case LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED:
    case LXW_ERROR_INVALID_SHEETNAME_CHARACTER:
    case LXW_ERROR_SHEETNAME_START_END_APOSTROPHE:
    case LXW_ERROR_SHEETNAME_ALREADY_USED:
        return QStringLiteral("nome di foglio non valido");
    default:
        return QString::fromUtf8(lxw_strerror(e));
    }
}

Error writerError(lxw_error e, const QString& path, int sysErrno) {
    QString text = QStringLiteral("Impossibile scrivere la cartella di lavoro \"%1\": %2")
                       .arg(path, describe(e));
    if (sysErrno != 0)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(sysErrno)));
    return makeError(text + QLatin1Char('.'), int(e));
}

lxw_format* makeFormat(lxw_workbook* book, const Format& f) {
    lxw_format* x = workbook_add_format(book);
    if (!x)
        return nullptr;
    if (!f.fontName.empty())
        format_set_font_name(x, f.fontName.c_str());
    if (f.fontSize != 11)
        format_set_font_size(x, f.fontSize);
    if (f.bold)
        format_set_bold(x);
    if (f.numberFormat == kShortDate)
        format_set_num_format_index(x, 14);
    else if (!f.numberFormat.empty())
        format_set_num_format(x, f.numberFormat.c_str());
    switch (f.hAlign) {
    case HAlign::General:
        break;
    case HAlign::Left:
        format_set_align(x, LXW_ALIGN_LEFT);
        break;
    case HAlign::Center:
        format_set_align(x, LXW_ALIGN_CENTER);
        break;
    case HAlign::Right:
        format_set_align(x, LXW_ALIGN_RIGHT);
        break;
    case HAlign::Justify:
        format_set_align(x, LXW_ALIGN_JUSTIFY);
        break;
    }
    switch (f.vAlign) {
    case VAlign::Bottom:
        break;
    case VAlign::Center:
        format_set_align(x, LXW_ALIGN_VERTICAL_CENTER);
        break;
    case VAlign::Top:
        format_set_align(x, LXW_ALIGN_VERTICAL_TOP);
        break;
    case VAlign::Justify:
        format_set_align(x, LXW_ALIGN_VERTICAL_JUSTIFY);
        break;
    case VAlign::Distributed:
        format_set_align(x, LXW_ALIGN_VERTICAL_DISTRIBUTED);
        break;
    }
    if (f.wrap)
        format_set_text_wrap(x);
    if (f.shrink)
        format_set_shrink(x);
    if (f.borders & edge::Left)
        format_set_left(x, LXW_BORDER_THIN);
    if (f.borders & edge::Top)
        format_set_top(x, LXW_BORDER_THIN);
    if (f.borders & edge::Right)
        format_set_right(x, LXW_BORDER_THIN);
    if (f.borders & edge::Bottom)
        format_set_bottom(x, LXW_BORDER_THIN);
    return x;
}

// One libxlsxwriter format per format of the model, made when first used.
class Formats {
public:
    Formats(lxw_workbook* book, const FormatTable& table)
        : m_book(book), m_table(table), m_made(table.size(), nullptr),
          m_dates(table.size(), nullptr) {}

    lxw_format* get(FormatId id) {
        if (id == FormatTable::kDefault)
            return nullptr;
        if (!m_made[id])
            m_made[id] = makeFormat(m_book, m_table.at(id));
        return m_made[id];
    }
    // The format of id showing a date (for the dates of a table).
    lxw_format* date(FormatId id) {
        if (!m_dates[id]) {
            Format f = m_table.at(id);
            if (f.numberFormat.empty())
                f.numberFormat = kShortDate;
            m_dates[id] = makeFormat(m_book, f);
        }
        return m_dates[id];
    }

private:
    lxw_workbook* m_book;
    const FormatTable& m_table;
    std::vector<lxw_format*> m_made;
    std::vector<lxw_format*> m_dates;
};

class SheetWriter {
public:
    SheetWriter(lxw_worksheet* ws, const Sheet& sheet, Formats& formats)
        : m_ws(ws), m_sheet(sheet), m_formats(formats) {}

    lxw_error write() {
        writeColumns();
        const TableBlock* table = m_sheet.table();
        std::optional<TableBlock::Reader> reader;
        if (table)
            reader.emplace(*table);
        const auto& rows = m_sheet.rows();
        const auto& heights = m_sheet.rowHeights();
        auto height = heights.begin();
        const int rowCount =
            std::max(m_sheet.rowCount(), heights.empty() ? 0 : heights.rbegin()->first + 1);
        for (int r = 0; r < rowCount && m_error == LXW_NO_ERROR; ++r) {
            if (height != heights.end() && height->first == r) {
                check(worksheet_set_row(m_ws, lxw_row_t(r), height->second, nullptr), r);
                ++height;
            } else if (r < int(rows.size())) {
                if (const double h = automaticHeight(r); h > 0)
                    check(worksheet_set_row(m_ws, lxw_row_t(r), h, nullptr), r);
            }
            if (r < int(rows.size()))
                writeCells(r, rows[size_t(r)]);
            if (table && r >= m_sheet.tableRow() && r < m_sheet.tableRow() + table->rows())
                writeTableRow(r, *table, *reader);
        }
        writePage();
        return m_error;
    }

    // The last row (1-based) the file must hold: one a value or a height was written to.
    int lastRow() const { return m_lastRow; }

private:
    void check(lxw_error e) {
        if (e != LXW_NO_ERROR && m_error == LXW_NO_ERROR)
            m_error = e;
    }
    void check(lxw_error e, int row) {
        check(e);
        if (e == LXW_NO_ERROR)
            m_lastRow = std::max(m_lastRow, row + 1);
    }

    // The height the application gives a row to show its text: taller than the default for
    // larger fonts and for wrapped text of several lines. The desktop's viewers keep the
    // height written in the file and do not fit rows themselves when they open it, so the
    // height of such a row is written; a row that needs no more than the default gets none.
    double automaticHeight(int r) {
        const double h = fit::rowTextHeightPt(m_sheet, r);
        return h > fit::kDefaultRowHeight + 0.01 ? h : 0;
    }

    void writeColumns() {
        const int n = m_sheet.explicitColumns();
        int first = 0;
        while (first < n) {
            const FormatId f = m_sheet.columnFormat(first);
            const auto w = m_sheet.columnWidth(first);
            int last = first;
            while (last + 1 < n && m_sheet.columnFormat(last + 1) == f &&
                   m_sheet.columnWidth(last + 1) == w)
                ++last;
            if (f != FormatTable::kDefault || w)
                check(worksheet_set_column(m_ws, lxw_col_t(first), lxw_col_t(last),
                                           w ? *w : LXW_DEF_COL_WIDTH, m_formats.get(f)));
            first = last + 1;
        }
        if (m_sheet.tailColumnFormat() != FormatTable::kDefault && n < kMaxCols)
            check(worksheet_set_column(m_ws, lxw_col_t(n), lxw_col_t(kMaxCols - 1),
                                       LXW_DEF_COL_WIDTH,
                                       m_formats.get(m_sheet.tailColumnFormat())));
    }

    void writeValue(int r, int c, Value::Kind kind, double number, std::string_view text,
                    lxw_format* f) {
        const auto row = lxw_row_t(r);
        const auto col = lxw_col_t(c);
        switch (kind) {
        case Value::Kind::Empty:
            if (f)
                check(worksheet_write_blank(m_ws, row, col, f), r);
            break;
        case Value::Kind::Number:
        case Value::Kind::Date:
            if (std::isfinite(number))
                check(worksheet_write_number(m_ws, row, col, number, f), r);
            else
                check(worksheet_write_string(m_ws, row, col, number > 0 ? "+INF" : "-INF", f), r);
            break;
        case Value::Kind::Formula:
            m_text.assign(text.data(), text.size());
            check(worksheet_write_formula_num(m_ws, row, col, m_text.c_str(), f,
                                              std::isfinite(number) ? number : 0),
                  r);
            break;
        case Value::Kind::Text: {
            // The writer wants a terminated string.
            const std::string_view clean = cellText(text, m_clean);
            m_text.assign(clean.data(), clean.size());
            check(worksheet_write_string(m_ws, row, col, m_text.c_str(), f), r);
            break;
        }
        }
    }

    void writeCells(int r, const std::vector<Cell>& cells) {
        // A merge begins on its first row: the writer blanks its cells with the first cell's
        // format, then each cell gets its own (the lines of an outline differ per edge).
        for (const Range& m : m_sheet.merges())
            if (m.firstRow == r) {
                const Cell* first = m_sheet.cell(m.firstRow, m.firstCol);
                check(worksheet_merge_range(
                          m_ws, lxw_row_t(m.firstRow), lxw_col_t(m.firstCol), lxw_row_t(m.lastRow),
                          lxw_col_t(m.lastCol), "",
                          m_formats.get(first ? first->format : m_sheet.columnFormat(m.firstCol))),
                      r);
            }
        for (size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            if (!cell.present)
                continue;
            // A blank that looks like its column needs no record, unless a merge covers it.
            if (cell.value.empty() && cell.format == m_sheet.columnFormat(int(c)) &&
                !m_sheet.mergeAt(r, int(c)))
                continue;
            writeValue(r, int(c), cell.value.kind, cell.value.number, cell.value.text,
                       m_formats.get(cell.format));
        }
    }

    void writeTableRow(int r, const TableBlock& table, TableBlock::Reader& reader) {
        Value::Kind kind;
        double number = 0;
        std::string_view text;
        for (int c = 0; c < table.columns() && reader.next(kind, number, text); ++c) {
            const FormatId f = m_sheet.columnFormat(c);
            writeValue(r, c, kind, number, text,
                       kind == Value::Kind::Date ? m_formats.date(f) : m_formats.get(f));
        }
    }

    void writePage() {
        const PageSetup& p = m_sheet.page();
        if (p.printArea)
            check(worksheet_print_area(
                m_ws, lxw_row_t(p.printArea->firstRow), lxw_col_t(p.printArea->firstCol),
                lxw_row_t(p.printArea->lastRow), lxw_col_t(p.printArea->lastCol)));
        if (p.leftMargin || p.rightMargin)
            // The writer takes inches; -1 keeps the application's default.
            worksheet_set_margins(m_ws, p.leftMargin ? *p.leftMargin / 72.0 : -1,
                                  p.rightMargin ? *p.rightMargin / 72.0 : -1, -1, -1);
        if (p.printGridlines)
            worksheet_gridlines(m_ws, LXW_SHOW_ALL_GRIDLINES);
        if (p.titleRows)
            check(worksheet_repeat_rows(m_ws, lxw_row_t(p.titleRows->first),
                                        lxw_row_t(p.titleRows->second)));
        if (p.paperA4)
            worksheet_set_paper(m_ws, 9);
        if (p.landscape)
            worksheet_set_landscape(m_ws);
        if (p.fitToWidth)
            // As many pages tall as the rows need.
            worksheet_fit_to_pages(m_ws, 1, 0);
        if (!p.footer.empty())
            check(worksheet_set_footer(m_ws, p.footer.c_str()));
        const Range& s = m_sheet.selection();
        if (s.firstRow != 0 || s.firstCol != 0 || s.lastRow != 0 || s.lastCol != 0)
            worksheet_set_selection(m_ws, lxw_row_t(s.firstRow), lxw_col_t(s.firstCol),
                                    lxw_row_t(s.lastRow), lxw_col_t(s.lastCol));
    }

    lxw_worksheet* m_ws;
    const Sheet& m_sheet;
    Formats& m_formats;
    lxw_error m_error = LXW_NO_ERROR;
    int m_lastRow = 0;
    std::string m_clean;
    std::string m_text;
};

// A check of the written file that failed: most often the disk filled up while the work files
// were written.
Error incompleteFile(const QString& path, const Error& why) {
    const bool full = diskNearlyFull(path);
    return makeError(QStringLiteral("Impossibile scrivere la cartella di lavoro \"%1\": %2 (%3). "
                                    "Il file non è stato salvato.")
                         .arg(folders::shownNative(path),
                              full ? QStringLiteral("spazio esaurito sul disco")
                                   : QStringLiteral("il file scritto è incompleto, per spazio "
                                                    "esaurito o un errore di scrittura sul disco"),
                              why.text),
                     ENOSPC);
}

} // namespace

Status writeXlsx(const Workbook& workbook, const QString& path) {
    // Numbers, widths and margins go into the file with a full stop, whatever the desktop's
    // locale.
    const ScopedCLocale cNumbers;
    bool streaming = false;
    for (int i = 0; i < workbook.sheetCount(); ++i)
        streaming = streaming || workbook.sheet(i).table();
    lxw_workbook_options options{};
    options.constant_memory = streaming ? LXW_TRUE : LXW_FALSE;
    // The library's work files go beside the file, on the disk whose space the file needs.
    QByteArray workDir = QFile::encodeName(QFileInfo(path).absolutePath());
    options.tmpdir = workDir.data();
    const QByteArray file = QFile::encodeName(path);
    // Every write into the library's work files is seen, from the first to the archive.
    workfiles::Watch watch;
    errno = 0;
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book)
        return writerError(LXW_ERROR_MEMORY_MALLOC_FAILED, path, errno);

    Formats formats(book, workbook.formats());
    std::vector<lxw_worksheet*> sheets;
    lxw_error failed = LXW_NO_ERROR;
    for (int i = 0; i < workbook.sheetCount() && !failed; ++i) {
        const QByteArray name = workbook.sheet(i).name().toUtf8();
        lxw_error e = workbook_validate_sheet_name(book, name.constData());
        lxw_worksheet* ws = e ? nullptr : workbook_add_worksheet(book, name.constData());
        if (!ws)
            failed = e ? e : LXW_ERROR_MEMORY_MALLOC_FAILED;
        sheets.push_back(ws);
    }
    std::vector<int> lastRows;
    for (int i = 0; i < workbook.sheetCount() && !failed; ++i) {
        SheetWriter writer(sheets[size_t(i)], workbook.sheet(i), formats);
        failed = writer.write();
        lastRows.push_back(writer.lastRow());
    }
    if (!failed && workbook.activeSheet() < int(sheets.size()))
        worksheet_activate(sheets[size_t(workbook.activeSheet())]);

    errno = 0;
    // Closing writes the file and frees the workbook, also after a failure.
    const lxw_error closed = workbook_close(book);
    const int closeErrno = errno;
    // The library keeps the work file of a streamed sheet open after it closed the workbook:
    // every work file is the watch's own, and it closes those left.
    watch.closeLeft();
    if (failed)
        return writerError(failed, path, 0);
    if (closed)
        return writerError(closed, path, closeErrno);
    // A part is whole when every write of its work file went through; the archive, which the
    // library writes and checks itself, is then looked at without inflating anything.
    if (const int err = watch.failure())
        return incompleteFile(path,
                              makeError(QStringLiteral("un file di lavoro non è stato scritto: %1")
                                            .arg(describeSystemError(err))));
    // Work files the library made itself are not seen: each part is read back whole.
    Status whole = watch.files() > 0 ? checkZip(path) : checkXlsx(path, lastRows);
    if (!whole)
        return incompleteFile(path, whole.error());
    return {};
}

} // namespace sheets
