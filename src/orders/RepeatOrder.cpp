#include "RepeatOrder.h"

#include "Numbering.h"
#include "data/Database.h"
#include "text/ItalianText.h"

namespace repeatorder {

Result<Refusal> repeat(Database& db, const QString& year, const QString& number, const QDate& today,
                       Repeated* made) {
    Repeated r;
    r.year = QString::number(today.year());
    auto result = guardedWrite(
        db,
        [&]() -> Result<Refusal> {
            auto st = db.prepare("SELECT 1 FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 LIMIT 1;");
            if (!st)
                return st.error();
            st->bind(1, year).bind(2, number);
            if (st->next())
                return Refusal();
            if (!st->status())
                return st->status().error();
            return Refusal(QStringLiteral("L'ordine %1 del %2 non ha righe: non c'è nulla da "
                                          "ripetere.")
                               .arg(itext::shortened(number), itext::shortened(year)));
        },
        [&]() -> Status {
            // Numbered inside the transaction that stores it: the number is the one used.
            auto next = numbering::nextOrderNumber(db, r.year);
            if (!next)
                return next.error();
            r.number = QString::number(*next);
            auto st = db.prepare(
                "INSERT INTO ORDINE (ID_CL, ANNO, NR, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, "
                "CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE) "
                "SELECT H.ID_CL, ?3, ?4, ?5, NULL, H.DEST, H.CITTA, H.PR, L.ARTICOLO, L.CODICE, "
                "L.FORMATO, L.PESO, L.QVENDITA, L.QOMAGGIO, L.PREZZO, L.SCONTO, L.NOTE "
                "FROM ORDINE AS L, (SELECT ID_CL, DEST, CITTA, PR FROM ORDINE WHERE ANNO = ?1 "
                "AND NR = ?2 ORDER BY ID DESC LIMIT 1) AS H "
                "WHERE L.ANNO = ?1 AND L.NR = ?2 ORDER BY L.ID;");
            if (!st)
                return st.error();
            st->bind(1, year)
                .bind(2, number)
                .bind(3, r.year)
                .bind(4, r.number)
                .bind(5, itext::isoDate(today));
            if (Status s = st->run(); !s)
                return s;
            r.lines = db.changes();
            return {};
        });
    if (result && !*result && made)
        *made = r;
    return result;
}

} // namespace repeatorder
