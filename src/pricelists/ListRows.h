#pragma once

#include "ColumnMap.h"
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
};

// The longest code the catalogue holds.
inline constexpr int kMaxCode = 13;

ListRows readRows(const Sheet& sheet, const Mapping& mapping);

// A number as a list gives it: a number cell, or a text with the Italian forms ("1.234,50",
// "12,5 €", "€ 3"). No value for anything else.
std::optional<double> listNumber(const Cell& cell);

} // namespace pricelists
