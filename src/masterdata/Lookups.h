#pragma once

#include "data/Result.h"

class QComboBox;
class Database;

// The lookup fills: each empties a combo's drop-down list and refills it from a query, so the
// user can pick a value already stored. The typed text of the combo stays as it was. Empty
// values (NULL) are left out.
namespace lookups {

inline constexpr const char* kProvince =
    "SELECT DISTINCT PROVINCIA FROM CLIENTE ORDER BY PROVINCIA COLLATE ITALIANO;";
inline constexpr const char* kCitta =
    "SELECT DISTINCT CITTA FROM CLIENTE ORDER BY CITTA COLLATE ITALIANO;";
inline constexpr const char* kProvinceOrdine =
    "SELECT DISTINCT PR FROM ORDINE ORDER BY PR COLLATE ITALIANO;";
inline constexpr const char* kCittaOrdine =
    "SELECT DISTINCT CITTA FROM ORDINE ORDER BY CITTA COLLATE ITALIANO;";
inline constexpr const char* kDestinazioni =
    "SELECT DISTINCT DEST FROM ORDINE ORDER BY DEST COLLATE ITALIANO;";
inline constexpr const char* kSoggetti =
    "SELECT SOGGETTO FROM CLIENTE ORDER BY SOGGETTO COLLATE ITALIANO;";
inline constexpr const char* kSceltaArticolo =
    "SELECT ARTICOLO FROM ARTICOLO ORDER BY ARTICOLO COLLATE ITALIANO;";
inline constexpr const char* kAnni = "SELECT ANNO FROM ANNO ORDER BY ANNO;";

// Makes the combo's list one that takes long lists quickly.
void prepare(QComboBox* combo);
// Refills the combo's list from the first column of the query. On a failure the list keeps
// the rows read before it, and the error is returned.
Status fill(QComboBox* combo, Database& db, const char* sql);

} // namespace lookups
