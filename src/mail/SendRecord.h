#pragma once

#include "data/Result.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class Database;

// The record of the orders sent by e-mail (table INVIO): one row per accepted sending, with the
// fingerprint of the order's lines at that moment, so that an order changed afterwards is told.
namespace mail::sendrecord {

struct Sending {
    QString year;
    QString number;
    QDateTime when;
    QStringList recipients;
    QStringList files;
    QString serverReply;
    QString messageId;
    QByteArray fingerprint;
};

// A fingerprint of every column of every line of the order (SHA-256, hex): equal as long as no
// line was added, changed or deleted.
Result<QByteArray> fingerprint(Database& db, const QString& year, const QString& number);
// Stores a sending, in a transaction of its own.
Status record(Database& db, const Sending& sending);
// The latest sending of an order, none when it was never sent.
Result<std::optional<Sending>> latest(Database& db, const QString& year, const QString& number);
// "Inviato il 09/12/2026 alle 18:04 a <recipients>", with ", modificato dopo l'invio" when the
// lines changed since; "Non inviato" for an order never sent.
Result<QString> stateText(Database& db, const QString& year, const QString& number);
// The numbers of the orders of the year dated `day` never sent, in number order.
Result<QStringList> unsent(Database& db, const QString& year, const QDate& day);

} // namespace mail::sendrecord
