#pragma once

// Agents' files synced with the fixture's server, and the check that a file and the server
// agree row by row.

#include "PgKit.h"
#include "support/Fixture.h"
#include "sync/Sync.h"

#include <QString>

namespace synckit {

// One machine of an agent: its own file and its login.
struct Machine {
    explicit Machine(const pg::Settings& login,
                     TestDir::Content content = TestDir::Content::Supplied)
        : settings(login), dir(content) {}
    pg::Settings settings;
    TestDir dir;
};

// One sync of the machine's file, as the program runs it, through other settings if given, and
// stopped by the interrupt if it is raised.
Result<agencysync::Report> sync(const Machine& m, const pg::Settings* through = nullptr,
                                pg::Interrupt* interrupt = nullptr);

// Adds an order of `lines` lines to the file (number nr of year 2026), as the order panel
// stores it.
void addOrder(Database& db, int nr, int lines, const QString& note = {});
// Adds orders first to first + count - 1, in one transaction.
void addOrders(Database& db, int first, int count, int lines, const QString& note = {});

// Both machines sync at the same moment; the texts of the syncs that failed.
QStringList syncAtOnce(const Machine& a, const Machine& b);

// Empty when the file and the server agree on the agent's orders, its customers and the
// catalogue, and nothing is pending; otherwise what differs.
QString disagreement(const Machine& m);
// The customers' part: the file's customers are those the agent's login sees on the server,
// owner included, and none waits to go up.
QString customerDisagreement(const Machine& m);

// A database with the program's schema, an office catalogue loaded from the demo file, and the
// agents' logins.
QString agencyWithCatalogue(const QStringList& agents);

} // namespace synckit
