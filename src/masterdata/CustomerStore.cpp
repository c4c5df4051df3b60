#include "CustomerStore.h"

#include "OfficeCustomer.h"

#include "data/Database.h"
#include "text/ItalianText.h"

namespace customers {
namespace {

struct Stored {
    QString code;
    QString name;
};

Result<std::optional<Stored>> find(Database& db, std::int64_t id) {
    auto st = db.prepare("SELECT CODICE, SOGGETTO FROM CLIENTE WHERE ID = ?1;");
    if (!st)
        return st.error();
    st->bind(1, id);
    std::optional<Stored> found;
    if (st->next())
        found = Stored{st->text(0), st->text(1)};
    if (!st->status())
        return st->status().error();
    return found;
}

// The name of a customer other than `self` that has the code; no value when there is none.
Result<std::optional<QString>> otherHolder(Database& db, const QString& code,
                                           std::optional<std::int64_t> self) {
    auto st = db.prepare("SELECT SOGGETTO FROM CLIENTE WHERE CODICE = ?1 AND ID <> ?2 LIMIT 1;");
    if (!st)
        return st.error();
    st->bind(1, code).bind(2, self.value_or(0));
    std::optional<QString> name;
    if (st->next())
        name = st->text(0);
    if (!st->status())
        return st->status().error();
    return name;
}

QString ordersText(int n) {
    return n == 1 ? QStringLiteral("1 ordine") : QStringLiteral("%1 ordini").arg(n);
}

QString codeTaken(const QString& nothing, const QString& code, const QString& holder) {
    const QString whose = holder.isEmpty()
                              ? QStringLiteral("di un altro cliente")
                              : QStringLiteral("del cliente %1").arg(itext::shortened(holder));
    return QStringLiteral("%1: il codice %2 è già %3.\nOgni cliente deve avere un codice "
                          "diverso dagli altri.")
        .arg(nothing, code, whose);
}

const QString kNotInserted = QStringLiteral("Non è stato inserito nulla");
const QString kNotModified = QStringLiteral("Non è stato modificato nulla");
const QString kNotDeleted = QStringLiteral("Non è stato eliminato nulla");

QString noRowChosen(const QString& nothing, const char* action) {
    return QStringLiteral("%1: scegli prima nell'elenco la riga del cliente da %2.")
        .arg(nothing, QLatin1String(action));
}

QString rowGone(const QString& nothing) {
    return QStringLiteral("%1: il cliente scelto non è più nell'archivio.\nScegli di nuovo la "
                          "riga del cliente nell'elenco.")
        .arg(nothing);
}

// The office's customers change only at the office.
Result<Refusal> officeRefusal(Database& db, std::int64_t id, const QString& nothing,
                              const char* action) {
    auto office = officecustomer::isOffice(db, id);
    if (!office)
        return office.error();
    if (!*office)
        return Refusal();
    auto who = officecustomer::who(db, id);
    if (!who)
        return who.error();
    return Refusal(QStringLiteral("%1: %2 è della sede e si può %3 solo in sede.")
                       .arg(nothing, *who, QLatin1String(action)));
}

} // namespace

Result<int> countOrders(Database& db, const QString& code) {
    auto st =
        db.prepare("SELECT count(*) FROM (SELECT DISTINCT ANNO, NR FROM ORDINE WHERE ID_CL = ?1);");
    if (!st)
        return st.error();
    st->bind(1, code);
    const int n = st->next() ? int(st->int64(0)) : 0;
    if (!st->status())
        return st->status().error();
    return n;
}

Result<Refusal> checkInsert(Database& db, const Customer& customer) {
    auto holder = otherHolder(db, customer.code, std::nullopt);
    if (!holder)
        return holder.error();
    if (*holder)
        return Refusal(codeTaken(kNotInserted, customer.code, **holder));
    return Refusal();
}

Result<Refusal> checkModify(Database& db, std::optional<std::int64_t> id,
                            const Customer& customer) {
    if (!id)
        return Refusal(noRowChosen(kNotModified, "modificare"));
    auto stored = find(db, *id);
    if (!stored)
        return stored.error();
    if (!*stored)
        return Refusal(rowGone(kNotModified));
    if (Result<Refusal> office = officeRefusal(db, *id, kNotModified, "modificare");
        !office || *office)
        return office;
    auto holder = otherHolder(db, customer.code, id);
    if (!holder)
        return holder.error();
    if (*holder)
        return Refusal(codeTaken(kNotModified, customer.code, **holder));
    // Order lines find their customer by the code: a new code would leave them without one.
    const QString& oldCode = (*stored)->code;
    if (oldCode != customer.code) {
        auto n = countOrders(db, oldCode);
        if (!n)
            return n.error();
        if (*n > 0)
            return Refusal(QStringLiteral("%1: il codice %2 è usato da %3 di questo cliente, che "
                                          "con un altro codice non si troverebbero più.\nIl "
                                          "codice non si può cambiare finché il cliente ha "
                                          "ordini.")
                               .arg(kNotModified, oldCode, ordersText(*n)));
    }
    return Refusal();
}

Result<Refusal> checkDelete(Database& db, std::optional<std::int64_t> id) {
    if (!id)
        return Refusal(noRowChosen(kNotDeleted, "eliminare"));
    auto stored = find(db, *id);
    if (!stored)
        return stored.error();
    if (!*stored)
        return Refusal(rowGone(kNotDeleted));
    if (Result<Refusal> office = officeRefusal(db, *id, kNotDeleted, "eliminare");
        !office || *office)
        return office;
    auto n = countOrders(db, (*stored)->code);
    if (!n)
        return n.error();
    if (*n > 0) {
        const Stored& c = **stored;
        const QString who =
            c.name.isEmpty()
                ? QStringLiteral("il cliente con codice %1").arg(c.code)
                : QStringLiteral("il cliente %1 (codice %2)").arg(itext::shortened(c.name), c.code);
        return Refusal(QStringLiteral("%1: %2 è usato da %3.\nSenza il cliente quegli ordini "
                                      "non si potrebbero più aprire, stampare né eliminare: "
                                      "elimina prima gli ordini.")
                           .arg(kNotDeleted, who, ordersText(*n)));
    }
    return Refusal();
}

Result<Refusal> insert(Database& db, const Customer& customer) {
    return guardedWrite(
        db, [&] { return checkInsert(db, customer); },
        [&]() -> Status {
            auto st = db.prepare("INSERT INTO CLIENTE (CODICE, CITTA, PROVINCIA, SOGGETTO) "
                                 "VALUES (?1, ?2, ?3, ?4);");
            if (!st)
                return st.error();
            st->bind(1, customer.code)
                .bind(2, customer.town)
                .bind(3, customer.province)
                .bind(4, customer.name);
            return st->run();
        });
}

Result<Refusal> modify(Database& db, std::optional<std::int64_t> id, const Customer& customer) {
    return guardedWrite(
        db, [&] { return checkModify(db, id, customer); },
        [&]() -> Status {
            auto st = db.prepare("UPDATE CLIENTE SET CODICE = ?1, CITTA = ?2, PROVINCIA = ?3, "
                                 "SOGGETTO = ?4 WHERE ID = ?5;");
            if (!st)
                return st.error();
            st->bind(1, customer.code)
                .bind(2, customer.town)
                .bind(3, customer.province)
                .bind(4, customer.name)
                .bind(5, *id);
            return st->run();
        });
}

Result<Refusal> remove(Database& db, std::optional<std::int64_t> id) {
    return guardedWrite(
        db, [&] { return checkDelete(db, id); },
        [&]() -> Status {
            auto st = db.prepare("DELETE FROM CLIENTE WHERE ID = ?1;");
            if (!st)
                return st.error();
            st->bind(1, *id);
            return st->run();
        });
}

} // namespace customers
