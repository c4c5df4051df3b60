#include "OrderLines.h"
#include "PendingRead.h"
#include "Pg.h"
#include "Sync.h"
#include "data/Database.h"

#include <QElapsedTimer>
#include <QSysInfo>

#include <map>
#include <set>

namespace agencysync {
namespace {

using Key = std::pair<QString, QString>;

using Pending = pendingread::Order;

// What the server holds of an order once the push is over.
struct Outcome {
    std::int64_t version = 0;
    QByteArray fingerprint;
    // The server's lines replace the file's: the other machine's change reached it first.
    bool takeServer = false;
    std::vector<orderlines::Line> serverLines;
};

// The name this file's machine goes by on the server: the one kept in the file, or the host's.
QString machineName(Database& db) {
    auto st = db.prepare("SELECT VALORE FROM SYNC_STATO WHERE CHIAVE = 'macchina';");
    if (st && st->next() && !st->text(0).trimmed().isEmpty())
        return st->text(0).trimmed();
    return QSysInfo::machineHostName();
}

// Sends the orders to the temporary tables, their lines in the text they were read in.
Status sendRows(pg::Connection& c, pendingread::Pending& pending, const QString& machine) {
    if (Status s = c.command(
            "CREATE TEMP TABLE in_ordine (anno text, nr text, base bigint, impronta text,"
            " cambiato_il timestamptz, cancellato boolean, macchina text,"
            // The agent as a column: the server's tables are looked up by it through their keys.
            // Compared with current_user itself they would not be, as row-level security keeps
            // that comparison for after the lookup.
            " agente text NOT NULL DEFAULT current_user,"
            // The order's place among those sent, given when the server refuses some.
            " n bigint) ON COMMIT DROP;"
            "CREATE TEMP TABLE in_riga (anno text, nr text, riga integer, id_cl text,"
            " datao text, datac text, dest text, citta text, pr text, articolo text,"
            " codice text, formato text, peso double precision, qvendita double precision,"
            " qomaggio double precision, prezzo double precision, sconto double precision,"
            " note text) ON COMMIT DROP;");
        !s)
        return s;
    std::vector<QByteArray> heads(1);
    const QByteArray from = machine.toUtf8();
    for (const auto& [key, p] : pending.orders) {
        QByteArray& h = heads.back();
        pg::appendCopyField(h, key.first.toUtf8());
        pg::appendCopyField(h, key.second.toUtf8());
        h += QByteArray::number(qlonglong(p.version));
        h += '\t';
        pg::appendCopyField(h, p.fingerprint);
        pg::appendCopyField(h, p.changedAt.isEmpty() ? QByteArrayLiteral("now")
                                                     : p.changedAt.toUtf8());
        h += p.lines == 0 ? "t\t" : "f\t";
        pg::appendCopyField(h, from);
        pg::endCopyLine(h);
        if (h.size() > (1 << 20))
            heads.emplace_back();
    }
    if (Status s = c.copyIn("COPY in_ordine (anno, nr, base, impronta, cambiato_il, cancellato,"
                            " macchina) FROM STDIN",
                            heads);
        !s)
        return s;
    if (Status s = c.copyIn("COPY in_riga FROM STDIN", pending.lines); !s)
        return s;
    // The text is on the server: its memory goes back at once.
    std::vector<QByteArray>().swap(pending.lines);
    // The server learns how few orders came, so that a small push looks its orders up by key
    // instead of reading all the agent's lines.
    return c.command("ANALYZE in_ordine");
}

// The orders whose server copy moved on since the version this file's change was based on, with
// a different content: changed on another machine too, and sent there first. The server's
// version stays, as the other machine sent it; this file's is kept as a copy on the server. The
// machines' clocks decide nothing.
Status settleConflicts(pg::Connection& c, std::map<Key, Outcome>& outcomes, Report& report) {
    auto rows = c.query("SELECT i.anno, i.nr, coalesce(o.macchina, ''), o.cancellato"
                        " FROM in_ordine i JOIN ordine o ON o.agente = i.agente"
                        " AND o.anno = i.anno AND o.nr = i.nr"
                        " WHERE o.versione <> i.base AND o.impronta <> i.impronta"
                        " ORDER BY i.anno, i.nr FOR UPDATE OF o",
                        pg::Shape("tttb"));
    if (!rows)
        return rows.error();
    for (int r = 0; r < rows->count(); ++r) {
        const QString anno = rows->text(r, 0);
        const QString nr = rows->text(r, 1);
        const QString other = rows->text(r, 2).trimmed();
        const bool deleted = rows->boolean(r, 3);
        pg::Params key;
        key.add(anno).add(nr);
        if (Status s =
                c.command("INSERT INTO ordine_copia (anno, nr, impronta, cambiato_il, macchina,"
                          " righe) SELECT i.anno, i.nr, i.impronta, i.cambiato_il, i.macchina,"
                          " coalesce((SELECT"
                          " string_agg(row_to_json(r)::text, E'\\n' ORDER BY r.riga) FROM in_riga r"
                          " WHERE r.anno = i.anno AND r.nr = i.nr), '')"
                          " FROM in_ordine i WHERE i.anno = $1 AND i.nr = $2"
                          " ON CONFLICT (agente, anno, nr, impronta) DO NOTHING",
                          key);
            !s)
            return s;
        auto server = c.query(
            "SELECT o.versione, o.impronta, r.id_cl, r.datao, r.datac, r.dest,"
            " r.citta, r.pr, r.articolo, r.codice, r.formato, r.peso, r.qvendita, r.qomaggio,"
            " r.prezzo, r.sconto, r.note, r.riga FROM in_ordine i JOIN ordine o"
            " ON o.agente = i.agente AND o.anno = i.anno AND o.nr = i.nr LEFT JOIN ordine_riga r"
            " ON r.agente = o.agente AND r.anno = o.anno AND r.nr = o.nr"
            " WHERE i.anno = $1 AND i.nr = $2 ORDER BY r.riga",
            pg::Shape("i"
                      "tttttttttt"
                      "nnnnn"
                      "ti"),
            key);
        if (!server)
            return server.error();
        Outcome& out = outcomes[{anno, nr}];
        out.takeServer = true;
        for (int i = 0; i < server->count(); ++i) {
            out.version = server->int64(i, 0);
            out.fingerprint = server->bytes(i, 1);
            if (!server->isNull(i, 17))
                out.serverLines.push_back(orderlines::fromRows(*server, i, 2));
        }
        if (Status s = c.command("DELETE FROM in_ordine WHERE anno = $1 AND nr = $2", key); !s)
            return s;
        const QString where = other.isEmpty() ? QStringLiteral("su un altro computer")
                                              : QStringLiteral("sul computer \"%1\"").arg(other);
        report.conflicts
            << (deleted ? QStringLiteral("L'ordine %1 dell'anno %2 era stato cancellato %3, "
                                         "che ha inviato per primo la cancellazione: "
                                         "l'ordine è stato tolto anche qui; la versione "
                                         "di questo computer è salvata come copia sul "
                                         "server.")
                        : QStringLiteral("L'ordine %1 dell'anno %2 era stato cambiato anche "
                                         "%3, che ha inviato per primo la sua versione: "
                                         "è stata tenuta quella; quella di questo "
                                         "computer è salvata come copia sul server."))
                   .arg(nr, anno, where);
    }
    return {};
}

// Writes the orders left to send, all of them or only those numbered from $1 to $2 (in_ordine.n):
// the lines they had go, their heads and new lines come. What the server then holds of each is
// added to `written`.
Status writeOrders(pg::Connection& c, bool part, const pg::Params& range,
                   std::map<Key, Outcome>& written) {
    const QByteArray only = part ? " AND i.n BETWEEN $1 AND $2" : "";
    const QByteArray drop = "DELETE FROM ordine_riga r USING in_ordine i WHERE r.agente = i.agente"
                            " AND r.anno = i.anno AND r.nr = i.nr" +
                            only;
    if (Status s = c.command(drop.constData(), range); !s)
        return s;
    const QByteArray heads =
        "INSERT INTO ordine (anno, nr, impronta, cambiato_il, cancellato, macchina)"
        " SELECT anno, nr, impronta, cambiato_il, cancellato, macchina FROM in_ordine i"
        " WHERE true" +
        only +
        " ON CONFLICT (agente, anno, nr) DO UPDATE SET versione = ordine.versione + 1,"
        " impronta = EXCLUDED.impronta, cambiato_il = EXCLUDED.cambiato_il,"
        " cancellato = EXCLUDED.cancellato, macchina = EXCLUDED.macchina"
        " RETURNING anno, nr, versione, impronta";
    auto done = c.query(heads.constData(), pg::Shape("ttit"), range);
    if (!done)
        return done.error();
    for (int r = 0; r < done->count(); ++r) {
        Outcome& out = written[{done->text(r, 0), done->text(r, 1)}];
        out.version = done->int64(r, 2);
        out.fingerprint = done->bytes(r, 3);
    }
    const QByteArray lines =
        "INSERT INTO ordine_riga (anno, nr, riga, id_cl, datao, datac, dest, citta,"
        " pr, articolo, codice, formato, peso, qvendita, qomaggio, prezzo, sconto,"
        " note) SELECT r.anno, r.nr, r.riga, r.id_cl, r.datao, r.datac, r.dest,"
        " r.citta, r.pr, r.articolo, r.codice, r.formato, r.peso, r.qvendita,"
        " r.qomaggio, r.prezzo, r.sconto, r.note FROM in_riga r"
        " JOIN in_ordine i ON i.anno = r.anno AND i.nr = r.nr" +
        only;
    return c.command(lines.constData(), range);
}

// The orders written, each counted once; on a refusal of the server's, the orders whose data it
// refuses are found by halves (each part tried in a savepoint of its own), set aside and named,
// and the others written.
Status writeAccepted(pg::Connection& c, std::map<Key, Outcome>& outcomes, std::set<Key>& refused,
                     Report& report) {
    auto take = [&](std::map<Key, Outcome>& written) {
        for (auto& [key, out] : written) {
            outcomes[key] = std::move(out);
            ++report.ordersSent;
        }
    };
    if (Status s = c.command("SAVEPOINT ordini"); !s)
        return s;
    std::map<Key, Outcome> written;
    Status whole = writeOrders(c, false, {}, written);
    if (whole) {
        take(written);
        return {};
    }
    if (!serverfailure::is(whole.error(), serverfailure::DataRefused))
        return whole;
    if (Status s = c.command(
            "ROLLBACK TO SAVEPOINT ordini;"
            "UPDATE in_ordine i SET n = k.n FROM (SELECT anno, nr, row_number() OVER"
            " (ORDER BY anno, nr) AS n FROM in_ordine) k WHERE k.anno = i.anno AND k.nr = i.nr;");
        !s)
        return s;
    auto count = c.query("SELECT count(*) FROM in_ordine", pg::Shape::one("i"));
    if (!count)
        return count.error();
    std::vector<std::pair<std::int64_t, std::int64_t>> parts{{1, count->int64(0, 0)}};
    while (!parts.empty()) {
        const auto [from, to] = parts.back();
        parts.pop_back();
        if (from > to)
            continue;
        if (Status s = c.command("SAVEPOINT parte"); !s)
            return s;
        written.clear();
        const Status tried = writeOrders(c, true, pg::Params().add(from).add(to), written);
        if (tried) {
            if (Status s = c.command("RELEASE SAVEPOINT parte"); !s)
                return s;
            take(written);
            continue;
        }
        if (!serverfailure::is(tried.error(), serverfailure::DataRefused))
            return tried;
        if (Status s = c.command("ROLLBACK TO SAVEPOINT parte"); !s)
            return s;
        if (from < to) {
            const std::int64_t half = from + (to - from) / 2;
            parts.push_back({half + 1, to});
            parts.push_back({from, half});
            continue;
        }
        auto which = c.query("SELECT anno, nr FROM in_ordine WHERE n = $1", pg::Shape::one("tt"),
                             pg::Params().add(from));
        if (!which)
            return which.error();
        const Key key{which->text(0, 0), which->text(0, 1)};
        refused.insert(key);
        report.refused << serverfailure::withDetail(
            QStringLiteral("l'ordine %1/%2 non è stato inviato: il server non ne accetta i dati.")
                .arg(key.second, key.first),
            c.lastDetail());
    }
    return {};
}

Status writeServer(pg::Connection& c, pendingread::Pending& pending, const QString& machine,
                   std::map<Key, Outcome>& outcomes, std::set<Key>& refused, Report& report) {
    if (Status s = c.begin(); !s)
        return s;
    // Two machines of one agent pushing at once take turns: each then finds the orders the
    // other wrote, instead of both rewriting the same lines and one failing on the other.
    Status s = c.command("SELECT pg_advisory_xact_lock(4713003, hashtext(current_user))");
    if (s)
        s = sendRows(c, pending, machine);
    if (s)
        s = settleConflicts(c, outcomes, report);
    // Orders the server already holds as they are here: a push whose end this file never
    // heard of, or the same change made twice.
    if (s) {
        auto same = c.query("DELETE FROM in_ordine i USING ordine o WHERE o.agente = i.agente"
                            " AND o.anno = i.anno AND o.nr = i.nr AND o.impronta = i.impronta"
                            " RETURNING i.anno, i.nr, o.versione, o.impronta",
                            pg::Shape("ttit"));
        if (!same)
            s = same.error();
        else
            for (int r = 0; r < same->count(); ++r) {
                Outcome& out = outcomes[{same->text(r, 0), same->text(r, 1)}];
                out.version = same->int64(r, 2);
                out.fingerprint = same->bytes(r, 3);
            }
    }
    // A deletion of an order the server never had has nothing to send.
    if (s)
        s = c.command("DELETE FROM in_ordine i WHERE i.cancellato AND i.base = 0"
                      " AND NOT EXISTS (SELECT 1 FROM ordine o WHERE o.agente = i.agente"
                      " AND o.anno = i.anno AND o.nr = i.nr);");
    if (s)
        s = writeAccepted(c, outcomes, refused, report);
    if (!s) {
        c.rollback();
        return s;
    }
    s = c.commit();
    return s;
}

// Orders recorded in one transaction of the file: short, so that the agent's own writes never
// wait long behind the sync.
constexpr int kMarkBatch = 500;

// Records in the file what the server now holds of the given orders; an order changed again
// meanwhile stays pending.
Status markBatch(Database& db, std::map<Key, Pending>::const_iterator from,
                 std::map<Key, Pending>::const_iterator to, const std::map<Key, Outcome>& outcomes,
                 const std::set<Key>& refused) {
    return db.write([&]() -> Status {
        // Found by its row, and still the same order. One row at a time, nothing for the engine
        // to undo within the statement: OR FAIL spares it the copy of every page the statement
        // touches (which the file's encryption makes costly) that it keeps to undo a statement.
        // An order changed again meanwhile stays pending, but what the server now holds is
        // recorded all the same: the next push builds on this file's own version, not on a
        // conflict with it.
        auto mark = db.prepare("UPDATE OR FAIL SYNC_ORDINE SET VERSIONE = ?3, IMPRONTA = ?4,"
                               " CAMBIATO = CASE WHEN CAMBIATO = ?5 THEN 0 ELSE CAMBIATO END"
                               " WHERE rowid = ?6 AND ANNO = ?1 AND NR = ?2;");
        if (!mark)
            return mark.error();
        auto still = db.prepare("SELECT CAMBIATO FROM SYNC_ORDINE WHERE ANNO = ?1 AND NR = ?2;");
        if (!still)
            return still.error();
        for (auto entry = from; entry != to; ++entry) {
            const Key& key = entry->first;
            const Pending& p = entry->second;
            // Refused by the server: it stays pending, as it is.
            if (refused.count(key))
                continue;
            auto it = outcomes.find(key);
            if (it == outcomes.end()) {
                // Deleted here before the server ever had it.
                if (p.lines == 0) {
                    mark->reset();
                    mark->bind(1, key.first).bind(2, key.second).bind(3, std::int64_t(0));
                    mark->bind(4, QString::fromLatin1(orderlines::deletedFingerprint()));
                    mark->bind(5, p.changes).bind(6, p.row);
                    if (Status s = mark->run(); !s)
                        return s;
                }
                continue;
            }
            const Outcome& out = it->second;
            if (out.takeServer) {
                still->reset();
                still->bind(1, key.first).bind(2, key.second);
                if (!still->next() || still->int64(0) != p.changes)
                    continue;
                still->reset();
                if (Status s = orderlines::replaceLocal(db, key.first, key.second, out.serverLines);
                    !s)
                    return s;
                // The lines just written counted as changes: they are the server's.
                auto settle = db.prepare("UPDATE SYNC_ORDINE SET CAMBIATO = 0, VERSIONE = ?3,"
                                         " IMPRONTA = ?4 WHERE ANNO = ?1 AND NR = ?2;");
                if (!settle)
                    return settle.error();
                settle->bind(1, key.first).bind(2, key.second).bind(3, out.version);
                settle->bind(4, QString::fromLatin1(out.fingerprint));
                if (Status s = settle->run(); !s)
                    return s;
                continue;
            }
            mark->reset();
            mark->bind(1, key.first).bind(2, key.second).bind(3, out.version);
            mark->bind(4, QString::fromLatin1(out.fingerprint)).bind(5, p.changes).bind(6, p.row);
            if (Status s = mark->run(); !s)
                return s;
        }
        return {};
    });
}

// Records in the file what the server now holds, a batch at a time. A cut between two batches
// leaves the rest pending: the next push finds them on the server as they are here and only
// records them.
Status markSent(Database& db, const std::map<Key, Pending>& pending,
                const std::map<Key, Outcome>& outcomes, const std::set<Key>& refused) {
    auto from = pending.begin();
    int batch = kMarkBatch;
    QElapsedTimer took;
    while (from != pending.end()) {
        auto to = from;
        for (int n = 0; n < batch && to != pending.end(); ++n)
            ++to;
        took.start();
        if (Status s = markBatch(db, from, to, outcomes, refused); !s)
            return s;
        from = to;
        // Quick batches grow, so that a large push is not a commit every few hundred orders;
        // slow ones shrink again, so that the agent's own writes never wait long.
        if (took.elapsed() < 50)
            batch = std::min(batch * 2, 64 * kMarkBatch);
        else if (took.elapsed() > 200)
            batch = std::max(batch / 2, kMarkBatch / 10);
    }
    return {};
}

} // namespace

Status push(Database& db, pg::Connection& server, Report& report) {
    pendingread::Pending pending;
    if (Status s = pendingread::read(db, pending); !s)
        return s;
    if (pending.orders.empty())
        return {};
    std::map<Key, Outcome> outcomes;
    std::set<Key> refused;
    Report here;
    if (Status s = writeServer(server, pending, machineName(db), outcomes, refused, here); !s)
        return s;
    if (Status s = markSent(db, pending.orders, outcomes, refused); !s)
        return s;
    report.ordersSent += here.ordersSent;
    report.conflicts << here.conflicts;
    report.refused << here.refused;
    return {};
}

} // namespace agencysync
