#include "CustomerContacts.h"

#include "MailHeaders.h"
#include "data/Database.h"
#include "data/Statement.h"

#include <QRegularExpression>

namespace mail::contacts {
namespace {

constexpr const char* kRead = "SELECT EMAIL, PEC, TELEFONO, VIA, CAP, PARTITA_IVA, "
                              "CODICE_FISCALE FROM SCHEDA_CLIENTE WHERE CODICE = ?1;";
constexpr const char* kCustomer = "SELECT 1 FROM CLIENTE WHERE CODICE = ?1 LIMIT 1;";
constexpr const char* kWrite =
    "INSERT OR REPLACE INTO SCHEDA_CLIENTE (CODICE, EMAIL, PEC, TELEFONO, VIA, CAP, PARTITA_IVA, "
    "CODICE_FISCALE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8);";

bool matches(const char* pattern, const QString& text) {
    return QRegularExpression(QLatin1String(pattern)).match(text).hasMatch();
}

Status storeRow(Database& db, const Card& c) {
    auto st = db.prepare(kWrite);
    if (!st)
        return st.error();
    st->bind(1, c.code)
        .bindTextOrNull(2, c.email)
        .bindTextOrNull(3, c.pec)
        .bindTextOrNull(4, c.phone)
        .bindTextOrNull(5, c.street)
        .bindTextOrNull(6, c.postalCode)
        .bindTextOrNull(7, c.vatNumber)
        .bindTextOrNull(8, c.taxCode.toUpper());
    return st->run();
}

} // namespace

bool isVatNumber(const QString& text) {
    if (!matches("^[0-9]{11}$", text))
        return false;
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        int d = text[i].digitValue();
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return (10 - sum % 10) % 10 == text[10].digitValue();
}

Status check(const Card& c) {
    const QList<std::pair<QString, QString>> fields = {
        {QStringLiteral("E-mail"), c.email},          {QStringLiteral("PEC"), c.pec},
        {QStringLiteral("Telefono"), c.phone},        {QStringLiteral("Via"), c.street},
        {QStringLiteral("CAP"), c.postalCode},        {QStringLiteral("Partita IVA"), c.vatNumber},
        {QStringLiteral("Codice fiscale"), c.taxCode}};
    for (const auto& [name, value] : fields)
        if (Status s = headers::checkField(name, value); !s)
            return makeError(QStringLiteral("Il campo \"%1\" contiene un a capo o un carattere "
                                            "di controllo.")
                                 .arg(name));
    if (!c.email.isEmpty() && !headers::isAddress(c.email))
        return makeError(QStringLiteral("L'indirizzo e-mail \"%1\" non è valido.").arg(c.email));
    if (!c.pec.isEmpty() && !headers::isAddress(c.pec))
        return makeError(QStringLiteral("L'indirizzo PEC \"%1\" non è valido.").arg(c.pec));
    if (!c.phone.isEmpty() && !matches(R"(^\+?[0-9][0-9 ./-]{4,19}$)", c.phone))
        return makeError(QStringLiteral("Il numero di telefono \"%1\" non è valido.").arg(c.phone));
    if (!c.postalCode.isEmpty() && !matches("^[0-9]{5}$", c.postalCode))
        return makeError(QStringLiteral("Il CAP deve essere di 5 cifre."));
    if (!c.vatNumber.isEmpty() && !isVatNumber(c.vatNumber))
        return makeError(QStringLiteral("La partita IVA \"%1\" non è valida: servono 11 cifre "
                                        "con la cifra di controllo giusta.")
                             .arg(c.vatNumber));
    if (!c.taxCode.isEmpty() &&
        !matches("^([A-Z]{6}[0-9LMNPQRSTUV]{2}[A-EHLMPRST][0-9LMNPQRSTUV]{2}[A-Z][0-9LMNPQRSTUV]"
                 "{3}[A-Z]|[0-9]{11})$",
                 c.taxCode.toUpper()))
        return makeError(QStringLiteral("Il codice fiscale \"%1\" non è valido.").arg(c.taxCode));
    return {};
}

Result<Card> load(Database& db, const QString& code) {
    auto st = db.prepare(kRead);
    if (!st)
        return st.error();
    st->bind(1, code);
    Card c;
    c.code = code;
    if (st->next()) {
        c.email = st->text(0);
        c.pec = st->text(1);
        c.phone = st->text(2);
        c.street = st->text(3);
        c.postalCode = st->text(4);
        c.vatNumber = st->text(5);
        c.taxCode = st->text(6);
    }
    if (Status s = st->status(); !s)
        return s.error();
    return c;
}

Status save(Database& db, const Card& c) {
    if (c.code.isEmpty())
        return makeError(QStringLiteral("Manca il codice del cliente."));
    if (Status s = check(c); !s)
        return s;
    return db.write([&]() { return storeRow(db, c); });
}

Status saveOver(Database& db, const Card& before, const Card& c) {
    if (Status s = check(c); !s)
        return s;
    return db.write([&]() -> Status {
        auto st = db.prepare(kCustomer);
        if (!st)
            return st.error();
        st->bind(1, c.code);
        const bool exists = st->next();
        if (Status s = st->status(); !s)
            return s;
        if (!exists)
            return makeError(QStringLiteral("Il cliente %1 non c'è più nell'archivio: è stato "
                                            "eliminato. La scheda non è stata salvata.")
                                 .arg(c.code));
        auto now = load(db, c.code);
        if (!now)
            return now.error();
        if (!(*now == before))
            return makeError(QStringLiteral("La scheda del cliente %1 è stata cambiata da un altro "
                                            "programma mentre era aperta: non è stata salvata. "
                                            "Chiuderla e riaprirla per vedere i dati nuovi.")
                                 .arg(c.code));
        return storeRow(db, c);
    });
}

} // namespace mail::contacts
