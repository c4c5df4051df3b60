#pragma once

#include "ColumnMap.h"
#include "ListRows.h"
#include "SheetData.h"

#include "base/Result.h"

#include <QString>

#include <optional>

class Database;

// What a list's price refers to. The program's prices are by the kilogram (a line's gross is
// cartons × the carton's weight × the price); a price by the piece or by the carton is turned
// into one with the carton's weight and the pieces a carton holds.
namespace pricelists {

enum class PriceUnit { Kilo, Piece, Carton };
inline constexpr int kPriceUnitCount = 3;

// As the window shows it: "€/kg", "€/pz", "€/cartone".
QString unitName(PriceUnit unit);

// The unit a price column's heading names ("Prezzo €/kg", "€/pz", "Prezzo al collo",
// "€/cartone"); none when it names none.
std::optional<PriceUnit> unitOfHeader(const QString& heading);

// The entries' prices by the kilogram: each price by the piece times the pieces of the
// row's carton (the mapping's column of the pieces), divided by the carton's weight (the list's,
// else the catalogue's), rounded to the cent half up, in whole numbers only. A row without what
// it needs is refused with the reason, as the rows read are.
Result<ListRows> perKilo(Database& db, const Sheet& sheet, const Mapping& mapping, ListRows rows,
                         PriceUnit unit);

} // namespace pricelists
