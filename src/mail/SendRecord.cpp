#include "SendRecord.h"

#include "data/Database.h"
#include "data/Statement.h"
#include "text/ItalianText.h"

#include <QCryptographicHash>
#include <QHash>
#include <QPair>

#include <algorithm>

namespace mail::sendrecord {
namespace {

constexpr const char* kLines =
    "SELECT ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, "
    "QOMAGGIO, PREZZO, SCONTO, NOTE FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 ORDER BY ID;";
constexpr const char* kHasLines = "SELECT 1 FROM ORDINE WHERE ANNO = ?1 AND NR = ?2 LIMIT 1;";
constexpr const char* kIdentity =
    "SELECT ID FROM IDENTITA_ORDINE WHERE ANNO = ?1 AND NR = ?2 AND CANCELLATO_IL IS NULL;";
constexpr const char* kNewIdentity = "INSERT INTO IDENTITA_ORDINE (ANNO, NR) VALUES (?1, ?2);";
constexpr const char* kInsert =
    "INSERT INTO INVIO (ANNO, NR, INVIATO_IL, DESTINATARI, ALLEGATI, RISPOSTA, MESSAGE_ID, "
    "IMPRONTA, ID_ORDINE, ESITO) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10);";
constexpr const char* kFinish =
    "UPDATE INVIO SET ESITO = ?2, INVIATO_IL = ?3, RISPOSTA = ?4 WHERE ID = ?1;";
constexpr const char* kMark = "UPDATE INVIO SET ESITO = 'segnato' WHERE ID = ?1;";
// A row without an outcome was written before attempts had one: a sending.
constexpr const char* kLatest =
    "SELECT INVIO.INVIATO_IL, INVIO.DESTINATARI, INVIO.ALLEGATI, INVIO.RISPOSTA, "
    "INVIO.MESSAGE_ID, INVIO.IMPRONTA, INVIO.ESITO, INVIO.ID FROM INVIO "
    "JOIN IDENTITA_ORDINE ON IDENTITA_ORDINE.ID = INVIO.ID_ORDINE "
    "WHERE IDENTITA_ORDINE.ANNO = ?1 AND IDENTITA_ORDINE.NR = ?2 "
    "AND IDENTITA_ORDINE.CANCELLATO_IL IS NULL "
    "AND (INVIO.ESITO IS NULL OR INVIO.ESITO <> 'non inviato') ORDER BY INVIO.ID DESC LIMIT 1;";
constexpr const char* kInterrupted =
    "SELECT ID, ANNO, NR, INVIATO_IL, DESTINATARI, MESSAGE_ID FROM INVIO "
    "WHERE ESITO = 'in corso' ORDER BY ID;";
constexpr const char* kSettle = "UPDATE INVIO SET ESITO = 'incerto' WHERE ESITO = 'in corso';";
// The state of every order that has a sending, the latest last.
constexpr const char* kStates =
    "SELECT IDENTITA_ORDINE.ANNO, IDENTITA_ORDINE.NR, INVIO.ESITO, INVIO.INVIATO_IL FROM INVIO "
    "JOIN IDENTITA_ORDINE ON IDENTITA_ORDINE.ID = INVIO.ID_ORDINE "
    "WHERE IDENTITA_ORDINE.CANCELLATO_IL IS NULL "
    "AND (INVIO.ESITO IS NULL OR INVIO.ESITO <> 'non inviato') ORDER BY INVIO.ID;";
constexpr const char* kOrdersOfPeriod =
    "SELECT ANNO, NR, MAX(DATAO), MIN(ID_CL) FROM ORDINE WHERE DATAO BETWEEN ?1 AND ?2 "
    "GROUP BY ANNO, NR;";
constexpr const char* kOrders = "SELECT ANNO, NR, MAX(DATAO), MIN(ID_CL) FROM ORDINE "
                                "GROUP BY ANNO, NR;";
constexpr const char* kOrder =
    "SELECT ANNO, NR, MAX(DATAO), MIN(ID_CL) FROM ORDINE WHERE ANNO = ?1 AND NR = ?2;";
constexpr const char* kCustomer = "SELECT SOGGETTO FROM CLIENTE WHERE CODICE = ?1 LIMIT 1;";

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

namespace {

const char* outcomeName(Outcome o) {
    switch (o) {
    case Outcome::InProgress:
        return "in corso";
    case Outcome::Sent:
        return "inviato";
    case Outcome::Uncertain:
        return "incerto";
    case Outcome::NotSent:
        return "non inviato";
    case Outcome::MarkedSent:
        return "segnato";
    }
    return "incerto";
}

Outcome outcomeOf(const Statement& st, int column) {
    if (st.isNull(column))
        return Outcome::Sent;
    const QString name = st.text(column);
    for (Outcome o : {Outcome::InProgress, Outcome::Sent, Outcome::Uncertain, Outcome::NotSent,
                      Outcome::MarkedSent})
        if (name == QLatin1String(outcomeName(o)))
            return o;
    // A value this program does not write: nothing is claimed of it.
    return Outcome::Uncertain;
}

QString isoUtc(const QDateTime& when) {
    return when.toUTC().toString(QLatin1String(kIsoUtc));
}

QDateTime fromIsoUtc(const QString& text) {
    QDateTime t = QDateTime::fromString(text, QLatin1String(kIsoUtc));
    t.setTimeSpec(Qt::UTC);
    return t;
}

// The order's identity now, made when it has none; refused when the order has no line.
Result<qint64> identity(Database& db, const QString& year, const QString& number) {
    auto lines = db.prepare(kHasLines);
    if (!lines)
        return lines.error();
    lines->bind(1, year).bind(2, number);
    const bool exists = lines->next();
    if (Status s = lines->status(); !s)
        return s.error();
    if (!exists)
        return makeError(QStringLiteral("L'ordine %1/%2 non esiste più: messaggio non inviato.")
                             .arg(number, year));
    auto st = db.prepare(kIdentity);
    if (!st)
        return st.error();
    st->bind(1, year).bind(2, number);
    if (st->next())
        return qint64(st->int64(0));
    if (Status s = st->status(); !s)
        return s.error();
    auto add = db.prepare(kNewIdentity);
    if (!add)
        return add.error();
    if (Status s = add->bind(1, year).bind(2, number).run(); !s)
        return s.error();
    return qint64(db.lastInsertId());
}

Result<qint64> insert(Database& db, const Sending& s, Outcome outcome) {
    auto id = identity(db, s.year, s.number);
    if (!id)
        return id.error();
    auto print = fingerprint(db, s.year, s.number);
    if (!print)
        return print.error();
    auto st = db.prepare(kInsert);
    if (!st)
        return st.error();
    st->bind(1, s.year)
        .bind(2, s.number)
        .bind(3, isoUtc(s.when))
        .bind(4, s.recipients.join(QStringLiteral(", ")))
        .bind(5, s.files.join(QLatin1Char('\n')))
        .bind(6, s.serverReply)
        .bind(7, s.messageId)
        .bind(8, QString::fromLatin1(s.fingerprint.isEmpty() ? *print : s.fingerprint))
        .bind(9, std::int64_t(*id))
        .bind(10, outcomeName(outcome));
    if (Status r = st->run(); !r)
        return r.error();
    return qint64(db.lastInsertId());
}

} // namespace

Result<qint64> begin(Database& db, const Sending& attempt) {
    qint64 id = 0;
    Status s = db.write([&]() -> Status {
        auto added = insert(db, attempt, Outcome::InProgress);
        if (!added)
            return added.error();
        id = *added;
        return {};
    });
    if (!s)
        return s.error();
    return id;
}

Status finish(Database& db, qint64 id, Outcome outcome, const QDateTime& when,
              const QString& serverReply) {
    return db.write([&]() -> Status {
        auto st = db.prepare(kFinish);
        if (!st)
            return st.error();
        st->bind(1, std::int64_t(id))
            .bind(2, outcomeName(outcome))
            .bind(3, isoUtc(when))
            .bind(4, serverReply);
        if (Status r = st->run(); !r)
            return r;
        if (db.changes() != 1)
            return makeError(QStringLiteral("la registrazione del tentativo di invio non c'è più"));
        return {};
    });
}

Status record(Database& db, const Sending& s) {
    return db.write([&]() -> Status {
        auto added = insert(db, s, Outcome::Sent);
        if (!added)
            return added.error();
        return {};
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
    s.when = fromIsoUtc(st->text(0));
    s.recipients = st->text(1).split(QStringLiteral(", "), Qt::SkipEmptyParts);
    s.files = st->text(2).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    s.serverReply = st->text(3);
    s.messageId = st->text(4);
    s.fingerprint = st->text(5).toLatin1();
    s.outcome = outcomeOf(*st, 6);
    s.id = st->int64(7);
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
    const QString day = local.toString(QStringLiteral("dd/MM/yyyy"));
    const QString time = local.toString(QStringLiteral("HH:mm"));
    const QString to = s.recipients.join(QStringLiteral(", "));
    QString text;
    switch (s.outcome) {
    case Outcome::InProgress:
    case Outcome::Uncertain:
    case Outcome::NotSent:
        text = QStringLiteral("Invio incerto del %1 alle %2 a %3").arg(day, time, to);
        break;
    case Outcome::Sent:
        text = QStringLiteral("Inviato il %1 alle %2 a %3").arg(day, time, to);
        break;
    case Outcome::MarkedSent:
        text =
            QStringLiteral("Inviato il %1 alle %2 a %3 (segnato come inviato)").arg(day, time, to);
        break;
    }
    auto now = fingerprint(db, year, number);
    if (!now)
        return now.error();
    if (*now != s.fingerprint)
        text += QStringLiteral(", modificato dopo l'invio");
    return text;
}

Status markSent(Database& db, const QString& year, const QString& number) {
    return db.write([&]() -> Status {
        auto last = latest(db, year, number);
        if (!last)
            return last.error();
        if (!last->has_value() ||
            ((*last)->outcome != Outcome::Uncertain && (*last)->outcome != Outcome::InProgress))
            return makeError(QStringLiteral("L'invio dell'ordine %1/%2 non è incerto: non c'è "
                                            "nulla da segnare.")
                                 .arg(number, year));
        auto st = db.prepare(kMark);
        if (!st)
            return st.error();
        return st->bind(1, std::int64_t((*last)->id)).run();
    });
}

Result<QList<Sending>> settleInterrupted(Database& db) {
    QList<Sending> left;
    Status s = db.write([&]() -> Status {
        auto st = db.prepare(kInterrupted);
        if (!st)
            return st.error();
        while (st->next()) {
            Sending one;
            one.id = st->int64(0);
            one.year = st->text(1);
            one.number = st->text(2);
            one.when = fromIsoUtc(st->text(3));
            one.recipients = st->text(4).split(QStringLiteral(", "), Qt::SkipEmptyParts);
            one.messageId = st->text(5);
            one.outcome = Outcome::Uncertain;
            left << one;
        }
        if (Status r = st->status(); !r)
            return r;
        if (left.isEmpty())
            return {};
        return db.exec(kSettle);
    });
    if (!s)
        return s.error();
    return left;
}

Result<QList<Pending>> pending(Database& db, const std::optional<QDate>& from,
                               const std::optional<QDate>& to) {
    // The latest state of every order sent at least once: a small table, read whole.
    QHash<QPair<QString, QString>, std::pair<Outcome, QDateTime>> states;
    {
        auto st = db.prepare(kStates);
        if (!st)
            return st.error();
        while (st->next())
            states.insert({st->text(0), st->text(1)}, {outcomeOf(*st, 2), fromIsoUtc(st->text(3))});
        if (Status s = st->status(); !s)
            return s.error();
    }
    auto customer = db.prepare(kCustomer);
    if (!customer)
        return customer.error();
    QList<Pending> out;
    // One order as the query gives it: year, number, date, customer's code.
    auto take = [&](Statement& st, Pending& p) -> Status {
        p.year = st.text(0);
        p.number = st.text(1);
        if (const auto date = itext::parseIsoDate(st.utf8(2)))
            p.date = *date;
        customer->reset();
        customer->bind(1, st.text(3));
        auto name = customer->firstText();
        if (!name)
            return name.error();
        p.customer = *name;
        return {};
    };
    // The uncertain ones whatever their date: there are few, and none may be overlooked.
    auto order = db.prepare(kOrder);
    if (!order)
        return order.error();
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        if (it->first == Outcome::Sent || it->first == Outcome::MarkedSent)
            continue;
        order->reset();
        order->bind(1, it.key().first).bind(2, it.key().second);
        if (!order->next() || order->isNull(0)) {
            if (Status s = order->status(); !s)
                return s.error();
            continue;
        }
        Pending p;
        if (Status s = take(*order, p); !s)
            return s.error();
        p.uncertain = true;
        p.attempted = it->second;
        out << p;
    }
    const bool bounded = from || to;
    auto st = bounded ? db.prepare(kOrdersOfPeriod) : db.prepare(kOrders);
    if (!st)
        return st.error();
    if (bounded)
        st->bind(1, (from ? *from : QDate(1, 1, 1)).toString(Qt::ISODate))
            .bind(2, (to ? *to : QDate(9999, 12, 31)).toString(Qt::ISODate));
    while (st->next()) {
        if (states.contains({st->text(0), st->text(1)}))
            continue;
        Pending p;
        if (Status s = take(*st, p); !s)
            return s.error();
        out << p;
    }
    if (Status s = st->status(); !s)
        return s.error();
    std::sort(out.begin(), out.end(), [](const Pending& a, const Pending& b) {
        if (a.date != b.date)
            return a.date > b.date;
        if (a.year != b.year)
            return a.year.toInt() > b.year.toInt();
        return a.number.toInt() > b.number.toInt();
    });
    return out;
}

} // namespace mail::sendrecord
