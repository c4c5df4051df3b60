#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>

class Database;

// What the principals, the preview, the applying and the look-ups of price lists share; for the
// price-list folder's own files.
namespace pricelists::detail {

// A price in the list's words: two decimals, the thousands marked.
QString priceText(double p);
// The principal of that name, made when there is none; the caller holds the transaction.
Result<std::int64_t> findOrMakePrincipal(Database& db, const QString& name, bool make);

} // namespace pricelists::detail
