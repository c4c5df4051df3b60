#pragma once

// The PostgreSQL server the fixture started, and fresh databases and logins on it for each test.

#include "sync/Pg.h"

#include <QMap>
#include <QString>

#include <memory>

class Database;

namespace pgkit {

// What the fixture wrote about its server (GESTIONE_PG_* names).
const QMap<QString, QString>& server();

// The administrator's settings for a database on the fixture's server.
pg::Settings admin(const QString& database = QStringLiteral("postgres"));

// A new, empty database of the test's own, with the program's schema, and its name.
QString freshDatabase();

// A new agent's login on the database; its password is the login's name twice.
pg::Settings agent(const QString& database, const QString& name);

std::unique_ptr<pg::Connection> connect(const pg::Settings& s);

// The values of a query as text, one string per row, fields joined by '|' (NULL as "∅").
QStringList rows(pg::Connection& c, const char* sql, const pg::Params& params = {});

// What the office's tool answered.
struct Run {
    int code = -1;
    QString out;
    QString err;
};
// The office's tool on the fixture's server as its administrator, `input` on its standard input.
Run sede(const QStringList& args, const QByteArray& input = {});

// Stops the server at once (as a power cut would) and starts it again.
void stopServer();
void startServer();

} // namespace pgkit
