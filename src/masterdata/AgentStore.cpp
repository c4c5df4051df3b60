#include "AgentStore.h"

#include "data/Database.h"
#include "text/ItalianText.h"

namespace agent {

bool isAccessCode(const QString& typed) {
    const std::optional<double> v = itext::parseNumber(typed);
    return v && *v == double(kAccessCode);
}

Result<std::optional<Stored>> load(Database& db) {
    auto st = db.prepare("SELECT ID, UTENTE, VIA, CITTA, PR, CAP FROM UTENTE ORDER BY ID LIMIT 1;");
    if (!st)
        return st.error();
    std::optional<Stored> row;
    if (st->next())
        row = Stored{st->int64(0),
                     Agent{st->text(1), st->text(2), st->text(5), st->text(3), st->text(4)}};
    if (!st->status())
        return st->status().error();
    return row;
}

Result<Refusal> checkSave(Database& db, std::optional<std::int64_t> id) {
    std::optional<std::int64_t> found;
    if (id) {
        auto st = db.prepare("SELECT ID FROM UTENTE WHERE ID = ?1;");
        if (!st)
            return st.error();
        st->bind(1, *id);
        if (st->next())
            found = st->int64(0);
        if (!st->status())
            return st->status().error();
    }
    if (!found)
        return Refusal(QStringLiteral("Non è stato salvato nulla: nell'archivio non ci sono i "
                                      "dati dell'utente da aggiornare.\nIl file del database "
                                      "deve contenere la riga dell'utente."));
    return Refusal();
}

Result<Refusal> save(Database& db, std::optional<std::int64_t> id, const Agent& agent) {
    return save(db, id, agent, [] { return Status(); });
}

Result<Refusal> save(Database& db, std::optional<std::int64_t> id, const Agent& agent,
                     const std::function<Status()>& alsoWrite) {
    return guardedWrite(
        db, [&] { return checkSave(db, id); },
        [&]() -> Status {
            auto st = db.prepare("UPDATE UTENTE SET UTENTE = ?1, VIA = ?2, CITTA = ?3, PR = ?4, "
                                 "CAP = ?5 WHERE ID = ?6;");
            if (!st)
                return st.error();
            st->bind(1, agent.name)
                .bind(2, agent.street)
                .bind(3, agent.town)
                .bind(4, agent.province)
                .bind(5, agent.postCode)
                .bind(6, *id);
            if (Status s = st->run(); !s)
                return s;
            return alsoWrite();
        });
}

} // namespace agent
