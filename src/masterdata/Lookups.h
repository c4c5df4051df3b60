#pragma once

#include "base/Result.h"

class QComboBox;
class Database;

// The lookup fills: each empties a combo's drop-down list and refills it from a query, so the
// user can pick a value already stored. The typed text of the combo stays as it was. Empty
// values (NULL) are left out.
namespace lookups {

// The distinct values of a column with few of them (towns, provinces) are read by hopping
// through the column's index from one value to the next: a few index seeks however many rows
// the table has.
#define GESTIONE_DISTINCT(col, table)                                                              \
    "WITH RECURSIVE v(x) AS (SELECT min(" col ") FROM " table " UNION ALL SELECT (SELECT "         \
    "min(" col ") FROM " table " WHERE " col " > v.x) FROM v WHERE v.x IS NOT NULL) "              \
    "SELECT x FROM v WHERE x IS NOT NULL ORDER BY x COLLATE ITALIANO;"

inline constexpr const char* kProvince = GESTIONE_DISTINCT("PROVINCIA", "CLIENTE");
inline constexpr const char* kCitta = GESTIONE_DISTINCT("CITTA", "CLIENTE");
inline constexpr const char* kProvinceOrdine = GESTIONE_DISTINCT("PR", "ORDINE");
inline constexpr const char* kCittaOrdine = GESTIONE_DISTINCT("CITTA", "ORDINE");
// Destinations are many: one pass over their index is quicker than a seek for each.
inline constexpr const char* kDestinazioni =
    "SELECT DISTINCT DEST FROM ORDINE WHERE DEST IS NOT NULL ORDER BY DEST COLLATE ITALIANO;";

#undef GESTIONE_DISTINCT

inline constexpr const char* kSoggetti =
    "SELECT SOGGETTO FROM CLIENTE ORDER BY SOGGETTO COLLATE ITALIANO;";
inline constexpr const char* kSceltaArticolo =
    "SELECT ARTICOLO FROM ARTICOLO ORDER BY ARTICOLO COLLATE ITALIANO;";
inline constexpr const char* kAnni = "SELECT ANNO FROM ANNO ORDER BY ANNO;";

// Makes the combo's list one that takes long lists quickly.
void prepare(QComboBox* combo);
// Refills the combo's list from the first column of the query. On a failure the list keeps
// the rows read before it, and the error is returned. A list that holds what the query would
// read (its tables unchanged since the last fill) is kept as it is.
Status fill(QComboBox* combo, Database& db, const char* sql);

} // namespace lookups
