#include "Principals.h"

#include "MailHeaders.h"
#include "data/Database.h"
#include "data/Statement.h"

#include <QStringList>

namespace mail::principals {
namespace {

constexpr const char* kList =
    "SELECT ID, NOME, EMAIL FROM MANDANTE ORDER BY NOME COLLATE NOCASE, ID;";
constexpr const char* kOne = "SELECT NOME FROM MANDANTE WHERE ID = ?1;";
constexpr const char* kInsert = "INSERT INTO MANDANTE (NOME, EMAIL) VALUES (?1, ?2);";
constexpr const char* kUpdate = "UPDATE MANDANTE SET NOME = ?1, EMAIL = ?2 WHERE ID = ?3;";
constexpr const char* kDelete = "DELETE FROM MANDANTE WHERE ID = ?1;";
constexpr const char* kLists = "SELECT COUNT(*) FROM LISTINO WHERE ID_MANDANTE = ?1;";
constexpr const char* kOrders =
    "SELECT COUNT(*) FROM (SELECT DISTINCT ORDINE.ANNO, ORDINE.NR FROM ORDINE "
    "WHERE ORDINE.CODICE IN (SELECT CODICE FROM PREZZO_LISTINO WHERE ID_MANDANTE = ?1));";

// The first column of the first row for that id, as text; empty when there is no row.
Result<QString> first(Database& db, const char* sql, std::int64_t id) {
    auto st = db.prepare(sql);
    if (!st)
        return st.error();
    st->bind(1, id);
    return st->firstText();
}

} // namespace

Result<QList<Principal>> list(Database& db) {
    auto st = db.prepare(kList);
    if (!st)
        return st.error();
    QList<Principal> out;
    while (st->next())
        out.append({st->int64(0), st->text(1), st->text(2)});
    if (Status s = st->status(); !s)
        return s.error();
    return out;
}

Status check(const Principal& p) {
    if (p.name.trimmed().isEmpty())
        return makeError(QStringLiteral("Il nome della mandante deve essere compilato."));
    if (Status s = headers::checkField(QStringLiteral("Nome"), p.name); !s)
        return makeError(QStringLiteral("Il nome della mandante contiene un a capo o un "
                                        "carattere di controllo."));
    if (Status s = headers::checkField(QStringLiteral("E-mail"), p.email); !s)
        return makeError(QStringLiteral("L'indirizzo e-mail della mandante contiene un a capo o "
                                        "un carattere di controllo."));
    if (!p.email.isEmpty() && !headers::isAddress(p.email))
        return makeError(QStringLiteral("L'indirizzo e-mail \"%1\" non è valido.").arg(p.email));
    return {};
}

Result<std::int64_t> save(Database& db, const Principal& given) {
    Principal p = given;
    p.name = p.name.trimmed();
    p.email = p.email.trimmed();
    if (Status s = check(p); !s)
        return s.error();
    std::int64_t id = p.id;
    Status written = db.write([&]() -> Status {
        if (p.id != 0) {
            auto exists = first(db, kOne, p.id);
            if (!exists)
                return exists.error();
            if (exists->isEmpty())
                return makeError(QStringLiteral("La mandante \"%1\" non c'è più: è stata "
                                                "eliminata nel frattempo.")
                                     .arg(p.name));
        }
        // The engine folds the case of ASCII letters only: "SOCIETÀ" and "Società" are one
        // name to the user, so the names are compared here.
        auto all = list(db);
        if (!all)
            return all.error();
        for (const Principal& other : *all)
            if (other.id != p.id && other.name.trimmed().compare(p.name, Qt::CaseInsensitive) == 0)
                return makeError(
                    QStringLiteral("Esiste già una mandante di nome \"%1\".").arg(other.name));
        auto st = p.id == 0 ? db.prepare(kInsert) : db.prepare(kUpdate);
        if (!st)
            return st.error();
        st->bind(1, p.name).bindTextOrNull(2, p.email);
        if (p.id != 0)
            st->bind(3, p.id);
        if (Status s = st->run(); !s)
            return s;
        if (p.id == 0)
            id = db.lastInsertId();
        return {};
    });
    if (!written)
        return written.error();
    return id;
}

Status remove(Database& db, std::int64_t id) {
    return db.write([&]() -> Status {
        auto name = first(db, kOne, id);
        if (!name)
            return name.error();
        if (name->isEmpty())
            return makeError(QStringLiteral("La mandante non c'è più: è stata eliminata nel "
                                            "frattempo."));
        auto lists = first(db, kLists, id);
        if (!lists)
            return lists.error();
        auto orders = first(db, kOrders, id);
        if (!orders)
            return orders.error();
        const int nLists = lists->toInt();
        const int nOrders = orders->toInt();
        if (nLists > 0 || nOrders > 0) {
            QStringList why;
            if (nLists > 0)
                why << (nLists == 1 ? QStringLiteral("ha un listino importato")
                                    : QStringLiteral("ha %1 listini importati").arg(nLists));
            if (nOrders > 0)
                why << (nOrders == 1
                            ? QStringLiteral("i suoi articoli sono in un ordine")
                            : QStringLiteral("i suoi articoli sono in %1 ordini").arg(nOrders));
            return makeError(QStringLiteral("La mandante \"%1\" non si può eliminare: %2.")
                                 .arg(*name, why.join(QStringLiteral(" e "))));
        }
        auto st = db.prepare(kDelete);
        if (!st)
            return st.error();
        st->bind(1, id);
        return st->run();
    });
}

} // namespace mail::principals
