#pragma once

#include <QStringView>

// The decimal mark of the numbers a list gives as texts. Italian lists write "1.234,50"; a list
// saved by an English spreadsheet writes "1,234.50". What a text shows: "12,90" and "0,990" can
// only be decimals after a comma, "1.234.567" or "1.234,50" only thousands before one; "1.250"
// alone may be either.
namespace pricelists {

enum class DecimalMark { Comma, Point };

enum class MarkEvidence { None, Comma, Point, Ambiguous };

// What the mark of `number` (a number's text, its currency and blanks taken away) must be.
MarkEvidence evidenceOf(QStringView number);

} // namespace pricelists
