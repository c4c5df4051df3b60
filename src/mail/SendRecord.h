#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Database;

// The record of the orders sent by e-mail (table INVIO): one row per attempt, written before
// the message goes and ended with its outcome, with the fingerprint of the order's lines at that
// moment, so that an order changed afterwards is told. The rows belong to the order's identity
// (IDENTITA_ORDINE), not to its year and number alone: a deleted order's rows stay as its history
// and the next order given the same number starts with none.
namespace mail::sendrecord {

enum class Outcome {
    // The message is going: a row left so by a program that ended meanwhile is uncertain.
    InProgress,
    Sent,
    // The end of the message may have reached the server, whose reply never came.
    Uncertain,
    // The server certainly did not take it.
    NotSent,
    // Uncertain, then marked as received by the agent.
    MarkedSent,
};

struct Sending {
    QString year;
    QString number;
    QDateTime when;
    QStringList recipients;
    QStringList files;
    QString serverReply;
    QString messageId;
    QByteArray fingerprint;
    Outcome outcome = Outcome::Sent;
    qint64 id = 0;
};

// A fingerprint of every column of every line of the order (SHA-256, hex): equal as long as no
// line was added, changed or deleted.
Result<QByteArray> fingerprint(Database& db, const QString& year, const QString& number);

// Records an attempt before any of its message goes, in a transaction of its own: the order's
// identity (made at its first sending), the recipients, the files, the message's identifier
// and the fingerprint of the lines now; the outcome is InProgress. Returns the row's key.
Result<qint64> begin(Database& db, const Sending& attempt);
// Ends the attempt `id` with its outcome, the time and the server's reply.
Status finish(Database& db, qint64 id, Outcome outcome, const QDateTime& when,
              const QString& serverReply);
// Stores a sending that happened, in a transaction of its own.
Status record(Database& db, const Sending& sending);

// The sending that tells the order's state: the latest sent, marked, uncertain or in progress
// (a failed attempt hides no earlier sending); none when the order was never sent.
Result<std::optional<Sending>> latest(Database& db, const QString& year, const QString& number);
// "Inviato il 09/12/2026 alle 18:04 a <recipients>", with ", modificato dopo l'invio" when the
// lines changed since; "Invio incerto del …" for an uncertain one; "Non inviato" for an order
// never sent.
Result<QString> stateText(Database& db, const QString& year, const QString& number);
// Marks the order's uncertain sending as received ("Segna come inviato"); refused when the
// order's state is not uncertain.
Status markSent(Database& db, const QString& year, const QString& number);

// The attempts a program left in progress because it ended during them: made uncertain, in one
// transaction, and returned. Run once the file is opened, when no sending of this program runs.
Result<QList<Sending>> settleInterrupted(Database& db);

// An order that waits to be sent, or whose sending is uncertain.
struct Pending {
    QString year;
    QString number;
    QDate date;
    QString customer;
    bool uncertain = false;
    // The uncertain attempt's time.
    QDateTime attempted;
};
// The orders dated from `from` to `to` (each bound optional) never sent, and every order whose
// sending is uncertain whatever its date, newest first.
Result<QList<Pending>> pending(Database& db, const std::optional<QDate>& from,
                               const std::optional<QDate>& to);

} // namespace mail::sendrecord
