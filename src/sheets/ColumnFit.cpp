#include "ColumnFit.h"
#include "NumberFormat.h"

#include "Workbook.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace sheets::fit {
namespace {

// Advance widths of the printable ASCII characters, in thousandths of the font size.
const short kRegular[95] = {
    278, 278, 355, 556, 556, 889, 667,  191, 333, 333, 389, 584, 278, 333, 278, 278, // space../
    556, 556, 556, 556, 556, 556, 556,  556, 556, 556,                               // 0..9
    278, 278, 584, 584, 584, 556, 1015,                                              // :..@
    667, 667, 722, 722, 667, 611, 778,  722, 278, 500, 667, 556, 833,                // A..M
    722, 778, 667, 778, 722, 667, 611,  722, 667, 944, 667, 667, 611,                // N..Z
    278, 278, 278, 469, 556, 333,                                                    // [..`
    556, 556, 500, 556, 556, 278, 556,  556, 222, 222, 500, 222, 833,                // a..m
    556, 556, 556, 556, 333, 500, 278,  556, 500, 722, 500, 500, 500,                // n..z
    334, 260, 334, 584};                                                             // {..~
const short kBold[95] = {
    278, 333, 474, 556, 556, 889, 722, 238, 333, 333, 389, 584, 278, 333, 278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 333, 333, 584, 584, 584, 611, 975, 722, 722, 722, 722, 667,
    611, 778, 722, 278, 556, 722, 611, 833, 722, 778, 667, 778, 722, 667, 611, 722, 667, 944, 667,
    667, 611, 333, 278, 333, 584, 556, 333, 556, 611, 556, 611, 556, 333, 611, 611, 278, 278, 556,
    278, 889, 611, 611, 611, 611, 389, 556, 333, 611, 556, 778, 556, 556, 500, 389, 280, 389, 584};

// The default font (Calibri) is about a tenth narrower than Arial.
constexpr double kDefaultFontScale = 0.9;
// Pixels of a point at 96 dpi.
constexpr double kPxPerPoint = 96.0 / 72.0;
// The default font's digit is 7 pixels wide: the unit of column widths.
constexpr double kDigitPx = 7.0;
// Room the application leaves around the text of a fitted column.
constexpr double kPaddingPx = 5.0;

// The width of one code point, in thousandths of the font size. Letters beyond ASCII (the
// accented letters of Italian names above all) take the width of their base letter's class.
int charWidth(char32_t cp, bool bold) {
    const short* table = bold ? kBold : kRegular;
    if (cp >= 32 && cp < 127)
        return table[cp - 32];
    if (cp == 0x20AC) // €
        return 556;
    if (cp >= 0xC0 && cp <= 0xDE) // upper-case Latin-1 letters
        return bold ? 722 : 700;
    if (cp >= 0xDF && cp <= 0xFF)
        return bold ? 611 : 556;
    if (cp == 0xB0) // °
        return 400;
    return bold ? 611 : 584;
}

// Decodes the next code point; a broken sequence counts as one character.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = c & (0x3F >> extra);
    while (extra-- > 0 && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

double scaleOf(const Format& f) {
    const double family = f.fontName.empty() || f.fontName == "Calibri" ? kDefaultFontScale : 1.0;
    return family * f.fontSize * kPxPerPoint / 1000.0;
}

// Widest piece of the text between separators (line breaks; with words, blanks too).
double widestPiece(std::string_view utf8, const Format& f, bool words) {
    long widest = 0;
    long current = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp == '\n' || cp == '\r' || (words && cp == ' ')) {
            widest = std::max(widest, current);
            current = 0;
            continue;
        }
        current += charWidth(cp, f.bold);
    }
    return double(std::max(widest, current)) * scaleOf(f);
}

} // namespace

double textWidthPx(std::string_view utf8, const Format& format) {
    return widestPiece(utf8, format, false);
}

double longestWordPx(std::string_view utf8, const Format& format) {
    return widestPiece(utf8, format, true);
}

std::string numberText(double value, const std::string& numberFormat) {
    // Room for the widest fixed text of a double (309 digits and the decimals).
    char buf[400];
    int decimals = -1;
    if (numberFormat == "0")
        decimals = 0;
    else if (numberFormat == "0.0")
        decimals = 1;
    else if (numberFormat == "0.00")
        decimals = 2;
    else if (!numberFormat.empty() && numberFormat != "General")
        // Grouping, optional decimals, texts and sections: the text the page shows.
        return formatNumber(value, numberFormat).toStdString();
    // The same texts as printf's "%.*f" and "%.10g", without the cost of a format string for
    // each of the hundreds of thousands of cells an export measures.
    const auto r =
        decimals >= 0
            ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals)
            // "General" shows up to about ten significant digits.
            : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 10);
    if (r.ec != std::errc())
        return std::string();
    return std::string(buf, r.ptr);
}

double cellWidthPx(const Value& value, const Format& format) {
    switch (value.kind) {
    case Value::Kind::Empty:
        return 0;
    case Value::Kind::Text:
        // A wrapping cell may break its text at any blank, but not join the lines its own
        // breaks make: the longest of those is the room it needs.
        return format.wrap && value.text.find('\n') == std::string::npos
                   ? longestWordPx(value.text, format)
                   : textWidthPx(value.text, format);
    case Value::Kind::Number:
    case Value::Kind::Formula:
        return textWidthPx(numberText(value.number, format.numberFormat), format);
    case Value::Kind::Date:
        // The short date form: dd/mm/yyyy.
        return textWidthPx("00/00/0000", format);
    }
    return 0;
}

double charsForPx(double px) {
    if (px <= 0)
        return 0;
    return std::ceil((px + kPaddingPx) / kDigitPx * 100.0) / 100.0;
}

double columnPx(std::optional<double> chars) {
    // A column of w characters is w digits and the padding wide.
    const double w = chars ? *chars : 8.43;
    return std::floor(w * kDigitPx + 0.5) + kPaddingPx;
}

double usablePx(std::optional<double> chars) {
    // The cell keeps two pixels clear on each side of its text.
    return columnPx(chars) - 4;
}

double lineHeightPt(const Format& format) {
    const bool defaultFamily = format.fontName.empty() || format.fontName == "Calibri";
    const double h = format.fontSize * (defaultFamily ? 1.3636 : 1.275);
    // Row heights go in steps of three quarters of a point (one pixel at 96 dpi).
    return std::ceil(h / 0.75 - 1e-9) * 0.75;
}

double textHeightPt(std::string_view utf8, const Format& format, double usable) {
    const double scale = scaleOf(format);
    const double space = charWidth(' ', format.bold) * scale;
    int lines = 1;
    double line = 0;   // width of the current line
    double word = 0;   // width of the word being read
    double blanks = 0; // blanks between the line and the word
    bool lineHasText = false;
    auto endWord = [&]() {
        if (word == 0)
            return;
        if (format.wrap && lineHasText && line + blanks + word > usable) {
            ++lines;
            line = 0;
            lineHasText = false;
            blanks = 0;
        }
        if (format.wrap && word > usable && usable > 0) {
            // A word wider than the column is broken inside.
            const int parts = int(std::ceil(word / usable));
            lines += parts - 1;
            line = word - (parts - 1) * usable;
        } else {
            line += blanks + word;
        }
        lineHasText = true;
        blanks = 0;
        word = 0;
    };
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, i);
        if (cp == '\n') {
            endWord();
            // A line break starts a new line only in a cell that wraps; elsewhere the text
            // stays on one line.
            if (format.wrap) {
                ++lines;
                line = 0;
                blanks = 0;
                lineHasText = false;
            }
            continue;
        }
        if (cp == ' ') {
            endWord();
            blanks += space;
            continue;
        }
        if (cp != '\r')
            word += charWidth(cp, format.bold) * scale;
    }
    endWord();
    return lines * lineHeightPt(format);
}

double rowTextHeightPt(const Sheet& sheet, int r) {
    double h = 0;
    if (r < 0 || r >= int(sheet.rows().size()))
        return h;
    const auto& cells = sheet.rows()[size_t(r)];
    for (size_t c = 0; c < cells.size(); ++c) {
        const Cell& cell = cells[c];
        if (!cell.present || cell.value.empty() || sheet.mergeAt(r, int(c)))
            continue;
        const Format& f = sheet.formats().at(cell.format);
        if (cell.value.kind == Value::Kind::Text && f.wrap)
            h = std::max(h, textHeightPt(cell.value.text, f, usablePx(sheet.columnWidth(int(c)))));
        else
            h = std::max(h, lineHeightPt(f));
    }
    return h;
}

} // namespace sheets::fit
