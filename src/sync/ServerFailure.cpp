#include "ServerFailure.h"

#include <cstring>

namespace serverfailure {
namespace {

// The server's own words on one line, not endless.
QString oneLine(const QString& text) {
    QString t = text.simplified();
    if (t.size() > 300)
        t = t.left(299) + QChar(0x2026);
    return t;
}

QString sentence(Kind kind, const Where& w, int seconds) {
    switch (kind) {
    case Refused:
        break;
    case NoRights:
        return QStringLiteral("Il server %1 non consente questa operazione all'utente \"%2\".")
            .arg(w.host, w.user);
    case DataRefused:
        return QStringLiteral("Il server %1 non accetta questi dati.").arg(w.host);
    case NameUnknown:
        return QStringLiteral("Il nome del server \"%1\" non è stato trovato: controllare "
                              "l'indirizzo del server e la connessione alla rete.")
            .arg(w.host);
    case Unreachable:
        return QStringLiteral("Il server %1 (porta %2) non risponde: è spento, non raggiungibile "
                              "dalla rete o non in ascolto su quella porta.")
            .arg(w.host)
            .arg(w.port);
    case Stopping:
        return QStringLiteral("Il server %1 si sta spegnendo o avviando: riprovare tra poco.")
            .arg(w.host);
    case Certificate:
        return QStringLiteral("La connessione cifrata con il server %1 non è riuscita: il suo "
                              "certificato non è riconosciuto (non è firmato dall'autorità "
                              "indicata o non è intestato a quel nome).")
            .arg(w.host);
    case NoSystemCertificates:
        return QStringLiteral("Su questo computer non si trovano i certificati delle autorità del "
                              "sistema: indicare il certificato dell'autorità che firma quello "
                              "del server.");
    case NoDatabase:
        return QStringLiteral("Sul server %1 non c'è il database \"%2\": controllare il nome del "
                              "database.")
            .arg(w.host, w.database);
    case BadLogin:
        return QStringLiteral("Il server %1 ha rifiutato l'utente \"%2\" o la sua password.")
            .arg(w.host, w.user);
    case NotAllowed:
        return QStringLiteral("Il server %1 non consente all'utente \"%2\" di collegarsi al "
                              "database \"%3\" da questo computer.")
            .arg(w.host, w.user, w.database);
    case ConnectRefused:
        return QStringLiteral("Il server %1 (porta %2, database %3) non accetta il collegamento.")
            .arg(w.host)
            .arg(w.port)
            .arg(w.database);
    case TimeLimit:
        if (seconds == 1)
            return QStringLiteral("Il server %1 non ha risposto in tempo (entro un secondo).")
                .arg(w.host);
        if (seconds > 1)
            return QStringLiteral("Il server %1 non ha risposto in tempo (entro %2 secondi).")
                .arg(w.host)
                .arg(seconds);
        return QStringLiteral("Il server %1 non ha risposto in tempo.").arg(w.host);
    case Busy:
        return QStringLiteral("Il server %1 è occupato: altre operazioni (per esempio della sede) "
                              "tengono bloccati i dati, o i collegamenti sono tutti in uso. "
                              "Riprovare più tardi.")
            .arg(w.host);
    case Cut:
        return QStringLiteral("Il collegamento con il server %1 si è interrotto.").arg(w.host);
    case Uncertain:
        return QStringLiteral("Il collegamento con il server %1 si è interrotto mentre registrava "
                              "le modifiche: non si sa se le ha registrate.")
            .arg(w.host);
    case Cancelled:
        return QStringLiteral("Operazione annullata.");
    case Shape:
        return QStringLiteral("Il server %1 ha risposto con dati di una forma che questo "
                              "programma non conosce.")
            .arg(w.host);
    case NewerSchema:
        return QStringLiteral("Il server è stato aggiornato da una versione più recente del "
                              "programma: aggiornare Gestione Ordini.");
    case NoSchema:
        return QStringLiteral("Il database \"%1\" del server %2 non è preparato per Gestione "
                              "Ordini: la sede deve prima eseguire \"gestione-sede schema\".")
            .arg(w.database, w.host);
    case Memory:
        return QStringLiteral("Memoria insufficiente per collegarsi al server.");
    }
    return QStringLiteral("Il server %1 ha rifiutato l'operazione.").arg(w.host);
}

bool inClass(const char* state, const char* cls) {
    return std::strncmp(state, cls, 2) == 0;
}

} // namespace

QString withDetail(const QString& text, const QString& detail) {
    const QString d = oneLine(detail);
    if (d.isEmpty())
        return text;
    return text + QStringLiteral(" Dettaglio: ") + d;
}

Error make(Kind kind, const Where& where, const QString& detail, int seconds) {
    return makeError(withDetail(sentence(kind, where, seconds), detail), kind);
}

Kind ofStatement(const char* s) {
    if (!s || std::strlen(s) != 5)
        return Refused;
    if (!std::strcmp(s, "57014"))
        return TimeLimit;
    if (!std::strcmp(s, "55P03") || !std::strcmp(s, "40001") || !std::strcmp(s, "40P01") ||
        inClass(s, "53"))
        return Busy;
    if (!std::strcmp(s, "57P01") || !std::strcmp(s, "57P02") || !std::strcmp(s, "57P03"))
        return Stopping;
    if (inClass(s, "08") || !std::strcmp(s, "25P03") || !std::strcmp(s, "57P05"))
        return Cut;
    if (!std::strcmp(s, "42501"))
        return NoRights;
    if (inClass(s, "22") || inClass(s, "23") || inClass(s, "P0") || inClass(s, "54"))
        return DataRefused;
    return Refused;
}

Kind ofConnection(const QString& s) {
    if (s == QLatin1String("3D000"))
        return NoDatabase;
    if (s == QLatin1String("28P01"))
        return BadLogin;
    if (s == QLatin1String("28000"))
        return NotAllowed;
    if (s.startsWith(QLatin1String("53")))
        return Busy;
    if (s == QLatin1String("57P03") || s == QLatin1String("57P01"))
        return Stopping;
    return ConnectRefused;
}

} // namespace serverfailure
