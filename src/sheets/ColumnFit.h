#pragma once

#include "CellFormat.h"
#include "CellValue.h"

#include <optional>
#include <string>
#include <string_view>

// Column widths fitted to the content, as the spreadsheet application's AutoFit gives them. The
// installed writer cannot fit columns, so the width is computed here from the text that a cell
// shows and the metrics of its font: Arial (with Helvetica's widths, which it shares) or the
// workbook's default font, a little narrower. The result is close to what the application would
// choose; it only has to show the content without cutting it.
namespace sheets {
class Sheet;
}

namespace sheets::fit {

// The width in pixels (at 96 dpi) of a text in a font, for its longest line.
double textWidthPx(std::string_view utf8, const Format& format);
// The same for a cell that wraps its text: only the longest word must fit.
double longestWordPx(std::string_view utf8, const Format& format);
// What a number shows under a number format (as far as its width goes).
std::string numberText(double value, const std::string& numberFormat);
// The width the cell needs; 0 for an empty cell.
double cellWidthPx(const Value& value, const Format& format);
// The column width, in characters of the default font, that shows px pixels of content.
double charsForPx(double px);
// The pixels a column of that width (in characters; none: the default) takes, and those it
// offers its cells' text.
double columnPx(std::optional<double> chars);
double usablePx(std::optional<double> chars);

// The height of a row of the workbook's default font, in points.
inline constexpr double kDefaultRowHeight = 15.0;
// The height of one line of text in a font, in points, as the application gives a row.
double lineHeightPt(const Format& format);
// The height a cell's text needs in a column offering usablePx pixels: one line per line of the
// text, more where a wrapping cell breaks its words over several lines.
double textHeightPt(std::string_view utf8, const Format& format, double usablePx);
// The height the tallest text of the sheet's row r needs, in points; 0 for a row without text.
// Merged cells are left out.
double rowTextHeightPt(const Sheet& sheet, int r);

} // namespace sheets::fit
