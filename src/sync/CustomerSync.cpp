#include "CustomerSync.h"

#include "OwnCustomers.h"
#include "Sync.h"
#include "data/Database.h"

#include <QHash>

#include <vector>

namespace customersync {
namespace {

// A customer's fields as the file and the server hold them.
struct Fields {
    std::optional<QString> name;
    std::optional<QString> town;
    std::optional<QString> province;
};

// A customer of the agent changed since it last went up.
struct Pending {
    std::int64_t id = 0;
    std::int64_t changes = 0;
    // The code it has on the server; none when it never went up.
    std::optional<QString> serverCode;
    // Still in the file, with this code and these fields.
    bool exists = false;
    QString code;
    Fields fields;
    // What the server holds of it once the push is over.
    std::optional<QString> sentCode;
    std::int64_t version = 0;
    // The office has a customer of this code: that one is taken instead.
    bool office = false;
    Fields officeFields;
};

struct Request {
    std::int64_t id = 0;
    QString key;
    QString code;
    Fields fields;
    QString askedAt;
};

std::optional<QString> textOrNull(const Statement& st, int column) {
    if (st.isNull(column))
        return std::nullopt;
    return st.text(column);
}

// The first time, every customer of the file is the agent's and waits to go up; from then on
// the file's triggers count the changes.
Status enable(Database& db) {
    auto on = db.prepare("SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti';");
    if (on && on->next())
        return {};
    return db.write([&]() -> Status {
        auto again = db.prepare("SELECT 1 FROM SYNC_STATO WHERE CHIAVE = 'clienti';");
        if (!again)
            return again.error();
        if (again->next())
            return {};
        if (!again->status())
            return again->status();
        return db.exec(
            "INSERT OR IGNORE INTO SYNC_CLIENTE (ID, CAMBIATO) SELECT ID, 1 FROM CLIENTE;"
            "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('clienti', '1');");
    });
}

Status readPending(Database& db, std::vector<Pending>& pending, std::vector<Request>& requests,
                   QStringList& withdrawn) {
    if (Status s = db.exec("BEGIN;"); !s)
        return s;
    auto read = [&]() -> Status {
        auto st = db.prepare("SELECT s.ID, s.CAMBIATO, s.CODICE, c.ID IS NOT NULL, c.CODICE,"
                             " c.SOGGETTO, c.CITTA, c.PROVINCIA FROM SYNC_CLIENTE s"
                             " LEFT JOIN CLIENTE c ON c.ID = s.ID"
                             " WHERE s.SEDE = 0 AND s.CAMBIATO > 0 ORDER BY s.ID;");
        if (!st)
            return st.error();
        while (st->next()) {
            Pending p;
            p.id = st->int64(0);
            p.changes = st->int64(1);
            p.serverCode = textOrNull(*st, 2);
            p.exists = st->int64(3) != 0;
            p.code = st->text(4);
            p.fields = {textOrNull(*st, 5), textOrNull(*st, 6), textOrNull(*st, 7)};
            pending.push_back(std::move(p));
        }
        if (!st->status())
            return st->status();
        auto rq = db.prepare("SELECT ID, CHIAVE, CODICE, SOGGETTO, CITTA, PROVINCIA, CHIESTA_IL"
                             " FROM SYNC_RICHIESTA WHERE INVIATA = 0 ORDER BY ID;");
        if (!rq)
            return rq.error();
        while (rq->next())
            requests.push_back({rq->int64(0), rq->text(1), rq->text(2),
                                Fields{textOrNull(*rq, 3), textOrNull(*rq, 4), textOrNull(*rq, 5)},
                                rq->text(6)});
        if (!rq->status())
            return rq->status();
        auto gone = db.prepare("SELECT CODICE FROM SYNC_CLIENTE_VIA;");
        if (!gone)
            return gone.error();
        while (gone->next())
            withdrawn << gone->text(0);
        return gone->status();
    };
    Status s = read();
    // Only a read snapshot ends here: nothing is lost if its end fails.
    (void)db.exec("COMMIT;");
    return s;
}

// The agent's customers going up, in a table of the transaction.
const char* const kIncoming =
    "CREATE TEMP TABLE in_cliente (codice text PRIMARY KEY, soggetto text,"
    " citta text, provincia text) ON COMMIT DROP";

// Codes the office holds are the office's: those customers are not sent, and the office's
// fields are taken instead.
const char* const kOfficeHolds =
    "DELETE FROM in_cliente i USING cliente c WHERE c.proprietario = '' AND NOT c.cancellato"
    " AND c.codice = i.codice RETURNING c.codice, c.soggetto, c.citta, c.provincia, c.versione";

const char* const kWithdraw = "UPDATE cliente SET cancellato = true, versione = versione + 1"
                              " WHERE proprietario = current_user AND NOT cancellato"
                              " AND codice = ANY($1::text[])";

// Writes the agent's customers, a version moving on only when its content does: the same push
// made twice counts once.
const char* const kUpsert =
    "INSERT INTO cliente (codice, soggetto, citta, provincia)"
    " SELECT codice, soggetto, citta, provincia FROM in_cliente"
    " ON CONFLICT (proprietario, codice) DO UPDATE SET"
    " soggetto = EXCLUDED.soggetto, citta = EXCLUDED.citta, provincia = EXCLUDED.provincia,"
    " cancellato = false, versione = cliente.versione + 1"
    " WHERE (cliente.soggetto, cliente.citta, cliente.provincia, cliente.cancellato)"
    " IS DISTINCT FROM (EXCLUDED.soggetto, EXCLUDED.citta, EXCLUDED.provincia, false)";

const char* const kVersions = "SELECT c.codice, c.versione FROM cliente c JOIN in_cliente i"
                              " ON i.codice = c.codice WHERE c.proprietario = current_user";

const char* const kOneAtATime = "SELECT pg_advisory_xact_lock(4713002, hashtext(current_user))";

const char* const kAsk =
    "INSERT INTO richiesta_cliente (chiave, codice, soggetto, citta, provincia, chiesta_il)"
    " VALUES ($1, $2, $3, $4, $5, $6::timestamptz) ON CONFLICT (agente, chiave) DO NOTHING";

Status sendCustomers(pg::Connection& c, std::vector<Pending>& pending, const QStringList& withdrawn,
                     agencysync::Report& report) {
    // One row per code, the last customer of the file with it.
    QHash<QString, std::size_t> byCode;
    for (std::size_t i = 0; i < pending.size(); ++i)
        if (pending[i].exists && !pending[i].code.isEmpty())
            byCode.insert(pending[i].code, i);
    if (Status s = c.command(kIncoming); !s)
        return s;
    std::vector<QByteArray> pieces(1);
    for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
        const Pending& p = pending[it.value()];
        QByteArray& out = pieces.back();
        pg::appendCopyField(out, p.code.toUtf8());
        pg::appendCopyField(out, p.fields.name);
        pg::appendCopyField(out, p.fields.town);
        pg::appendCopyField(out, p.fields.province);
        pg::endCopyLine(out);
        if (out.size() > (1 << 20))
            pieces.emplace_back();
    }
    if (Status s = c.copyIn("COPY in_cliente FROM STDIN", pieces); !s)
        return s;
    auto office = c.query(kOfficeHolds, pg::Shape("tttti"));
    if (!office)
        return office.error();
    QHash<QString, int> officeRow;
    for (int r = 0; r < office->count(); ++r)
        officeRow.insert(office->text(r, 0), r);
    // The codes the agent's customers had on the server and have no more.
    QByteArray gone("{");
    for (const QString& code : withdrawn)
        if (!byCode.contains(code) || officeRow.contains(code))
            pg::appendArrayItem(gone, code);
    for (Pending& p : pending) {
        const bool live = p.exists && !p.code.isEmpty();
        if (live)
            if (auto it = officeRow.constFind(p.code); it != officeRow.cend()) {
                p.office = true;
                p.officeFields = {office->textOrNull(*it, 1), office->textOrNull(*it, 2),
                                  office->textOrNull(*it, 3)};
                p.version = office->int64(*it, 4);
            }
        if (p.serverCode && (!live || p.office || *p.serverCode != p.code) &&
            (!byCode.contains(*p.serverCode) || officeRow.contains(*p.serverCode)))
            pg::appendArrayItem(gone, *p.serverCode);
    }
    gone += '}';
    if (Status s = c.command(kWithdraw, pg::Params().addBytes(gone)); !s)
        return s;
    if (Status s = c.command(kUpsert); !s)
        return s;
    auto versions = c.query(kVersions, pg::Shape("ti"));
    if (!versions)
        return versions.error();
    QHash<QString, std::int64_t> version;
    for (int r = 0; r < versions->count(); ++r)
        version.insert(versions->text(r, 0), versions->int64(r, 1));
    for (Pending& p : pending) {
        if (!p.exists || p.code.isEmpty() || p.office) {
            // A deletion of a customer the server had is a change sent too.
            if (!p.exists && p.serverCode)
                ++report.customersSent;
            continue;
        }
        p.sentCode = p.code;
        p.version = version.value(p.code);
        ++report.customersSent;
    }
    return {};
}

Status writeServer(pg::Connection& c, std::vector<Pending>& pending,
                   const std::vector<Request>& requests, const QStringList& withdrawn,
                   agencysync::Report& report) {
    if (Status s = c.begin(); !s)
        return s;
    auto run = [&]() -> Status {
        // One push of the agent's customers at a time: two machines of one login withdrawing
        // and writing the same customers in turn would otherwise wait on each other.
        if (Status s = c.command(kOneAtATime); !s)
            return s;
        if (Status s = sendCustomers(c, pending, withdrawn, report); !s)
            return s;
        for (const Request& r : requests) {
            if (Status s = c.command(kAsk, pg::Params()
                                               .add(r.key)
                                               .add(r.code)
                                               .add(r.fields.name)
                                               .add(r.fields.town)
                                               .add(r.fields.province)
                                               .add(r.askedAt));
                !s)
                return s;
            ++report.requestsSent;
        }
        return {};
    };
    Status s = run();
    if (!s) {
        c.rollback();
        return s;
    }
    return c.commit();
}

// Records in the file what the server now holds. A customer changed again meanwhile stays
// pending; one the office holds becomes the office's here.
Status markSent(Database& db, const std::vector<Pending>& pending,
                const std::vector<Request>& requests, const QStringList& withdrawn) {
    return db.write([&]() -> Status {
        auto mark = db.prepare("UPDATE SYNC_CLIENTE SET CODICE = ?2, VERSIONE = ?3,"
                               " CAMBIATO = CASE WHEN CAMBIATO = ?4 THEN 0 ELSE CAMBIATO END"
                               " WHERE ID = ?1;");
        auto forget = db.prepare("DELETE FROM SYNC_CLIENTE WHERE ID = ?1 AND NOT EXISTS"
                                 " (SELECT 1 FROM CLIENTE WHERE ID = ?1);");
        auto office = db.prepare("UPDATE CLIENTE SET SOGGETTO = ?2, CITTA = ?3, PROVINCIA = ?4"
                                 " WHERE ID = ?1;");
        auto tie = db.prepare("INSERT OR REPLACE INTO SYNC_CLIENTE (ID, SEDE, CODICE, VERSIONE,"
                              " CAMBIATO) VALUES (?1, 1, ?2, ?3, 0);");
        auto sent = db.prepare("UPDATE SYNC_RICHIESTA SET INVIATA = 1 WHERE ID = ?1;");
        auto gone = db.prepare("DELETE FROM SYNC_CLIENTE_VIA WHERE CODICE = ?1;");
        for (auto* st : {&mark, &forget, &office, &tie, &sent, &gone})
            if (!*st)
                return st->error();
        for (const Pending& p : pending) {
            if (!p.exists) {
                forget->reset();
                if (Status s = forget->bind(1, p.id).run(); !s)
                    return s;
                continue;
            }
            if (p.office) {
                office->reset();
                office->bind(1, p.id).bind(2, p.officeFields.name).bind(3, p.officeFields.town);
                if (Status s = office->bind(4, p.officeFields.province).run(); !s)
                    return s;
                tie->reset();
                if (Status s = tie->bind(1, p.id).bind(2, p.code).bind(3, p.version).run(); !s)
                    return s;
                continue;
            }
            mark->reset();
            mark->bind(1, p.id).bind(2, p.sentCode).bind(3, p.version).bind(4, p.changes);
            if (Status s = mark->run(); !s)
                return s;
        }
        for (const Request& r : requests) {
            sent->reset();
            if (Status s = sent->bind(1, r.id).run(); !s)
                return s;
        }
        for (const QString& code : withdrawn) {
            gone->reset();
            if (Status s = gone->bind(1, code).run(); !s)
                return s;
        }
        return {};
    });
}

// The rows written by a transaction the last view did not see: exactly the changes since. The
// office's customers, and the agent's own as its other machines wrote them (all of them, $2,
// the first time a file takes them); the last column tells the agent's own.
const char* const kChanges =
    "SELECT codice, soggetto, citta, provincia, versione, cancellato, proprietario <> ''"
    " FROM cliente WHERE (proprietario = '' OR proprietario = current_user) AND"
    " (($2::boolean AND proprietario <> '') OR $1::text IS NULL OR"
    " (xv >= pg_snapshot_xmin($1::text::pg_snapshot) AND"
    " NOT pg_visible_in_snapshot(xv, $1::text::pg_snapshot)))";
const char* const kAnswers =
    "SELECT chiave, stato FROM richiesta_cliente WHERE agente = current_user"
    " AND stato <> 'aperta' AND ($1::text IS NULL OR"
    " (xv >= pg_snapshot_xmin($1::text::pg_snapshot) AND"
    " NOT pg_visible_in_snapshot(xv, $1::text::pg_snapshot)))";

} // namespace

Status push(Database& db, pg::Connection& server, agencysync::Report& report) {
    if (Status s = enable(db); !s)
        return s;
    std::vector<Pending> pending;
    std::vector<Request> requests;
    QStringList withdrawn;
    if (Status s = readPending(db, pending, requests, withdrawn); !s)
        return s;
    if (pending.empty() && requests.empty() && withdrawn.isEmpty())
        return {};
    // A server not yet brought to hold customers: they wait here until it does.
    auto present = server.query("SELECT to_regclass('cliente') IS NOT NULL", pg::Shape::one("b"));
    if (!present)
        return present.error();
    if (!present->boolean(0, 0))
        return {};
    agencysync::Report here;
    if (Status s = writeServer(server, pending, requests, withdrawn, here); !s)
        return s;
    if (Status s = markSent(db, pending, requests, withdrawn); !s)
        return s;
    report.customersSent += here.customersSent;
    report.requestsSent += here.requestsSent;
    return {};
}

Status read(Database& db, pg::Connection& c, const pg::Params& since, pg::Rows& customers,
            pg::Rows& requests) {
    auto present = c.query("SELECT to_regclass('cliente') IS NOT NULL", pg::Shape::one("b"));
    if (!present)
        return present.error();
    if (!present->boolean(0, 0))
        return {};
    pg::Params withOwn = since;
    withOwn.add(ownFromStart(db) ? "true" : "false");
    auto changed = c.query(kChanges, pg::Shape("ttttibb"), withOwn);
    if (!changed)
        return changed.error();
    customers = std::move(*changed);
    auto answers = c.query(kAnswers, pg::Shape("tt"), since);
    if (!answers)
        return answers.error();
    requests = std::move(*answers);
    return {};
}

Status apply(Database& db, const pg::Rows& customers, const pg::Rows& requests,
             agencysync::Report& report) {
    auto tied = db.prepare("SELECT ID FROM SYNC_CLIENTE WHERE SEDE = 1 AND CODICE = ?1;");
    auto same = db.prepare("SELECT c.ID, s.CODICE FROM CLIENTE c LEFT JOIN SYNC_CLIENTE s"
                           " ON s.ID = c.ID WHERE c.CODICE = ?1 ORDER BY c.ID LIMIT 1;");
    auto update = db.prepare("UPDATE CLIENTE SET SOGGETTO = ?2, CITTA = ?3, PROVINCIA = ?4"
                             " WHERE ID = ?1;");
    auto insert = db.prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA)"
                             " VALUES (?1, ?2, ?3, ?4);");
    auto tie = db.prepare("INSERT OR REPLACE INTO SYNC_CLIENTE (ID, SEDE, CODICE, VERSIONE,"
                          " CAMBIATO) VALUES (?1, 1, ?2, ?3, 0);");
    auto orders = db.prepare("SELECT 1 FROM ORDINE WHERE ID_CL = ?1 LIMIT 1;");
    auto remove = db.prepare("DELETE FROM CLIENTE WHERE ID = ?1;");
    // A customer the office withdrew that orders here still use stays, as the agent's own: it
    // goes up as such at the next push.
    auto untie = db.prepare("UPDATE SYNC_CLIENTE SET SEDE = 0, CODICE = NULL, CAMBIATO = 1"
                            " WHERE ID = ?1;");
    auto withdraw = db.prepare("INSERT OR IGNORE INTO SYNC_CLIENTE_VIA (CODICE) VALUES (?1);");
    auto answer = db.prepare("UPDATE SYNC_RICHIESTA SET STATO = ?2 WHERE CHIAVE = ?1;");
    for (auto* st :
         {&tied, &same, &update, &insert, &tie, &orders, &remove, &untie, &withdraw, &answer})
        if (!*st)
            return st->error();
    for (int r = 0; r < customers.count(); ++r) {
        // The agent's own come after the office's.
        if (customers.boolean(r, kOwnColumn))
            continue;
        const QString code = customers.text(r, 0);
        const std::optional<QString> name = customers.textOrNull(r, 1);
        const std::optional<QString> town = customers.textOrNull(r, 2);
        const std::optional<QString> province = customers.textOrNull(r, 3);
        const std::int64_t version = customers.int64(r, 4);
        tied->reset();
        std::optional<std::int64_t> id;
        if (tied->bind(1, code).next())
            id = tied->int64(0);
        else if (!tied->status())
            return tied->status();
        if (customers.boolean(r, 5)) {
            if (!id)
                continue;
            orders->reset();
            const bool used = orders->bind(1, code).next();
            if (!orders->status())
                return orders->status();
            auto& st = used ? untie : remove;
            st->reset();
            if (Status s = st->bind(1, *id).run(); !s)
                return s;
            ++report.customersReceived;
            continue;
        }
        if (!id) {
            // A customer of the agent with the office's code becomes the office's; its own row
            // on the server is withdrawn at the next push.
            same->reset();
            if (same->bind(1, code).next()) {
                id = same->int64(0);
                if (!same->isNull(1)) {
                    withdraw->reset();
                    if (Status s = withdraw->bind(1, same->text(1)).run(); !s)
                        return s;
                }
            } else if (!same->status()) {
                return same->status();
            }
        }
        if (id) {
            update->reset();
            update->bind(1, *id).bind(2, name).bind(3, town).bind(4, province);
            if (Status s = update->run(); !s)
                return s;
        } else {
            insert->reset();
            insert->bind(1, code).bind(2, name).bind(3, town).bind(4, province);
            if (Status s = insert->run(); !s)
                return s;
            id = db.lastInsertId();
        }
        tie->reset();
        if (Status s = tie->bind(1, *id).bind(2, code).bind(3, version).run(); !s)
            return s;
        ++report.customersReceived;
    }
    if (Status s = applyOwn(db, customers, report); !s)
        return s;
    for (int r = 0; r < requests.count(); ++r) {
        answer->reset();
        if (Status s = answer->bind(1, requests.text(r, 0)).bind(2, requests.text(r, 1)).run(); !s)
            return s;
    }
    return {};
}

} // namespace customersync
