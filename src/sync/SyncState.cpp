#include "Sync.h"

#include "CustomerSync.h"
#include "OwnCustomers.h"
#include "ServerSchema.h"

#include "data/Database.h"

namespace agencysync {

Status enable(Database& db) {
    // Once on, a read says so: no wait behind another program's write.
    if (enabled(db))
        return {};
    return db.write([&]() -> Status {
        auto on = db.prepare("SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'attiva';");
        if (!on)
            return on.error();
        if (on->next())
            return {};
        if (!on->status())
            return on->status();
        // In the same transaction as the switch, so that no change falls between the two.
        if (Status s = db.exec("INSERT OR IGNORE INTO SYNC_ORDINE (ANNO, NR, CAMBIATO, CAMBIATO_IL)"
                               " SELECT DISTINCT ANNO, NR, 1,"
                               " strftime('%Y-%m-%dT%H:%M:%fZ', 'now') FROM ORDINE;");
            !s)
            return s;
        return db.exec("INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('attiva', '1');");
    });
}

bool enabled(Database& db) {
    auto on = db.prepare("SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'attiva';");
    return on && on->next();
}

Result<std::int64_t> pendingOrders(Database& db) {
    // Before the first sync every order of the file waits to go up.
    auto st = enabled(db) ? db.prepare("SELECT count(*) FROM SYNC_ORDINE WHERE CAMBIATO > 0;")
                          : db.prepare("SELECT count(*) FROM (SELECT DISTINCT ANNO, NR FROM"
                                       " ORDINE);");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? makeError(QStringLiteral("Il conto degli ordini da inviare non si "
                                                       "legge."))
                            : st->status().error();
    return st->int64(0);
}

QString lastSync(Database& db) {
    auto st = db.prepare("SELECT VALORE FROM SYNC_STATO WHERE CHIAVE = 'ultima';");
    if (!st || !st->next())
        return {};
    return st->text(0);
}

Result<Report> run(Database& db, pg::Connection& server) {
    Report report;
    // A server the office has not made, or brought to a version newer than this program knows:
    // nothing is written, on either side.
    if (Status s = serverschema::usable(server); !s)
        return s.error();
    if (Status s = enable(db); !s)
        return s.error();
    if (Status s = push(db, server, report); !s)
        return s.error();
    if (Status s = customersync::push(db, server, report); !s)
        return s.error();
    if (Status s = pull(db, server, report); !s)
        return s.error();
    // What the pull itself left to go up (a customer withdrawn elsewhere that orders here still
    // use, a code the office took over) goes now, not one sync later.
    auto left = customersync::pendingCustomers(db);
    if (!left)
        return left.error();
    if (*left > 0)
        if (Status s = customersync::push(db, server, report); !s)
            return s.error();
    return report;
}

} // namespace agencysync
