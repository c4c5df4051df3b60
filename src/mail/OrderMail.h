#pragma once

#include "MailMessage.h"
#include "MailSettings.h"
#include "base/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class Database;
namespace sheets {
class SpreadsheetSession;
namespace order {
struct OrderData;
}
} // namespace sheets

// The message of one order: to its principal, a copy to the customer, the subject and body from
// the agent's templates with the order's facts filled in, and the order's PDF and workbook as
// written to the archive of order sheets.
namespace mail::ordermail {

struct OrderFacts {
    QString year;
    QString number;
    QString customerCode;
    QString customerName;
    QString date;  // dd/mm/yyyy
    QString total; // Italian form, two decimals
    QString agent;
};

// The facts of a stored order; refused when the order has no line.
Result<OrderFacts> facts(Database& db, const QString& year, const QString& number);
// A template with {numero} {anno} {data} {cliente} {codice} {totale} {agente} filled in.
QString fill(const QString& text, const OrderFacts& facts);

struct Draft {
    MailMessage message;
    OrderFacts facts;
    // The addresses offered: the principals' e-mails for To, the customer's card for Cc.
    QStringList principals;
};

// The message of an order, with its PDF and workbook written anew to the archive.
Result<Draft> draft(Database& db, sheets::SpreadsheetSession& session,
                    const settings::Settings& settings, const QString& year, const QString& number,
                    const QDateTime& now);

// The message of an order without its files, and in `data` what the files show: all that is read
// from the database, on the thread of the database's connection.
Result<Draft> draftText(Database& db, const settings::Settings& settings, const QString& year,
                        const QString& number, const QDateTime& now,
                        sheets::order::OrderData& data);
// Writes the order's PDF and workbook to the archive from `data` and attaches them. It uses no
// database: it may run on a thread of its own while the window goes on.
Status attachFiles(Draft& draft, const sheets::order::OrderData& data);

} // namespace mail::ordermail
