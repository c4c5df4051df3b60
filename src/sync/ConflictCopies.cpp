#include "ConflictCopies.h"

#include "Pg.h"
#include "ServerSchema.h"
#include "data/Database.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace conflictcopies {
namespace {

std::optional<QString> textOf(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isString())
        return std::nullopt;
    return v.toString();
}

std::optional<double> numberOf(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (!v.isDouble())
        return std::nullopt;
    return v.toDouble();
}

// The lines of a copy: one JSON object a line, as the server wrote them.
Result<std::vector<orderlines::Line>> linesOf(const QByteArray& text) {
    std::vector<orderlines::Line> lines;
    for (const QByteArray& one : text.split('\n')) {
        if (one.trimmed().isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(one, &error);
        if (!doc.isObject())
            return makeError(QStringLiteral("Una riga della copia sul server non si legge: %1")
                                 .arg(error.errorString()));
        const QJsonObject o = doc.object();
        orderlines::Line l;
        l.idCl = textOf(o, "id_cl");
        l.dataO = textOf(o, "datao");
        l.dataC = textOf(o, "datac");
        l.dest = textOf(o, "dest");
        l.citta = textOf(o, "citta");
        l.pr = textOf(o, "pr");
        l.articolo = textOf(o, "articolo");
        l.codice = textOf(o, "codice");
        l.formato = textOf(o, "formato");
        l.peso = numberOf(o, "peso");
        l.qVendita = numberOf(o, "qvendita");
        l.qOmaggio = numberOf(o, "qomaggio");
        l.prezzo = numberOf(o, "prezzo");
        l.sconto = numberOf(o, "sconto");
        l.note = textOf(o, "note");
        lines.push_back(std::move(l));
    }
    return lines;
}

} // namespace

Result<std::vector<Copy>> list(pg::Connection& server) {
    if (Status s = serverschema::usable(server); !s)
        return s.error();
    auto rows = server.query(
        "SELECT id, anno, nr, to_char(cambiato_il AT TIME ZONE 'UTC',"
        " 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"'), coalesce(macchina, ''), righe FROM ordine_copia"
        " WHERE agente = current_user ORDER BY salvato_il, id",
        pg::Shape("ittttt"));
    if (!rows)
        return rows.error();
    std::vector<Copy> out;
    for (int r = 0; r < rows->count(); ++r) {
        Copy c;
        c.id = rows->int64(r, 0);
        c.anno = rows->text(r, 1);
        c.nr = rows->text(r, 2);
        if (!rows->isNull(r, 3))
            c.changedAt = QDateTime::fromString(rows->text(r, 3), Qt::ISODate);
        c.machine = rows->text(r, 4);
        auto lines = linesOf(rows->bytes(r, 5));
        if (!lines)
            return lines.error();
        c.lines = std::move(*lines);
        out.push_back(std::move(c));
    }
    return out;
}

Status take(Database& db, pg::Connection& server, const Copy& copy) {
    // The file first: a cut before the copy leaves the server finds it there still, and taking
    // it again gives the same order.
    if (Status s = db.write([&]() -> Status {
            return orderlines::replaceLocal(db, copy.anno, copy.nr, copy.lines);
        });
        !s)
        return s;
    return dismiss(server, copy.id);
}

Status dismiss(pg::Connection& server, std::int64_t id) {
    return server.command(
        "DELETE FROM ordine_copia WHERE id = $1::bigint AND agente = current_user",
        pg::Params().add(id));
}

} // namespace conflictcopies
