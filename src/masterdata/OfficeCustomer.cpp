#include "OfficeCustomer.h"

#include "data/Database.h"
#include "text/ItalianText.h"

#include <QDateTime>
#include <QUuid>

namespace officecustomer {
namespace {

const QString kNotModified = QStringLiteral("Non è stato modificato nulla");

} // namespace

Result<bool> isOffice(Database& db, std::int64_t id) {
    auto st = db.prepare("SELECT 1 FROM SYNC_CLIENTE WHERE ID = ?1 AND SEDE = 1;");
    if (!st)
        return st.error();
    const bool office = st->bind(1, id).next();
    if (!st->status())
        return st->status().error();
    return office;
}

Result<QString> who(Database& db, std::int64_t id) {
    auto st = db.prepare("SELECT CODICE, SOGGETTO FROM CLIENTE WHERE ID = ?1;");
    if (!st)
        return st.error();
    if (!st->bind(1, id).next()) {
        if (!st->status())
            return st->status().error();
        return QString();
    }
    const QString code = st->text(0);
    const QString name = st->text(1);
    return name.isEmpty()
               ? QStringLiteral("il cliente con codice %1").arg(code)
               : QStringLiteral("il cliente %1 (codice %2)").arg(itext::shortened(name), code);
}

Result<Refusal> checkRequest(Database& db, std::int64_t id, const customers::Customer& customer) {
    auto st = db.prepare("SELECT CODICE, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE WHERE ID = ?1;");
    if (!st)
        return st.error();
    if (!st->bind(1, id).next()) {
        if (!st->status())
            return st->status().error();
        return Refusal(QStringLiteral("%1: il cliente scelto non è più nell'archivio.\nScegli di "
                                      "nuovo la riga del cliente nell'elenco.")
                           .arg(kNotModified));
    }
    auto name = who(db, id);
    if (!name)
        return name.error();
    if (st->text(0) != customer.code)
        return Refusal(QStringLiteral("%1: %2 è della sede, e il suo codice non si può "
                                      "cambiare.")
                           .arg(kNotModified, *name));
    if (st->text(1) == customer.name && st->text(2) == customer.town &&
        st->text(3) == customer.province)
        return Refusal(QStringLiteral("%1: i dati sono già quelli che la sede ha dato per %2.")
                           .arg(kNotModified, *name));
    return Refusal();
}

Result<Refusal> request(Database& db, std::int64_t id, const customers::Customer& customer) {
    return guardedWrite(
        db, [&] { return checkRequest(db, id, customer); },
        [&]() -> Status {
            auto st = db.prepare("INSERT INTO SYNC_RICHIESTA (CHIAVE, CODICE, SOGGETTO, CITTA,"
                                 " PROVINCIA, CHIESTA_IL) VALUES (?1, ?2, ?3, ?4, ?5, ?6);");
            if (!st)
                return st.error();
            st->bind(1, QUuid::createUuid().toString(QUuid::WithoutBraces))
                .bind(2, customer.code)
                .bind(3, customer.name)
                .bind(4, customer.town)
                .bind(5, customer.province)
                .bind(6, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
            return st->run();
        });
}

QString askRequest(const QString& who) {
    return QStringLiteral("%1 è della sede: qui non si può modificare.\nVuoi chiedere alla sede di "
                          "modificarlo così? La richiesta partirà alla prossima "
                          "sincronizzazione.")
        .arg(who.left(1).toUpper() + who.mid(1));
}

QString requested() {
    return QStringLiteral("Richiesta registrata: sarà inviata alla sede alla prossima "
                          "sincronizzazione. Il cliente cambierà quando la sede l'avrà "
                          "accettata.");
}

} // namespace officecustomer
