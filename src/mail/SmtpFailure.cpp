#include "SmtpFailure.h"

namespace mail {
namespace {

const QString kNotSent = QStringLiteral(": messaggio non inviato.");

QString withReply(QString text, const SmtpTrace& trace) {
    if (!trace.lastReply.isEmpty())
        text += QStringLiteral("\nRisposta del server: %1").arg(trace.lastReply.left(300));
    return text;
}

} // namespace

Error smtpFailure(CURLcode rc, const MailServer& server, const SmtpTrace& trace) {
    const QString where = QStringLiteral("%1 (porta %2)").arg(server.host).arg(server.port);
    switch (rc) {
    case CURLE_ABORTED_BY_CALLBACK:
        return makeError(QStringLiteral("Invio annullato dall'utente") + kNotSent, rc);
    case CURLE_OPERATION_TIMEDOUT:
        return makeError(
            QStringLiteral("Il server di posta %1 non ha risposto in tempo").arg(where) + kNotSent,
            rc);
    case CURLE_COULDNT_RESOLVE_HOST:
        return makeError(QStringLiteral("Il nome del server di posta \"%1\" non è stato trovato "
                                        "(controllare il nome e la connessione a Internet)")
                                 .arg(server.host) +
                             kNotSent,
                         rc);
    case CURLE_COULDNT_CONNECT:
        return makeError(
            QStringLiteral("Il server di posta %1 non è raggiungibile").arg(where) + kNotSent, rc);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return makeError(QStringLiteral("Il certificato del server di posta %1 non è valido o non "
                                        "è riconosciuto")
                                 .arg(server.host) +
                             kNotSent,
                         rc);
    case CURLE_USE_SSL_FAILED:
        return makeError(QStringLiteral("Il server di posta %1 non offre la connessione protetta "
                                        "(STARTTLS)")
                                 .arg(where) +
                             kNotSent,
                         rc);
    case CURLE_SSL_CONNECT_ERROR:
        return makeError(QStringLiteral("La connessione protetta (TLS) con il server di posta %1 "
                                        "non è riuscita")
                                 .arg(where) +
                             kNotSent,
                         rc);
    case CURLE_LOGIN_DENIED:
        return makeError(
            withReply(QStringLiteral("Il server di posta ha rifiutato il nome utente o la "
                                     "password") +
                          kNotSent,
                      trace),
            rc);
    default:
        break;
    }
    if (trace.lastCode == 552 || trace.lastCode == 523)
        return makeError(withReply(QStringLiteral("Il messaggio è troppo grande per il server di "
                                                  "posta") +
                                       kNotSent,
                                   trace),
                         rc);
    if (trace.lastCommand == "RCPT" && trace.lastCode >= 400)
        return makeError(
            withReply(QStringLiteral("Il server di posta ha rifiutato il destinatario %1")
                              .arg(trace.lastRecipient) +
                          kNotSent,
                      trace),
            rc);
    if (trace.lastCommand == "MAIL" && (trace.lastCode == 530 || trace.lastCode == 550))
        return makeError(withReply(QStringLiteral("Il server di posta chiede l'autenticazione o "
                                                  "rifiuta il mittente") +
                                       kNotSent,
                                   trace),
                         rc);
    if (trace.dataStarted && trace.dataReply.isEmpty())
        return makeError(QStringLiteral("La connessione con il server di posta si è interrotta "
                                        "durante l'invio del messaggio") +
                             kNotSent,
                         rc);
    if (trace.dataStarted)
        return makeError(
            withReply(QStringLiteral("Il server di posta ha rifiutato il messaggio") + kNotSent,
                      trace),
            rc);
    if (rc == CURLE_SEND_ERROR || rc == CURLE_RECV_ERROR || rc == CURLE_GOT_NOTHING ||
        rc == CURLE_PARTIAL_FILE)
        return makeError(
            QStringLiteral("La connessione con il server di posta %1 si è interrotta").arg(where) +
                kNotSent,
            rc);
    if (rc == CURLE_WEIRD_SERVER_REPLY || rc == CURLE_OK)
        return makeError(
            withReply(
                QStringLiteral("Il server di posta %1 ha dato una risposta inattesa").arg(where) +
                    kNotSent,
                trace),
            rc);
    if (rc == CURLE_OUT_OF_MEMORY)
        return makeError(QStringLiteral("Memoria insufficiente per l'invio") + kNotSent, rc);
    return makeError(QStringLiteral("Invio non riuscito (errore %1 della libreria di rete: %2)")
                             .arg(int(rc))
                             .arg(QString::fromUtf8(curl_easy_strerror(rc))) +
                         kNotSent,
                     rc);
}

} // namespace mail
