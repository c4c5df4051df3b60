#pragma once

#include "MailServer.h"
#include "base/Result.h"

#include <QString>

class Database;

// "Impostazioni invio": the outgoing server (with the certificate of its own authority, when it
// has one, trusted for it alone), the account, the sender, the way orders leave (by the program
// through SMTP, or by the desktop's mail program) and the editable texts of the message, in
// table IMPOSTAZIONE_INVIO. The account's password is never among them: it is kept where the
// secrets are (secrets::Vault), and load() leaves it empty.
namespace mail::settings {

enum class Way { Smtp, Desktop };

struct Settings {
    MailServer server;
    QString senderName;
    QString senderAddress;
    Way way = Way::Smtp;
    QString subjectTemplate;
    QString bodyTemplate;
};

// The texts of a new file: the order's number, date, customer and totals between braces.
QString defaultSubject();
QString defaultBody();

// The stored settings; defaults for what was never set.
Result<Settings> load(Database& db);
// Checks and stores them all in one transaction; an Italian message names what is wrong.
Status save(Database& db, const Settings& settings);
// What is wrong in the settings, or nothing.
Status check(const Settings& settings);

// The agent's own e-mail, among the agent's details: the sender of the orders and the address
// "Prova" writes to.
Result<QString> agentAddress(Database& db);
// What is wrong in it, or nothing; an empty address is fine.
Status checkAgentAddress(const QString& address);
// Stores it, inside a transaction the caller opened.
Status storeAgentAddress(Database& db, const QString& address);

} // namespace mail::settings
