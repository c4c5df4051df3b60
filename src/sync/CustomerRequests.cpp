#include "CustomerRequests.h"

#include "Pg.h"
#include "data/Database.h"

#include <QDateTime>

namespace customerrequests {
namespace {

const char* const kLoad =
    "INSERT INTO cliente (proprietario, codice, soggetto, citta, provincia)"
    " VALUES ('', $1, $2, $3, $4) ON CONFLICT (proprietario, codice) DO UPDATE SET"
    " soggetto = EXCLUDED.soggetto, citta = EXCLUDED.citta, provincia = EXCLUDED.provincia,"
    " cancellato = false, versione = cliente.versione + 1"
    " WHERE (cliente.soggetto, cliente.citta, cliente.provincia, cliente.cancellato)"
    " IS DISTINCT FROM (EXCLUDED.soggetto, EXCLUDED.citta, EXCLUDED.provincia, false)"
    " RETURNING versione = 1";

QString shown(const std::optional<QString>& v) {
    return v ? *v : QString();
}

// The request, locked until the decision is written.
Result<pg::Rows> openRequest(pg::Connection& c, std::int64_t id) {
    auto r = c.query("SELECT codice, soggetto, citta, provincia, stato FROM richiesta_cliente"
                     " WHERE id = $1 FOR UPDATE",
                     pg::Shape("ttttt"), pg::Params().add(id));
    if (!r)
        return r.error();
    if (r->count() == 0)
        return makeError(QStringLiteral("La richiesta %1 non esiste.").arg(id));
    if (r->text(0, 4) != QLatin1String("aperta"))
        return makeError(QStringLiteral("La richiesta %1 è già stata %2: non è cambiato nulla.")
                             .arg(id)
                             .arg(r->text(0, 4)));
    return r;
}

Status decide(pg::Connection& c, std::int64_t id, bool accepted) {
    if (Status s = c.begin(); !s)
        return s;
    auto run = [&]() -> Status {
        auto request = openRequest(c, id);
        if (!request)
            return request.error();
        if (accepted) {
            auto changed = c.query("UPDATE cliente SET soggetto = $2, citta = $3, provincia = $4,"
                                   " versione = versione + 1 WHERE proprietario = ''"
                                   " AND codice = $1 AND NOT cancellato RETURNING versione",
                                   pg::Shape("i"),
                                   pg::Params()
                                       .add(request->text(0, 0))
                                       .add(request->textOrNull(0, 1))
                                       .add(request->textOrNull(0, 2))
                                       .add(request->textOrNull(0, 3)));
            if (!changed)
                return changed.error();
            if (changed->count() == 0)
                return makeError(QStringLiteral("Il cliente con codice %1 non è più tra quelli "
                                                "della sede: la richiesta %2 non si può "
                                                "accettare.")
                                     .arg(request->text(0, 0))
                                     .arg(id));
        }
        return c.command("UPDATE richiesta_cliente SET stato = $2, decisa_il = now()"
                         " WHERE id = $1",
                         pg::Params().add(id).add(accepted ? "accettata" : "respinta"));
    };
    Status s = run();
    if (!s) {
        c.rollback();
        return s;
    }
    return c.commit();
}

} // namespace

Result<LoadCounts> loadOffice(Database& file, pg::Connection& office) {
    auto st = file.prepare("SELECT trim(CODICE), SOGGETTO, CITTA, PROVINCIA FROM CLIENTE"
                           " WHERE CODICE IS NOT NULL AND trim(CODICE) <> '' ORDER BY ID;");
    if (!st)
        return st.error();
    if (Status s = office.begin(); !s)
        return s.error();
    LoadCounts counts;
    auto run = [&]() -> Status {
        while (st->next()) {
            auto text = [&](int column) {
                return st->isNull(column) ? std::optional<QString>() : st->text(column);
            };
            auto written =
                office.query(kLoad, pg::Shape("b"),
                             pg::Params().add(st->text(0)).add(text(1)).add(text(2)).add(text(3)));
            if (!written)
                return written.error();
            if (written->count() == 0)
                continue;
            if (written->boolean(0, 0))
                ++counts.added;
            else
                ++counts.updated;
        }
        return st->status();
    };
    Status s = run();
    if (!s) {
        office.rollback();
        return s.error();
    }
    if (Status c = office.commit(); !c)
        return c.error();
    return counts;
}

Result<std::vector<Open>> listOpen(pg::Connection& office) {
    auto r = office.query(
        "SELECT r.id, r.agente, extract(epoch FROM r.chiesta_il)::bigint, r.codice,"
        " c.soggetto, c.citta, c.provincia, r.soggetto, r.citta, r.provincia, c.codice IS NULL"
        " FROM richiesta_cliente r LEFT JOIN cliente c ON c.proprietario = ''"
        " AND c.codice = r.codice AND NOT c.cancellato WHERE r.stato = 'aperta' ORDER BY r.id",
        pg::Shape("ititttttttb"));
    if (!r)
        return r.error();
    std::vector<Open> out;
    for (int i = 0; i < r->count(); ++i) {
        // When it was asked, in the office's own time.
        const QString asked = QDateTime::fromSecsSinceEpoch(r->int64(i, 2))
                                  .toLocalTime()
                                  .toString(QStringLiteral("dd/MM/yyyy HH:mm"));
        const QString now = r->boolean(i, 10)
                                ? QStringLiteral("non è più tra i clienti della sede")
                                : QStringLiteral("ora \"%1\", %2 (%3)")
                                      .arg(shown(r->textOrNull(i, 4)), shown(r->textOrNull(i, 5)),
                                           shown(r->textOrNull(i, 6)));
        out.push_back(
            {r->int64(i, 0), QStringLiteral("Richiesta %1 dell'agente %2 del %3: cliente %4, %5; "
                                            "chiede \"%6\", %7 (%8).")
                                 .arg(QString::number(r->int64(i, 0)), r->text(i, 1), asked,
                                      r->text(i, 3), now, shown(r->textOrNull(i, 7)),
                                      shown(r->textOrNull(i, 8)), shown(r->textOrNull(i, 9)))});
    }
    return out;
}

Status accept(pg::Connection& office, std::int64_t id) {
    return decide(office, id, true);
}

Status refuse(pg::Connection& office, std::int64_t id) {
    return decide(office, id, false);
}

} // namespace customerrequests
