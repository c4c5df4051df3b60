#pragma once

#include "SheetData.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// Where the list's header row is and which column holds what, found by the columns' names
// (any case, accents and blanks aside) and shown to the agent to confirm or change.
namespace pricelists {

// Pieces: how many pieces a carton holds, for a price given by the piece.
enum class Field { Code, Description, Format, Weight, Price, Pieces };
inline constexpr int kFieldCount = 6;

// The field's name as the window and the messages show it.
QString fieldName(Field f);

struct Mapping {
    // The header row (0-based); none when no row names a code and a price.
    int headerRow = -1;
    std::array<int, kFieldCount> column{-1, -1, -1, -1, -1, -1};

    int& operator[](Field f) { return column[std::size_t(f)]; }
    int operator[](Field f) const { return column[std::size_t(f)]; }
    bool usable() const {
        return headerRow >= 0 && (*this)[Field::Code] >= 0 && (*this)[Field::Price] >= 0;
    }
};

// Lower case, no accents, no blanks or punctuation: "Cod. Art." gives "codart".
QString normalisedName(const QString& text);
std::optional<Field> fieldOfHeader(const QString& text);

// The header row: the first of the first rows where a column names a code and another a
// price. `remembered` (header texts by field, from an earlier list of the same principal) wins
// over the names' rules where it matches.
Mapping findMapping(const Sheet& sheet, const QStringList& remembered = {});

// The texts of the header row's cells, by column.
QStringList headerTexts(const Sheet& sheet, int row);
// The mapping as header texts by field, to be remembered; and the inverse.
QStringList rememberedTexts(const Sheet& sheet, const Mapping& mapping);

// A date the rows above the header give for the list ("Valido dal 01/02/2027", or a date cell
// beside such words), a date cell held as a serial number included.
std::optional<QDate> validFromAbove(const Sheet& sheet, int headerRow);

// A date cell's serial number (days from 30/12/1899) as a date.
std::optional<QDate> serialDate(double serial);

} // namespace pricelists
