#include "CustomerSync.h"
#include "ListPull.h"
#include "OrderLines.h"
#include "Pg.h"
#include "Sync.h"
#include "data/Database.h"

#include <QDateTime>

#include <map>

namespace agencysync {
namespace {

struct ServerOrder {
    std::int64_t version = 0;
    QByteArray fingerprint;
    bool deleted = false;
    std::vector<orderlines::Line> lines;
};

// What the server changed since the view of the last pull, read in one view of its own.
struct Changes {
    QString snapshot;
    // The agent's login, as the server names it.
    QString agent;
    pg::Rows articles;
    pg::Rows principals;
    pg::Rows lists;
    pg::Rows prices;
    pg::Rows customers;
    pg::Rows requestAnswers;
    std::map<std::pair<QString, QString>, ServerOrder> orders;
};

std::optional<QString> lastSnapshot(Database& db) {
    auto st = db.prepare("SELECT VALORE FROM SYNC_STATO WHERE CHIAVE = 'istantanea';");
    if (st && st->next())
        return st->text(0);
    return std::nullopt;
}

// The state the file keeps of an order it has seen on the server.
struct Known {
    bool known = false;
    std::int64_t pending = 0;
    std::int64_t version = 0;
    QByteArray fingerprint;
};

Result<Known> knownState(Statement& state, const QString& anno, const QString& nr) {
    state.reset();
    state.bind(1, anno).bind(2, nr);
    Known k;
    if (state.next()) {
        k.known = true;
        k.pending = state.int64(0);
        k.fingerprint = state.text(1).toLatin1();
        k.version = state.int64(2);
    } else if (!state.status()) {
        return state.status().error();
    }
    state.reset();
    return k;
}

constexpr const char* kKnownSql = "SELECT CAMBIATO, IMPRONTA, VERSIONE FROM SYNC_ORDINE"
                                  " WHERE ANNO = ?1 AND NR = ?2;";

// The lines of the changed orders whose content the file does not hold yet. The orders this
// file itself just sent come back with the fingerprint it already records: only their heads
// travel, not their lines again.
Status readLines(Database& db, pg::Connection& c, Changes& out) {
    auto state = db.prepare(kKnownSql);
    if (!state)
        return state.error();
    QByteArray annos("{");
    QByteArray nrs("{");
    int wanted = 0;
    for (const auto& [key, o] : out.orders) {
        if (o.deleted)
            continue;
        auto k = knownState(*state, key.first, key.second);
        if (!k)
            return k.error();
        if (k->known && k->fingerprint == o.fingerprint)
            continue;
        pg::appendArrayItem(annos, key.first);
        pg::appendArrayItem(nrs, key.second);
        ++wanted;
    }
    if (wanted == 0)
        return {};
    annos += '}';
    nrs += '}';
    auto lines = c.queryLarge(
        "SELECT r.anno, r.nr, r.id_cl, r.datao, r.datac, r.dest, r.citta, r.pr,"
        " r.articolo, r.codice, r.formato, r.peso, r.qvendita, r.qomaggio,"
        " r.prezzo, r.sconto, r.note FROM ordine_riga r"
        " JOIN unnest($1::text[], $2::text[]) AS k(anno, nr)"
        " ON r.anno = k.anno AND r.nr = k.nr WHERE r.agente = $3"
        " ORDER BY r.anno, r.nr, r.riga",
        pg::Shape("tttttttttttnnnnnt"), pg::Params().addBytes(annos).addBytes(nrs).add(out.agent));
    if (!lines)
        return lines.error();
    for (int r = 0; r < lines->count(); ++r) {
        auto it = out.orders.find({lines->text(r, 0), lines->text(r, 1)});
        if (it != out.orders.end())
            it->second.lines.push_back(orderlines::fromRows(*lines, r, 2));
    }
    return {};
}

Status readServer(Database& db, pg::Connection& c, const std::optional<QString>& since,
                  Changes& out) {
    if (Status s = c.begin("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); !s)
        return s;
    auto run = [&]() -> Status {
        // The agent's name goes back as a value: compared with it, the lines are looked up
        // through their key, which row-level security does not allow for current_user itself.
        auto snap =
            c.query("SELECT pg_current_snapshot()::text, current_user::text", pg::Shape::one("tt"));
        if (!snap)
            return snap.error();
        out.snapshot = snap->text(0, 0);
        out.agent = snap->text(0, 1);
        pg::Params p;
        p.add(since);
        // Rows written by a transaction the last view did not see: exactly the changes since.
        auto changed = [&](const char* columns, const char* shape, const char* table,
                           pg::Rows& rows) -> Status {
            const QByteArray sql = QByteArray("SELECT ") + columns + " FROM " + table +
                                   " WHERE $1::text IS NULL OR"
                                   " (xv >= pg_snapshot_xmin($1::text::pg_snapshot) AND"
                                   " NOT pg_visible_in_snapshot(xv, $1::text::pg_snapshot))";
            auto r = c.query(sql.constData(), pg::Shape(shape), p);
            if (!r)
                return r.error();
            rows = std::move(*r);
            return {};
        };
        Status s = changed("codice, articolo, formato, peso, agg, cancellato", "tttntb", "articolo",
                           out.articles);
        if (s)
            s = changed("nome, email, cancellato", "ttb", "mandante", out.principals);
        if (s)
            s = changed(listpull::kListColumns, listpull::kListShape, "listino", out.lists);
        if (s)
            s = changed(listpull::kPriceColumns, listpull::kPriceShape, "prezzo_listino",
                        out.prices);
        if (s)
            s = customersync::read(db, c, p, out.customers, out.requestAnswers);
        if (!s)
            return s;
        auto heads = c.query("SELECT o.anno, o.nr, o.versione, o.impronta, o.cancellato"
                             " FROM ordine o WHERE o.agente = current_user AND ($1::text IS NULL"
                             " OR (o.xv >= pg_snapshot_xmin($1::text::pg_snapshot) AND"
                             " NOT pg_visible_in_snapshot(o.xv, $1::text::pg_snapshot)))",
                             pg::Shape("ttitb"), p);
        if (!heads)
            return heads.error();
        for (int r = 0; r < heads->count(); ++r) {
            ServerOrder& o = out.orders[{heads->text(r, 0), heads->text(r, 1)}];
            o.version = heads->int64(r, 2);
            o.fingerprint = heads->bytes(r, 3);
            o.deleted = heads->boolean(r, 4);
        }
        return readLines(db, c, out);
    };
    Status s = run();
    c.rollback();
    return s;
}

Status applyArticles(Database& db, const pg::Rows& rows) {
    auto update = db.prepare("UPDATE ARTICOLO SET ARTICOLO = ?2, FORMATO = ?3, PESO = ?4, AGG = ?5"
                             " WHERE CODICE = ?1;");
    auto insert = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG)"
                             " VALUES (?1, ?2, ?3, ?4, ?5);");
    auto remove = db.prepare("DELETE FROM ARTICOLO WHERE CODICE = ?1;");
    if (!update || !insert || !remove)
        return !update ? update.error() : !insert ? insert.error() : remove.error();
    for (int r = 0; r < rows.count(); ++r) {
        const QString code = rows.text(r, 0);
        if (rows.boolean(r, 5)) {
            remove->reset();
            if (Status s = remove->bind(1, code).run(); !s)
                return s;
            continue;
        }
        update->reset();
        update->bind(1, code).bind(2, rows.textOrNull(r, 1)).bind(3, rows.textOrNull(r, 2));
        update->bind(4, rows.realOrNull(r, 3)).bind(5, rows.textOrNull(r, 4));
        if (Status s = update->run(); !s)
            return s;
        if (db.changes() > 0)
            continue;
        insert->reset();
        insert->bind(1, code).bind(2, rows.textOrNull(r, 1)).bind(3, rows.textOrNull(r, 2));
        insert->bind(4, rows.realOrNull(r, 3)).bind(5, rows.textOrNull(r, 4));
        if (Status s = insert->run(); !s)
            return s;
    }
    return {};
}

// A principal's address for orders that the office does not hold leaves the agent's own.
Status applyPrincipals(Database& db, const pg::Rows& rows) {
    auto update = db.prepare("UPDATE MANDANTE SET EMAIL = coalesce(nullif(?2, ''), EMAIL)"
                             " WHERE NOME = ?1;");
    auto insert = db.prepare("INSERT INTO MANDANTE (NOME, EMAIL) VALUES (?1, ?2);");
    auto remove = db.prepare("DELETE FROM MANDANTE WHERE NOME = ?1;");
    if (!update || !insert || !remove)
        return !update ? update.error() : !insert ? insert.error() : remove.error();
    for (int r = 0; r < rows.count(); ++r) {
        const QString name = rows.text(r, 0);
        if (rows.boolean(r, 2)) {
            remove->reset();
            if (Status s = remove->bind(1, name).run(); !s)
                return s;
            continue;
        }
        update->reset();
        if (Status s = update->bind(1, name).bind(2, rows.textOrNull(r, 1)).run(); !s)
            return s;
        if (db.changes() > 0)
            continue;
        insert->reset();
        if (Status s = insert->bind(1, name).bind(2, rows.textOrNull(r, 1)).run(); !s)
            return s;
    }
    return {};
}

// The agent's orders written on another machine. An order changed here and not yet sent stays
// as it is: its push settles which change wins.
Status applyOrders(Database& db, const Changes& changes, Report& report) {
    auto state = db.prepare(kKnownSql);
    auto settle = db.prepare("INSERT OR REPLACE INTO SYNC_ORDINE (ANNO, NR, CAMBIATO, VERSIONE,"
                             " IMPRONTA) VALUES (?1, ?2, 0, ?3, ?4);");
    auto rebase = db.prepare("UPDATE SYNC_ORDINE SET VERSIONE = ?3 WHERE ANNO = ?1 AND NR = ?2;");
    if (!state || !settle || !rebase)
        return !state ? state.error() : !settle ? settle.error() : rebase.error();
    for (const auto& [key, o] : changes.orders) {
        auto k = knownState(*state, key.first, key.second);
        if (!k)
            return k.error();
        const bool known = k->known;
        const QByteArray& fingerprint = k->fingerprint;
        // Changed here since the file last saw the server: the next push sends it and settles
        // which change wins. When the server holds what the file last knew, only the version
        // the change builds on moves on.
        if (known && k->pending > 0) {
            if (fingerprint != o.fingerprint || k->version == o.version)
                continue;
            rebase->reset();
            if (Status s = rebase->bind(1, key.first).bind(2, key.second).bind(3, o.version).run();
                !s)
                return s;
            continue;
        }
        // Already recorded as the server holds it: the orders this file just sent.
        if (known && k->pending == 0 && fingerprint == o.fingerprint && k->version == o.version)
            continue;
        if (!known || fingerprint != o.fingerprint) {
            if (Status s =
                    orderlines::replaceLocal(db, key.first, key.second,
                                             o.deleted ? std::vector<orderlines::Line>{} : o.lines);
                !s)
                return s;
            ++report.ordersReceived;
        }
        settle->reset();
        settle->bind(1, key.first).bind(2, key.second).bind(3, o.version);
        settle->bind(4, QString::fromLatin1(o.fingerprint));
        if (Status s = settle->run(); !s)
            return s;
    }
    return {};
}

} // namespace

Status pull(Database& db, pg::Connection& server, Report& report) {
    Changes changes;
    if (Status s = readServer(db, server, lastSnapshot(db), changes); !s)
        return s;
    Report here;
    Status s = db.write([&]() -> Status {
        if (Status a = applyArticles(db, changes.articles); !a)
            return a;
        if (Status p = applyPrincipals(db, changes.principals); !p)
            return p;
        if (Status l = listpull::applyLists(db, changes.lists); !l)
            return l;
        if (Status l = listpull::applyPrices(db, changes.prices); !l)
            return l;
        if (Status o = applyOrders(db, changes, here); !o)
            return o;
        if (Status cs = customersync::apply(db, changes.customers, changes.requestAnswers, here);
            !cs)
            return cs;
        auto keep = db.prepare("INSERT OR REPLACE INTO SYNC_STATO (CHIAVE, VALORE)"
                               " VALUES (?1, ?2);");
        if (!keep)
            return keep.error();
        if (Status k = keep->bind(1, "istantanea").bind(2, changes.snapshot).run(); !k)
            return k;
        keep->reset();
        return keep->bind(1, "ultima")
            .bind(2, QDateTime::currentDateTimeUtc().toString(Qt::ISODate))
            .run();
    });
    if (!s)
        return s;
    report.ordersReceived += here.ordersReceived;
    report.customersReceived += here.customersReceived;
    report.articlesReceived += changes.articles.count();
    report.principalsReceived += changes.principals.count();
    report.pricesReceived += changes.prices.count();
    return {};
}

} // namespace agencysync
