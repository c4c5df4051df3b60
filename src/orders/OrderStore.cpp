#include "OrderStore.h"

#include "OrderMessages.h"
#include "data/Database.h"

namespace orderstore {
namespace {

QString textOrEmpty(const Statement& st, int column) {
    return st.isNull(column) ? QString() : st.text(column);
}

// Runs one write statement in a transaction and tells how many rows it changed.
template <class Bind> Result<int> changeRows(Database& db, const char* sql, Bind&& bind) {
    int changed = 0;
    Status s = db.write([&]() -> Status {
        auto st = db.prepare(sql);
        if (!st)
            return st.error();
        bind(*st);
        if (Status r = st->run(); !r)
            return r;
        changed = db.changes();
        return {};
    });
    if (!s)
        return s.error();
    return changed;
}

} // namespace

Result<std::vector<Customer>> customersNamed(Database& db, const QString& name) {
    auto st = db.prepare("SELECT CODICE, PROVINCIA FROM CLIENTE WHERE SOGGETTO = ?1 COLLATE "
                         "ITALIANO ORDER BY ID;");
    if (!st)
        return st.error();
    st->bind(1, name);
    std::vector<Customer> found;
    while (st->next())
        found.push_back({textOrEmpty(*st, 0), textOrEmpty(*st, 1)});
    if (!st->status())
        return st->status().error();
    return found;
}

Result<std::vector<Article>> articlesNamed(Database& db, const QString& description) {
    auto st = db.prepare("SELECT CODICE, FORMATO, PESO FROM ARTICOLO WHERE ARTICOLO = ?1 "
                         "COLLATE ITALIANO ORDER BY ID;");
    if (!st)
        return st.error();
    st->bind(1, description);
    std::vector<Article> found;
    while (st->next()) {
        Article a{textOrEmpty(*st, 0), textOrEmpty(*st, 1), std::nullopt};
        if (!st->isNull(2))
            a.weight = st->real(2);
        found.push_back(std::move(a));
    }
    if (!st->status())
        return st->status().error();
    return found;
}

Result<Refusal> checkNumber(Database& db, const Header& h) {
    // A line of the order stored under another customer's code (or none), with the name of that
    // customer when the register still has one.
    auto st = db.prepare("SELECT ORDINE.ID_CL, (SELECT SOGGETTO FROM CLIENTE WHERE CODICE = "
                         "ORDINE.ID_CL ORDER BY ID LIMIT 1) FROM ORDINE WHERE ANNO = ?1 AND "
                         "NR = ?2 AND ORDINE.ID_CL IS NOT ?3 ORDER BY ID LIMIT 1;");
    if (!st)
        return st.error();
    st->bind(1, h.year).bind(2, h.number).bind(3, h.customerCode);
    if (!st->next()) {
        if (!st->status())
            return st->status().error();
        return Refusal();
    }
    return Refusal(ordermsg::numberOfAnotherCustomer(h.number, h.year, textOrEmpty(*st, 0),
                                                     textOrEmpty(*st, 1)));
}

Result<Refusal> insertLine(Database& db, const Header& h, const Line& l, std::int64_t* id) {
    return guardedWrite(
        db, [&] { return checkNumber(db, h); },
        [&]() -> Status {
            auto st = db.prepare(
                "INSERT INTO ORDINE (ID_CL, ANNO, NR, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, "
                "CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE) VALUES "
                "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17);");
            if (!st)
                return st.error();
            st->bind(1, h.customerCode)
                .bind(2, h.year)
                .bind(3, h.number)
                .bind(4, h.orderDate)
                .bind(5, h.deliveryDate)
                .bind(6, h.destination)
                .bind(7, h.town)
                .bind(8, h.province)
                .bind(9, l.article)
                .bind(10, l.code)
                .bind(11, l.format)
                .bind(12, l.weight)
                .bind(13, l.sold)
                .bind(14, l.free)
                .bind(15, l.price)
                .bind(16, l.discount)
                .bind(17, l.notes);
            if (Status r = st->run(); !r)
                return r;
            if (id)
                *id = db.lastInsertId();
            return {};
        });
}

Result<int> updateLine(Database& db, std::int64_t id, const Line& l) {
    return changeRows(db,
                      "UPDATE ORDINE SET CODICE = ?1, ARTICOLO = ?2, FORMATO = ?3, PESO = ?4, "
                      "QVENDITA = ?5, QOMAGGIO = ?6, PREZZO = ?7, SCONTO = ?8, NOTE = ?9 "
                      "WHERE ID = ?10;",
                      [&](Statement& st) {
                          st.bind(1, l.code)
                              .bind(2, l.article)
                              .bind(3, l.format)
                              .bind(4, l.weight)
                              .bind(5, l.sold)
                              .bind(6, l.free)
                              .bind(7, l.price)
                              .bind(8, l.discount)
                              .bind(9, l.notes)
                              .bind(10, id);
                      });
}

Result<int> deleteLine(Database& db, std::int64_t id) {
    return changeRows(db, "DELETE FROM ORDINE WHERE ID = ?1;",
                      [&](Statement& st) { st.bind(1, id); });
}

Result<int> deleteOrder(Database& db, const QString& year, const QString& number) {
    return changeRows(db, "DELETE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2;",
                      [&](Statement& st) { st.bind(1, year).bind(2, number); });
}

Result<bool> lineExists(Database& db, std::int64_t id) {
    auto st = db.prepare("SELECT 1 FROM ORDINE WHERE ID = ?1;");
    if (!st)
        return st.error();
    st->bind(1, id);
    const bool found = st->next();
    if (!st->status())
        return st->status().error();
    return found;
}

} // namespace orderstore
