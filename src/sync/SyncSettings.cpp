#include "SyncSettings.h"

#include "data/Database.h"

#include <QFileInfo>

#include <map>

namespace syncsettings {

Result<std::optional<Settings>> load(Database& db) {
    auto st = db.prepare("SELECT CHIAVE, VALORE FROM SYNC_STATO WHERE CHIAVE LIKE 'server.%';");
    if (!st)
        return st.error();
    std::map<QString, QString> v;
    while (st->next())
        v[st->text(0)] = st->text(1);
    if (!st->status())
        return st->status().error();
    if (v[QStringLiteral("server.host")].isEmpty())
        return std::optional<Settings>();
    Settings s;
    s.server.host = v[QStringLiteral("server.host")];
    s.server.port = v[QStringLiteral("server.porta")].toInt();
    s.server.database = v[QStringLiteral("server.database")];
    s.server.user = v[QStringLiteral("server.utente")];
    // A mode that checks no certificate, kept by an older version, is taken as the full check.
    s.server.sslMode = v[QStringLiteral("server.sslmode")];
    if (!pg::checkSslMode(s.server.sslMode).isEmpty())
        s.server.sslMode = QStringLiteral("verify-full");
    s.server.caFile = v[QStringLiteral("server.ca")];
    s.minutes = v[QStringLiteral("server.minuti")].toInt();
    return std::optional<Settings>(s);
}

Status save(Database& db, const Settings& s) {
    if (s.server.host.trimmed().isEmpty())
        return makeError(QStringLiteral("Manca l'indirizzo del server."));
    if (s.server.port < 1 || s.server.port > 65535)
        return makeError(QStringLiteral("La porta deve essere un numero da 1 a 65535."));
    if (s.server.database.trimmed().isEmpty())
        return makeError(QStringLiteral("Manca il nome del database dell'agenzia."));
    if (s.server.user.trimmed().isEmpty())
        return makeError(QStringLiteral("Manca il nome dell'utente sul server."));
    if (QString why = pg::checkSslMode(s.server.sslMode); !why.isEmpty())
        return makeError(why);
    if (!s.server.caFile.isEmpty() && !QFileInfo(s.server.caFile).isReadable())
        return makeError(
            QStringLiteral("Il certificato \"%1\" non si può leggere.").arg(s.server.caFile));
    if (s.minutes < 0 || s.minutes > 1440)
        return makeError(QStringLiteral("I minuti tra le sincronizzazioni vanno da 0 a 1440."));
    return db.write([&]() -> Status {
        auto st = db.prepare("INSERT OR REPLACE INTO SYNC_STATO (CHIAVE, VALORE) VALUES (?1, ?2);");
        if (!st)
            return st.error();
        const std::pair<const char*, QString> values[] = {
            {"server.host", s.server.host.trimmed()},
            {"server.porta", QString::number(s.server.port)},
            {"server.database", s.server.database.trimmed()},
            {"server.utente", s.server.user.trimmed()},
            {"server.sslmode", s.server.sslMode},
            {"server.ca", s.server.caFile},
            {"server.minuti", QString::number(s.minutes)},
        };
        for (const auto& [key, value] : values) {
            st->reset();
            if (Status r = st->bind(1, key).bind(2, value).run(); !r)
                return r;
        }
        return {};
    });
}

} // namespace syncsettings
