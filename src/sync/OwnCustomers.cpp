#include "OwnCustomers.h"

#include "Sync.h"
#include "data/Database.h"

#include <QHash>

namespace customersync {
namespace {

// What the file records of a customer of the agent that is on the server.
struct Known {
    std::int64_t id = 0;
    std::int64_t version = 0;
    std::int64_t changes = 0;
};

Result<QHash<QString, Known>> knownOwn(Database& db) {
    auto st = db.prepare("SELECT ID, CODICE, VERSIONE, CAMBIATO FROM SYNC_CLIENTE"
                         " WHERE SEDE = 0 AND CODICE IS NOT NULL;");
    if (!st)
        return st.error();
    QHash<QString, Known> known;
    while (st->next())
        known.insert(st->text(1), Known{st->int64(0), st->int64(2), st->int64(3)});
    if (!st->status())
        return st->status().error();
    return known;
}

} // namespace

bool ownFromStart(Database& db) {
    auto st = db.prepare("SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti.propri';");
    return !(st && st->next());
}

Status applyOwn(Database& db, const pg::Rows& customers, agencysync::Report& report) {
    if (ownFromStart(db)) {
        if (Status s = db.exec("INSERT OR REPLACE INTO SYNC_STATO (CHIAVE, VALORE)"
                               " VALUES ('clienti.propri', '1');");
            !s)
            return s;
    }
    bool any = false;
    for (int r = 0; r < customers.count() && !any; ++r)
        any = customers.boolean(r, kOwnColumn);
    if (!any)
        return {};
    auto known = knownOwn(db);
    if (!known)
        return known.error();
    auto same = db.prepare("SELECT c.ID, s.SEDE, s.CAMBIATO FROM CLIENTE c LEFT JOIN SYNC_CLIENTE s"
                           " ON s.ID = c.ID WHERE c.CODICE = ?1 ORDER BY c.ID LIMIT 1;");
    auto update = db.prepare("UPDATE CLIENTE SET CODICE = ?2, SOGGETTO = ?3, CITTA = ?4,"
                             " PROVINCIA = ?5 WHERE ID = ?1;");
    auto insert = db.prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA)"
                             " VALUES (?1, ?2, ?3, ?4);");
    // After the file's triggers have counted the write as a change: it came from the server and
    // must not go up again.
    auto settle = db.prepare("INSERT OR REPLACE INTO SYNC_CLIENTE (ID, SEDE, CODICE, VERSIONE,"
                             " CAMBIATO) VALUES (?1, 0, ?2, ?3, 0);");
    auto orders = db.prepare("SELECT 1 FROM ORDINE WHERE ID_CL = ?1 LIMIT 1;");
    auto remove = db.prepare("DELETE FROM CLIENTE WHERE ID = ?1;");
    auto forget = db.prepare("DELETE FROM SYNC_CLIENTE WHERE ID = ?1;");
    auto resend = db.prepare("UPDATE SYNC_CLIENTE SET VERSIONE = ?2, CAMBIATO = 1 WHERE ID = ?1;");
    auto withdraw = db.prepare("INSERT OR IGNORE INTO SYNC_CLIENTE_VIA (CODICE) VALUES (?1);");
    for (auto* st :
         {&same, &update, &insert, &settle, &orders, &remove, &forget, &resend, &withdraw})
        if (!*st)
            return st->error();
    auto run = [](Result<Statement>& st) {
        Status s = (*st).run();
        st->reset();
        return s;
    };
    for (int r = 0; r < customers.count(); ++r) {
        if (!customers.boolean(r, kOwnColumn))
            continue;
        const QString code = customers.text(r, 0);
        const std::optional<QString> name = customers.textOrNull(r, 1);
        const std::optional<QString> town = customers.textOrNull(r, 2);
        const std::optional<QString> province = customers.textOrNull(r, 3);
        const std::int64_t version = customers.int64(r, 4);
        const bool deleted = customers.boolean(r, 5);
        std::optional<std::int64_t> id;
        if (auto k = known->constFind(code); k != known->cend()) {
            // Already this version here (this file sent it), or changed here since: the push
            // settles which change wins.
            if (k->version == version || k->changes > 0)
                continue;
            id = k->id;
        } else if (deleted) {
            continue;
        } else {
            same->reset();
            if (same->bind(1, code).next()) {
                // The office's customer of this code wins here: the agent's own goes.
                if (!same->isNull(1) && same->int64(1) == 1) {
                    withdraw->bind(1, code);
                    if (Status s = run(withdraw); !s)
                        return s;
                    continue;
                }
                // Made here with this code and not yet sent: its push settles it.
                if (!same->isNull(2) && same->int64(2) > 0)
                    continue;
                id = same->int64(0);
            } else if (!same->status()) {
                return same->status();
            }
        }
        ++report.customersReceived;
        if (deleted) {
            orders->reset();
            const bool used = orders->bind(1, code).next();
            if (!orders->status())
                return orders->status();
            if (used) {
                // Orders here still need it: it stays, and goes up again.
                resend->bind(1, *id).bind(2, version);
                if (Status s = run(resend); !s)
                    return s;
                continue;
            }
            remove->bind(1, *id);
            if (Status s = run(remove); !s)
                return s;
            forget->bind(1, *id);
            if (Status s = run(forget); !s)
                return s;
            continue;
        }
        if (id) {
            update->bind(1, *id).bind(2, code).bind(3, name).bind(4, town).bind(5, province);
            if (Status s = run(update); !s)
                return s;
            if (db.changes() == 0)
                id.reset();
        }
        if (!id) {
            insert->bind(1, code).bind(2, name).bind(3, town).bind(4, province);
            if (Status s = run(insert); !s)
                return s;
            id = db.lastInsertId();
        }
        settle->bind(1, *id).bind(2, code).bind(3, version);
        if (Status s = run(settle); !s)
            return s;
    }
    return {};
}

Result<std::int64_t> pendingCustomers(Database& db) {
    auto on = db.prepare("SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti';");
    if (!on)
        return on.error();
    const bool enabled = on->next();
    if (!on->status())
        return on->status().error();
    auto st = enabled ? db.prepare("SELECT (SELECT count(*) FROM SYNC_CLIENTE WHERE SEDE = 0 AND"
                                   " CAMBIATO > 0) + (SELECT count(*) FROM SYNC_CLIENTE_VIA);")
                      : db.prepare("SELECT count(*) FROM CLIENTE;");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? makeError(QStringLiteral("Il conto dei clienti da inviare non si "
                                                       "legge."))
                            : st->status().error();
    return st->int64(0);
}

} // namespace customersync
