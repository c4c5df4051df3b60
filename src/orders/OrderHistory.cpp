#include "OrderHistory.h"

#include "data/Database.h"

namespace orderhistory {

Result<std::optional<LastPrice>> lastPrice(Database& db, const QString& customerCode,
                                           const QString& articleCode, const QString& description) {
    // The customer's lines, through ORDINE_ID_CL: a few dozen however large the file.
    const bool byCode = !articleCode.isEmpty();
    auto st = byCode ? db.prepare("SELECT PREZZO, ANNO, NR, DATAO FROM ORDINE WHERE ID_CL = ?1 "
                                  "AND CODICE = ?2 AND PREZZO IS NOT NULL "
                                  "ORDER BY DATAO DESC, ID DESC LIMIT 1;")
                     : db.prepare("SELECT PREZZO, ANNO, NR, DATAO FROM ORDINE WHERE ID_CL = ?1 "
                                  "AND ARTICOLO = ?2 COLLATE ITALIANO AND PREZZO IS NOT NULL "
                                  "ORDER BY DATAO DESC, ID DESC LIMIT 1;");
    if (!st)
        return st.error();
    st->bind(1, customerCode).bind(2, byCode ? articleCode : description);
    if (!st->next()) {
        if (!st->status())
            return st->status().error();
        return std::optional<LastPrice>();
    }
    LastPrice p;
    p.price = st->real(0);
    p.year = st->text(1);
    p.number = st->text(2);
    p.orderDate = st->isNull(3) ? QString() : st->text(3);
    return std::optional<LastPrice>(p);
}

} // namespace orderhistory
