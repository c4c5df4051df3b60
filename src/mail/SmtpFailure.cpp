#include "SmtpFailure.h"

#include "SmtpSender.h"

namespace mail {
namespace {

const QString kNotSent = QStringLiteral(": messaggio non inviato.");
const QString kLater = QStringLiteral(": riprovare più tardi. Messaggio non inviato.");
const QString kUncertain = QStringLiteral(": esito incerto: il server potrebbe averlo ricevuto.");

// "30 secondi", "10 minuti".
QString span(int seconds) {
    if (seconds >= 120 && seconds % 60 == 0)
        return QStringLiteral("%1 minuti").arg(seconds / 60);
    return seconds == 1 ? QStringLiteral("1 secondo") : QStringLiteral("%1 secondi").arg(seconds);
}

// A refusal of the server: what it refused, its reply between brackets, and whether to try
// again later (4xx) or not (5xx).
Error refused(const QString& what, const SmtpTrace& trace, CURLcode rc,
              const QString& advice = QString()) {
    const bool transient = trace.lastCode / 100 == 4;
    QString text = QStringLiteral("%1 (%2)").arg(what, trace.lastReply.left(300));
    text += transient ? kLater : kNotSent;
    if (!transient && !advice.isEmpty())
        text += QLatin1Char('\n') + advice;
    return makeError(text, rc);
}

Error refusal(const SmtpTrace& trace, CURLcode rc) {
    const int code = trace.lastCode;
    const bool transient = code / 100 == 4;
    const QString settings = QStringLiteral("\"Impostazioni invio\"");
    switch (trace.step()) {
    case SmtpStep::Greeting:
        return transient ? refused(QStringLiteral("Il server di posta è occupato"), trace, rc)
                         : refused(QStringLiteral("Il server di posta rifiuta la connessione"),
                                   trace, rc);
    case SmtpStep::Hello:
        return refused(QStringLiteral("Il server di posta non ha accettato la presentazione del "
                                      "programma (EHLO)"),
                       trace, rc);
    case SmtpStep::StartTls:
        return refused(QStringLiteral("Il server di posta non ha avviato la connessione protetta "
                                      "(STARTTLS)"),
                       trace, rc);
    case SmtpStep::Auth:
        return transient
                   ? refused(QStringLiteral("Il server di posta non ha potuto controllare il nome "
                                            "utente e la password"),
                             trace, rc)
                   : refused(QStringLiteral("Il server di posta ha rifiutato il nome utente o la "
                                            "password"),
                             trace, rc,
                             QStringLiteral("Controllare utente e password in %1.").arg(settings));
    case SmtpStep::Mail:
        if (code == 530)
            return refused(QStringLiteral("Il server di posta chiede l'autenticazione"), trace, rc,
                           QStringLiteral("Indicare utente e password in %1.").arg(settings));
        if (code == 552)
            break;
        return transient
                   ? refused(QStringLiteral("Il server di posta non accetta per ora il mittente "
                                            "%1")
                                 .arg(trace.mailFrom),
                             trace, rc)
                   : refused(
                         QStringLiteral("Il server di posta ha rifiutato il mittente %1")
                             .arg(trace.mailFrom),
                         trace, rc,
                         QStringLiteral("Controllare l'e-mail del mittente in %1.").arg(settings));
    case SmtpStep::Rcpt:
        return transient ? refused(QStringLiteral("Il server di posta non accetta per ora il "
                                                  "destinatario %1")
                                       .arg(trace.lastRecipient),
                                   trace, rc)
                         : refused(QStringLiteral("Il server di posta ha rifiutato il "
                                                  "destinatario %1")
                                       .arg(trace.lastRecipient),
                                   trace, rc);
    case SmtpStep::Data:
    case SmtpStep::End:
        if (code == 552 || code == 523)
            break;
        return transient
                   ? refused(QStringLiteral("Il server di posta non accetta per ora il messaggio"),
                             trace, rc)
                   : refused(QStringLiteral("Il server di posta ha rifiutato il messaggio"), trace,
                             rc);
    case SmtpStep::Other:
        return refused(QStringLiteral("Il server di posta ha rifiutato il comando %1")
                           .arg(QString::fromLatin1(trace.lastCommand)),
                       trace, rc);
    }
    return refused(QStringLiteral("Il messaggio è troppo grande per il server di posta"), trace,
                   rc);
}

QString certificateAdvice(const MailServer& server, const SmtpTrace& trace) {
    QString text;
    const QString issuer = trace.certificateIssuer;
    if (trace.detail.contains(QLatin1String("expired")))
        text = QStringLiteral("Il certificato del server è scaduto: avvisare chi gestisce il "
                              "server di posta.");
    else if (trace.detail.contains(QLatin1String("host name")) ||
             trace.detail.contains(QLatin1String("subject name")))
        text = QStringLiteral("Il certificato del server non è intestato al nome \"%1\": "
                              "controllare il nome del server in \"Impostazioni invio\".")
                   .arg(server.host);
    else if (!server.caFile.isEmpty())
        text = QStringLiteral("Il certificato del server è rilasciato da \"%1\", non "
                              "dall'autorità del file \"%2\" indicato in \"Impostazioni invio\": "
                              "controllare di aver scelto il certificato dell'autorità di questo "
                              "server.")
                   .arg(issuer.isEmpty() ? QStringLiteral("un'autorità sconosciuta") : issuer,
                        server.caFile);
    else
        text = QStringLiteral("Il certificato del server è rilasciato da \"%1\", un'autorità che "
                              "questo computer non conosce. Se è il server dell'ufficio, con "
                              "un'autorità propria, farsi dare il certificato dell'autorità (un "
                              "file .crt o .pem) e sceglierlo in \"Impostazioni invio\", "
                              "\"Certificato dell'autorità (CA)…\".")
                   .arg(issuer.isEmpty() ? QStringLiteral("un'autorità sconosciuta") : issuer);
    if (!trace.detail.isEmpty())
        text += QStringLiteral("\nDettaglio: ") + trace.detail;
    return text;
}

} // namespace

SmtpStep SmtpTrace::step() const {
    if (dataStarted)
        return SmtpStep::End;
    if (lastCommand.isEmpty())
        return SmtpStep::Greeting;
    if (lastCommand == "EHLO" || lastCommand == "HELO")
        return SmtpStep::Hello;
    if (lastCommand == "STARTTLS")
        return SmtpStep::StartTls;
    if (lastCommand == "AUTH")
        return SmtpStep::Auth;
    if (lastCommand == "MAIL")
        return SmtpStep::Mail;
    if (lastCommand == "RCPT")
        return SmtpStep::Rcpt;
    if (lastCommand == "DATA")
        return SmtpStep::Data;
    return SmtpStep::Other;
}

Error smtpFailure(CURLcode rc, const MailServer& server, const SmtpTrace& trace) {
    const QString where = QStringLiteral("%1 (porta %2)").arg(server.host).arg(server.port);
    // Once the end of the message may have reached the server, only its reply tells whether
    // it took it: without one, nothing is known.
    if (trace.messageEnded && trace.dataReply.isEmpty() && !trace.undelivered) {
        QString text;
        if (trace.cancelled)
            text = QStringLiteral("Invio annullato dall'utente mentre il server di posta "
                                  "confermava il messaggio");
        else if (trace.timedOut != SmtpTimeout::None)
            text = QStringLiteral("Il server di posta %1 non ha confermato il messaggio entro %2")
                       .arg(where, span(server.finalReplyTimeoutS));
        else
            text = QStringLiteral("La connessione con il server di posta %1 si è interrotta dopo "
                                  "l'invio del messaggio, prima della conferma")
                       .arg(where);
        return makeError(text + kUncertain, kOutcomeUncertain);
    }
    if (trace.heldBack)
        return makeError(QStringLiteral("L'invio non è stato registrato") + kNotSent, rc);
    if (trace.cancelled)
        return makeError(QStringLiteral("Invio annullato dall'utente") + kNotSent, rc);
    switch (trace.timedOut) {
    case SmtpTimeout::Connect:
        return makeError(QStringLiteral("Il server di posta %1 non è raggiungibile (nessuna "
                                        "risposta alla connessione in %2)")
                                 .arg(where, span((server.connectTimeoutMs + 999) / 1000)) +
                             kNotSent,
                         rc);
    case SmtpTimeout::Reply:
        return makeError(
            QStringLiteral("Il server di posta %1 non ha risposto in tempo").arg(where) + kNotSent,
            rc);
    case SmtpTimeout::Data:
    case SmtpTimeout::FinalReply:
        return makeError(QStringLiteral("Il server di posta %1 ha smesso di ricevere il messaggio "
                                        "(nessun dato accettato in %2)")
                                 .arg(where, span(server.dataTimeoutS)) +
                             kNotSent,
                         rc);
    case SmtpTimeout::None:
        break;
    }
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
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return makeError(QStringLiteral("Il certificato del server di posta %1 non è valido o non "
                                        "è riconosciuto")
                                 .arg(server.host) +
                             kNotSent + QLatin1Char('\n') + certificateAdvice(server, trace),
                         rc);
    case CURLE_SSL_CACERT_BADFILE:
        return makeError(QStringLiteral("Il certificato dell'autorità \"%1\" indicato in "
                                        "\"Impostazioni invio\" non si può usare")
                                 .arg(server.caFile) +
                             kNotSent +
                             (trace.detail.isEmpty()
                                  ? QString()
                                  : QStringLiteral("\nDettaglio: ") + trace.detail),
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
    default:
        break;
    }
    // The server said no at a step: its reply, quoted, with the step named.
    if (trace.lastCode >= 400 && (!trace.dataStarted || !trace.dataReply.isEmpty()))
        return refusal(trace, rc);
    if (rc == CURLE_LOGIN_DENIED)
        return makeError(QStringLiteral("Il server di posta ha rifiutato il nome utente o la "
                                        "password") +
                             kNotSent,
                         rc);
    if (trace.dataStarted)
        return makeError(QStringLiteral("La connessione con il server di posta si è interrotta "
                                        "durante l'invio del messaggio") +
                             kNotSent,
                         rc);
    if (rc == CURLE_SEND_ERROR || rc == CURLE_RECV_ERROR || rc == CURLE_GOT_NOTHING ||
        rc == CURLE_PARTIAL_FILE)
        return makeError(
            QStringLiteral("La connessione con il server di posta %1 si è interrotta").arg(where) +
                kNotSent,
            rc);
    if (rc == CURLE_WEIRD_SERVER_REPLY || rc == CURLE_OK)
        return makeError(
            QStringLiteral("Il server di posta %1 ha dato una risposta inattesa").arg(where) +
                kNotSent +
                (trace.lastReply.isEmpty()
                     ? QString()
                     : QStringLiteral("\nRisposta del server: %1").arg(trace.lastReply.left(300))),
            rc);
    if (rc == CURLE_OUT_OF_MEMORY)
        return makeError(QStringLiteral("Memoria insufficiente per l'invio") + kNotSent, rc);
    return makeError(QStringLiteral("Invio non riuscito per un errore della libreria di rete "
                                    "(%1)")
                             .arg(int(rc)) +
                         kNotSent + QStringLiteral("\nDettaglio: ") +
                         QString::fromUtf8(curl_easy_strerror(rc)),
                     rc);
}

} // namespace mail
