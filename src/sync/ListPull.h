#pragma once

#include "base/Result.h"

class Database;

namespace pg {
class Rows;
}

// The office's price lists and their prices, as the server gives them, kept in the file's own
// LISTINO and PREZZO_LISTINO beside the agent's own lists. Each server row is tied to the row it
// became here (SYNC_LISTINO, SYNC_PREZZO), so that a change at the office changes that row and a
// list withdrawn at the office goes here too, its prices with it.
namespace listpull {

// The server's columns, in this order.
inline constexpr const char* kListColumns =
    "id, mandante, file, valido_dal, importato_il, cancellato";
inline constexpr const char* kPriceColumns =
    "id, codice, mandante, prezzo, valido_dal, id_listino, cancellato";
// Their kinds, as pg::Shape takes them.
inline constexpr const char* kListShape = "ittttb";
inline constexpr const char* kPriceShape = "ittntib";

// Inside the pull's transaction of the file; lists before prices.
Status applyLists(Database& db, const pg::Rows& rows);
Status applyPrices(Database& db, const pg::Rows& rows);

} // namespace listpull
