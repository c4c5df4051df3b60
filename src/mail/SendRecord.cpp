#include "SendRecord.h"

#include "data/Database.h"
#include "data/Statement.h"

#include <QCryptographicHash>
#include <QSet>

namespace mail::sendrecord {
namespace {

constexpr const char* kLines =
    "SELECT ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, "
    "QOMAGGIO, PREZZO, SCONTO, NOTE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 ORDER BY ID;";
constexpr const char* kInsert =
    "INSERT INTO INVIO (ANNO, NR, INVIATO_IL, DESTINATARI, ALLEGATI, RISPOSTA, MESSAGE_ID, "
    "IMPRONTA) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8);";
constexpr const char* kLatest =
    "SELECT INVIATO_IL, DESTINATARI, ALLEGATI, RISPOSTA, MESSAGE_ID, IMPRONTA FROM INVIO "
    "WHERE ANNO = ?1 AND NR = ?2 ORDER BY ID DESC LIMIT 1;";
constexpr const char* kOfDay =
    "SELECT DISTINCT NR FROM ORDINE WHERE ANNO = ?1 AND DATAO = ?2 ORDER BY NR;";
constexpr const char* kSentOfYear = "SELECT DISTINCT NR FROM INVIO WHERE ANNO = ?1;";

// Stored times are in UTC and ISO form, whatever the process locale.
constexpr const char* kIsoUtc = "yyyy-MM-ddTHH:mm:ssZ";

} // namespace

Result<QByteArray> fingerprint(Database& db, const QString& year, const QString& number) {
    auto st = db.prepare(kLines);
    if (!st)
        return st.error();
    st->bind(1, year).bind(2, number);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (st->next()) {
        for (int c = 0; c < st->columnCount(); ++c) {
            // Each value with its kind and length, so that no two orders hash alike by a shift.
            const auto v = st->utf8OrNull(c);
            const QByteArray tag = v ? QByteArray::number(st->type(c)) + ':' +
                                           QByteArray::number(qsizetype(v->size())) + ':'
                                     : QByteArray("N:");
            hash.addData(tag);
            if (v)
                hash.addData(QByteArrayView(v->data(), qsizetype(v->size())));
        }
        hash.addData("\n");
    }
    if (Status s = st->status(); !s)
        return s.error();
    return hash.result().toHex();
}

Status record(Database& db, const Sending& s) {
    return db.write([&]() -> Status {
        auto st = db.prepare(kInsert);
        if (!st)
            return st.error();
        st->bind(1, s.year)
            .bind(2, s.number)
            .bind(3, s.when.toUTC().toString(QLatin1String(kIsoUtc)))
            .bind(4, s.recipients.join(QStringLiteral(", ")))
            .bind(5, s.files.join(QLatin1Char('\n')))
            .bind(6, s.serverReply)
            .bind(7, s.messageId)
            .bind(8, QString::fromLatin1(s.fingerprint));
        return st->run();
    });
}

Result<std::optional<Sending>> latest(Database& db, const QString& year, const QString& number) {
    auto st = db.prepare(kLatest);
    if (!st)
        return st.error();
    st->bind(1, year).bind(2, number);
    if (!st->next()) {
        if (Status s = st->status(); !s)
            return s.error();
        return std::optional<Sending>();
    }
    Sending s;
    s.year = year;
    s.number = number;
    s.when = QDateTime::fromString(st->text(0), QLatin1String(kIsoUtc));
    s.when.setTimeSpec(Qt::UTC);
    s.recipients = st->text(1).split(QStringLiteral(", "), Qt::SkipEmptyParts);
    s.files = st->text(2).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    s.serverReply = st->text(3);
    s.messageId = st->text(4);
    s.fingerprint = st->text(5).toLatin1();
    return std::optional<Sending>(std::move(s));
}

Result<QString> stateText(Database& db, const QString& year, const QString& number) {
    auto last = latest(db, year, number);
    if (!last)
        return last.error();
    if (!last->has_value())
        return QStringLiteral("Non inviato");
    const Sending& s = **last;
    const QDateTime local = s.when.toLocalTime();
    QString text =
        QStringLiteral("Inviato il %1 alle %2 a %3")
            .arg(local.toString(QStringLiteral("dd/MM/yyyy")),
                 local.toString(QStringLiteral("HH:mm")), s.recipients.join(QStringLiteral(", ")));
    auto now = fingerprint(db, year, number);
    if (!now)
        return now.error();
    if (*now != s.fingerprint)
        text += QStringLiteral(", modificato dopo l'invio");
    return text;
}

Result<QStringList> unsent(Database& db, const QString& year, const QDate& day) {
    auto sent = db.prepare(kSentOfYear);
    if (!sent)
        return sent.error();
    sent->bind(1, year);
    QSet<QString> done;
    while (sent->next())
        done.insert(sent->text(0));
    if (Status s = sent->status(); !s)
        return s.error();
    auto st = db.prepare(kOfDay);
    if (!st)
        return st.error();
    st->bind(1, year).bind(2, day.toString(Qt::ISODate));
    QStringList numbers;
    while (st->next())
        if (!done.contains(st->text(0)))
            numbers << st->text(0);
    if (Status s = st->status(); !s)
        return s.error();
    return numbers;
}

} // namespace mail::sendrecord
