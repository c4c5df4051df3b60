#pragma once

#include <QString>

#include <string_view>

// What a number shows under one of the spreadsheet's number formats ("#,##0.00", "0.0#",
// "+0.0\" %\";-0.0\" %\";0.0\" %\"", "General"), in the Italian forms whatever the locale: a
// decimal comma and a full stop between thousands. The sections for negative numbers and for
// zero, quoted and escaped texts, '%' and the optional decimals of '#' are taken as the
// application takes them; colours and conditions in brackets are passed over. Dates are shown
// by their own form, not here.
namespace sheets {

QString formatNumber(double value, std::string_view numberFormat);

} // namespace sheets
