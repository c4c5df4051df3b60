#include "MailSettings.h"

#include "MailHeaders.h"
#include "data/Database.h"
#include "data/Statement.h"

#include <QFileInfo>
#include <QHash>

namespace mail::settings {
namespace {

constexpr const char* kRead = "SELECT CHIAVE, VALORE FROM IMPOSTAZIONE_INVIO;";
constexpr const char* kWrite =
    "INSERT OR REPLACE INTO IMPOSTAZIONE_INVIO (CHIAVE, VALORE) VALUES (?1, ?2);";

QString securityName(Security s) {
    switch (s) {
    case Security::SslTls:
        return QStringLiteral("ssl");
    case Security::StartTls:
        return QStringLiteral("starttls");
    case Security::None:
        return QStringLiteral("nessuna");
    }
    return QStringLiteral("starttls");
}

} // namespace

QString defaultSubject() {
    return QStringLiteral("Ordine n. {numero} del {data} - {cliente}");
}

QString defaultBody() {
    return QStringLiteral("Buongiorno,\n\n"
                          "in allegato l'ordine n. {numero} del {data} del cliente {cliente}, "
                          "per un totale di {totale} euro.\n\n"
                          "Cordiali saluti\n{agente}\n");
}

Result<Settings> load(Database& db) {
    auto st = db.prepare(kRead);
    if (!st)
        return st.error();
    QHash<QString, QString> v;
    while (st->next())
        v.insert(st->text(0), st->text(1));
    if (Status s = st->status(); !s)
        return s.error();
    Settings s;
    s.server.host = v.value(QStringLiteral("server"));
    const QString security = v.value(QStringLiteral("sicurezza"), QStringLiteral("starttls"));
    s.server.security = security == QLatin1String("ssl")       ? Security::SslTls
                        : security == QLatin1String("nessuna") ? Security::None
                                                               : Security::StartTls;
    bool ok = false;
    const int port = v.value(QStringLiteral("porta")).toInt(&ok);
    s.server.port = ok ? port : defaultPort(s.server.security);
    s.server.user = v.value(QStringLiteral("utente"));
    s.server.plainAccepted = v.value(QStringLiteral("senza_protezione")) == QLatin1String("1");
    s.server.caFile = v.value(QStringLiteral("certificato_ca"));
    s.senderName = v.value(QStringLiteral("nome_mittente"));
    s.senderAddress = v.value(QStringLiteral("mittente"));
    s.way =
        v.value(QStringLiteral("modo")) == QLatin1String("programma") ? Way::Desktop : Way::Smtp;
    s.subjectTemplate = v.value(QStringLiteral("oggetto"), defaultSubject());
    s.bodyTemplate = v.value(QStringLiteral("testo"), defaultBody());
    return s;
}

Status check(const Settings& s) {
    if (!s.senderAddress.isEmpty() && !headers::isAddress(s.senderAddress))
        return makeError(QStringLiteral("L'indirizzo del mittente \"%1\" non è un indirizzo "
                                        "e-mail valido.")
                             .arg(s.senderAddress));
    if (Status r = headers::checkField(QStringLiteral("Nome del mittente"), s.senderName); !r)
        return r;
    if (Status r = headers::checkField(QStringLiteral("Oggetto"), s.subjectTemplate); !r)
        return r;
    if (s.way == Way::Smtp) {
        if (s.server.port < 1 || s.server.port > 65535)
            return makeError(QStringLiteral("La porta del server di posta deve essere un numero "
                                            "da 1 a 65535."));
        for (QChar c : s.server.host)
            if (c.unicode() <= 0x20 || QStringLiteral("/@?#\\[]").contains(c))
                return makeError(QStringLiteral("Il nome del server di posta \"%1\" non è "
                                                "valido.")
                                     .arg(s.server.host));
        const QFileInfo ca(s.server.caFile);
        if (!s.server.caFile.isEmpty() && (!ca.isFile() || !ca.isReadable()))
            return makeError(QStringLiteral("Il certificato dell'autorità \"%1\" non c'è o non "
                                            "si può leggere.")
                                 .arg(s.server.caFile));
    }
    return {};
}

Status save(Database& db, const Settings& s) {
    if (Status r = check(s); !r)
        return r;
    const QList<std::pair<const char*, QString>> values = {
        {"server", s.server.host},
        {"porta", QString::number(s.server.port)},
        {"sicurezza", securityName(s.server.security)},
        {"utente", s.server.user},
        {"senza_protezione", s.server.plainAccepted ? QStringLiteral("1") : QStringLiteral("0")},
        {"certificato_ca", s.server.caFile},
        {"nome_mittente", s.senderName},
        {"mittente", s.senderAddress},
        {"modo", s.way == Way::Desktop ? QStringLiteral("programma") : QStringLiteral("smtp")},
        {"oggetto", s.subjectTemplate},
        {"testo", s.bodyTemplate},
    };
    return db.write([&]() -> Status {
        auto st = db.prepare(kWrite);
        if (!st)
            return st.error();
        for (const auto& [key, value] : values) {
            st->reset();
            st->bind(1, key).bind(2, value);
            if (Status r = st->run(); !r)
                return r;
        }
        return {};
    });
}

Result<QString> agentAddress(Database& db) {
    auto s = load(db);
    if (!s)
        return s.error();
    return s->senderAddress;
}

Status checkAgentAddress(const QString& address) {
    if (Status r = headers::checkField(QStringLiteral("E-mail"), address); !r)
        return makeError(QStringLiteral("L'e-mail dell'agente contiene un a capo o un carattere "
                                        "di controllo."));
    if (!address.isEmpty() && !headers::isAddress(address))
        return makeError(
            QStringLiteral("L'e-mail dell'agente \"%1\" non è un indirizzo valido.").arg(address));
    return {};
}

Status storeAgentAddress(Database& db, const QString& address) {
    if (Status r = checkAgentAddress(address); !r)
        return r;
    auto st = db.prepare(kWrite);
    if (!st)
        return st.error();
    st->bind(1, "mittente").bind(2, address);
    return st->run();
}

} // namespace mail::settings
