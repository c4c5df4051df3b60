#include "PriceListStore.h"

#include "data/Database.h"

#include <QSet>

namespace pricelists {
namespace {

// What the list left in one article, and whether the article still holds it.
struct Touched {
    std::int64_t record = 0;
    std::int64_t article = 0;
    bool added = false;
    // The fields the list changed; none for a record of an earlier version, which kept the
    // earlier values only.
    std::optional<int> fields;
    bool present = false;
    QString code;
    QString description;
    // The fields still as the list left them, by kDescriptionField..., and the date.
    int same = 0;
    bool sameDate = false;
};

constexpr int kDateRestored = 8;

// The names of the fields, for the box.
QString fieldNames(int fields) {
    QStringList names;
    if (fields & kDescriptionField)
        names << QStringLiteral("descrizione");
    if (fields & kFormatField)
        names << QStringLiteral("formato");
    if (fields & kWeightField)
        names << QStringLiteral("peso");
    return names.join(QStringLiteral(", "));
}

Result<std::vector<Touched>> touched(Database& db, std::int64_t list) {
    // Text fields compare NULL and empty alike. The values after are those the list wrote (for
    // an article it added, those recorded), so an equal one was not changed since.
    Result<Statement> st = db.prepare(
        "SELECT M.ID, M.ID_ARTICOLO, M.NUOVO, M.CAMPI, A.ID IS NOT NULL, A.CODICE, A.ARTICOLO,"
        " COALESCE(A.ARTICOLO, '') ="
        " COALESCE(CASE WHEN M.NUOVO THEN M.ARTICOLO ELSE M.DOPO_ARTICOLO END, ''),"
        " COALESCE(A.FORMATO, '') ="
        " COALESCE(CASE WHEN M.NUOVO THEN M.FORMATO ELSE M.DOPO_FORMATO END, ''),"
        " A.PESO IS CASE WHEN M.NUOVO THEN M.PESO ELSE M.DOPO_PESO END,"
        " A.AGG IS CASE WHEN M.NUOVO THEN M.AGG ELSE COALESCE(M.DOPO_AGG, L.VALIDO_DAL) END"
        " FROM LISTINO_MODIFICA M LEFT JOIN ARTICOLO A ON A.ID = M.ID_ARTICOLO"
        " LEFT JOIN LISTINO L ON L.ID = M.ID_LISTINO"
        " WHERE M.ID_LISTINO = ?1 ORDER BY M.ID;");
    if (!st)
        return st.error();
    st->bind(1, list);
    std::vector<Touched> out;
    while (st->next()) {
        Touched t;
        t.record = st->int64(0);
        t.article = st->int64(1);
        t.added = st->int64(2) != 0;
        if (!st->isNull(3))
            t.fields = int(st->int64(3)) & kAllFields;
        t.present = st->int64(4) != 0;
        t.code = st->text(5);
        t.description = st->text(6);
        t.same = (st->int64(7) ? kDescriptionField : 0) | (st->int64(8) ? kFormatField : 0) |
                 (st->int64(9) ? kWeightField : 0);
        t.sameDate = st->int64(10) != 0;
        out.push_back(std::move(t));
    }
    if (!st->status())
        return st->status().error();
    return out;
}

// The records of the articles the list added that an order line names.
Result<QSet<std::int64_t>> onOrders(Database& db, std::int64_t list) {
    Result<Statement> st = db.prepare(
        "SELECT DISTINCT M.ID FROM LISTINO_MODIFICA M JOIN ARTICOLO A ON A.ID = M.ID_ARTICOLO"
        " JOIN ORDINE O ON O.CODICE = A.CODICE WHERE M.ID_LISTINO = ?1 AND M.NUOVO = 1;");
    if (!st)
        return st.error();
    st->bind(1, list);
    QSet<std::int64_t> out;
    while (st->next())
        out.insert(st->int64(0));
    if (!st->status())
        return st->status().error();
    return out;
}

QString named(const Touched& t, const QString& why) {
    return QStringLiteral("«%1» %2: %3").arg(t.code, t.description, why);
}

} // namespace

Result<Undone> undoLast(Database& db) {
    Undone out;
    {
        // The lists taken from the agency's server are the office's: a sync takes them back.
        Result<Statement> st = db.prepare("SELECT ID, FILE FROM LISTINO WHERE ID NOT IN (SELECT"
                                          " ID FROM SYNC_LISTINO) ORDER BY ID DESC LIMIT 1;");
        if (!st)
            return st.error();
        if (!st->next()) {
            if (!st->status())
                return st->status().error();
            return makeError(QStringLiteral("Non c'è alcun listino da annullare."));
        }
        out.list = st->int64(0);
        out.file = st->text(1);
    }
    Status s = db.write([&]() -> Status {
        Result<std::vector<Touched>> all = touched(db, out.list);
        if (!all)
            return all.error();
        Result<QSet<std::int64_t>> ordered = onOrders(db, out.list);
        if (!ordered)
            return ordered.error();
        Result<Statement> gone = db.prepare("DELETE FROM ARTICOLO WHERE ID = ?1;");
        // Each field put back from the record as it was, NULL and type included.
        Result<Statement> back =
            db.prepare("UPDATE ARTICOLO SET (ARTICOLO, FORMATO, PESO, AGG) = (SELECT"
                       " CASE WHEN ?2 & 1 THEN M.ARTICOLO ELSE ARTICOLO.ARTICOLO END,"
                       " CASE WHEN ?2 & 2 THEN M.FORMATO ELSE ARTICOLO.FORMATO END,"
                       " CASE WHEN ?2 & 4 THEN M.PESO ELSE ARTICOLO.PESO END,"
                       " CASE WHEN ?2 & 8 THEN M.AGG ELSE ARTICOLO.AGG END"
                       " FROM LISTINO_MODIFICA M WHERE M.ID = ?1) WHERE ID = ?3;");
        for (Result<Statement>* st : {&gone, &back})
            if (!*st)
                return st->error();
        for (const Touched& t : *all) {
            if (!t.present)
                continue; // deleted since: nothing to take back
            if (t.added) {
                // Still as the list made it: its fields and date as recorded.
                const bool unchanged = t.same == kAllFields && t.sameDate;
                if (ordered->contains(t.record)) {
                    out.kept << named(t, QStringLiteral("aggiunto dal listino, è usato in "
                                                        "ordini"));
                } else if (!unchanged) {
                    out.kept << named(t, QStringLiteral("aggiunto dal listino, è stato cambiato "
                                                        "dopo"));
                } else {
                    gone->reset();
                    gone->bind(1, t.article);
                    if (Status r = gone->run(); !r)
                        return r;
                    out.removed += db.changes();
                }
                continue;
            }
            int restore = 0;
            if (t.fields) {
                restore = *t.fields & t.same;
                if (const int changed = *t.fields & ~t.same)
                    out.kept << named(
                        t,
                        QStringLiteral("cambiato dopo il listino (%1)").arg(fieldNames(changed)));
                else if (t.sameDate)
                    restore |= kDateRestored;
            } else if (t.sameDate) {
                restore = kAllFields | kDateRestored;
            } else {
                out.kept << named(t, QStringLiteral("cambiato dopo il listino"));
            }
            if (restore == 0)
                continue;
            back->reset();
            back->bind(1, t.record).bind(2, restore).bind(3, t.article);
            if (Status r = back->run(); !r)
                return r;
            out.restored += db.changes();
        }
        int step = 0;
        for (const char* sql : {"DELETE FROM PREZZO_LISTINO WHERE ID_LISTINO = ?1;",
                                "DELETE FROM LISTINO_MODIFICA WHERE ID_LISTINO = ?1;",
                                "DELETE FROM LISTINO WHERE ID = ?1;"}) {
            Result<Statement> st = db.prepare(sql);
            if (!st)
                return st.error();
            st->bind(1, out.list);
            if (Status r = st->run(); !r)
                return r;
            if (step++ == 0) // the prices
                out.prices = db.changes();
        }
        return {};
    });
    if (!s)
        return s.error();
    return out;
}

} // namespace pricelists
