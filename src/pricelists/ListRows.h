#pragma once

#include "ColumnMap.h"
#include "DecimalMark.h"
#include "SheetData.h"

#include <QString>

#include <optional>
#include <vector>

// The rows of a price list under its header, read as articles with their price; each row that
// cannot be read is refused with its number, column, text and reason, never guessed. A code on
// several rows gives an entry for each: which one counts is chosen in the preview.
namespace pricelists {

struct Entry {
    int row = 0; // as the spreadsheet numbers it, from 1
    QString code;
    QString description;
    QString format;
    std::optional<double> weight;
    double price = 0; // per kilogram
    // How the price came from the list's, when it was given otherwise ("93,52 €/pz × 2 pezzi /
    // 6 kg"); empty for a price per kilogram.
    QString priceFrom;
};

struct Refused {
    int row = 0;
    QString column;
    QString text;
    QString reason;
};

struct ListRows {
    std::vector<Entry> entries;
    std::vector<Refused> refused;
    // How the prices given as texts were read; whether the file shows that mark (or the agent
    // chose it) rather than its field separator suggesting it; whether any number is a text.
    DecimalMark mark = DecimalMark::Comma;
    bool markShown = true;
    bool numberTexts = false;
};

// The longest code the catalogue holds.
inline constexpr int kMaxCode = 13;

// The numbers given as texts are read with the decimal mark `chosen`, else with the one the
// file shows for each number column (see DecimalMark.h); where the file does not show it, a
// number that reads either way refuses its row.
ListRows readRows(const Sheet& sheet, const Mapping& mapping,
                  std::optional<DecimalMark> chosen = std::nullopt);

// A number as a list gives it: a number cell, or a text with the Italian forms ("1.234,50",
// "12,5 €", "€ 3"). No value for anything else.
std::optional<double> listNumber(const Cell& cell);

} // namespace pricelists
