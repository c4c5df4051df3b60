// The SMTP sender against a real server: what arrives, and every failure named, with nothing
// recorded by the server when the sending failed.
#include "MailKit.h"
#include "mail/SmtpSender.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUuid>

#include <atomic>
#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace mail;

namespace {

QByteArray randomBytes(int size) {
    QByteArray b(size, Qt::Uninitialized);
    for (char& c : b)
        c = char(QRandomGenerator::global()->bounded(256));
    return b;
}

// A port of 127.0.0.1 where nothing listens: taken from the system, then let go.
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

QString sha256(const QByteArray& b) {
    return QString::fromLatin1(QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex());
}

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT
    SmtpFixture fx = SmtpFixture::load();
    QTemporaryDir files;

    // An order's message with its two files, the subject marked with a token of its own.
    MailMessage order(const QString& token, QByteArray pdf = randomBytes(20000)) {
        const QString pdfPath = files.filePath(token + QStringLiteral(".pdf"));
        const QString xlsxPath = files.filePath(token + QStringLiteral(".xlsx"));
        QFile p(pdfPath), x(xlsxPath);
        (void)p.open(QIODevice::WriteOnly);
        p.write(pdf);
        p.close();
        (void)x.open(QIODevice::WriteOnly);
        x.write(randomBytes(7000));
        x.close();
        MailMessage m;
        m.from = {QStringLiteral("Mario Rossi"), QStringLiteral("agente@prova.it")};
        m.to = {{QStringLiteral("Società Dolciaria Ò"), QStringLiteral("ordini@mandante.it")}};
        m.cc = {{QStringLiteral("Bar \"Sport\""), QStringLiteral("bar@cliente.it")}};
        m.subject = QStringLiteral("Ordine 2026-12 – Caffè Ñandú ") + token;
        m.body = QStringLiteral("Buongiorno,\nin allegato l'ordine n. 12 del 09/12/2026.\n.\n"
                                "Totale € 1.234,50\nCordiali saluti");
        m.attachments = {{pdfPath, QStringLiteral("Ordine 2026-12.pdf"), {}},
                         {xlsxPath, QStringLiteral("Ordine 2026-12 però.xlsx"), {}}};
        m.date = QDateTime(QDate(2026, 12, 9), QTime(18, 4));
        return m;
    }
    static QString token() { return QUuid::createUuid().toString(QUuid::Id128).left(12); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(fx.ok(), "the test SMTP server is not running");
        QVERIFY(files.isValid());
    }

    // The message arrives whole, on every kind of connection: recipients, encoded subject and
    // names, body, both files byte for byte with their real names and a disposition.
    void arrivesWhole_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("STARTTLS") << "starttls";
        QTest::newRow("SSL/TLS") << "tls";
        QTest::newRow("senza protezione, accettata") << "plain";
    }
    void arrivesWhole() {
        QFETCH(QString, kind);
        const QString t = token();
        MailMessage m = order(t);
        qint64 mostSent = 0;
        SendControl control;
        control.progress = [&](qint64 now, qint64) { mostSent = std::max(mostSent, now); };
        const auto sent = sendMail(fx.server(kind.toLatin1().constData()), m, control);
        QVERIFY2(sent.ok(), qPrintable(sent.ok() ? QString() : sent.error().text));
        QVERIFY(sent->serverReply.startsWith(QLatin1String("250 2.0.0 Ok: accettato")));
        QCOMPARE(sent->recipients, QStringList({QStringLiteral("ordini@mandante.it"),
                                                QStringLiteral("bar@cliente.it")}));
        QVERIFY(mostSent > 27000);

        const QJsonObject r = fx.recorded(sent->messageId);
        QVERIFY2(!r.isEmpty(), "the server has no record of the message");
        QCOMPARE(r.value("message_id").toString(), sent->messageId);
        QCOMPARE(r.value("subject").toString(), m.subject);
        QCOMPARE(r.value("from").toString(), QStringLiteral("Mario Rossi <agente@prova.it>"));
        QCOMPARE(r.value("to").toString(),
                 QStringLiteral("Società Dolciaria Ò <ordini@mandante.it>"));
        QCOMPARE(r.value("cc").toString(),
                 QStringLiteral("\"Bar \\\"Sport\\\"\" <bar@cliente.it>"));
        QCOMPARE(r.value("mail_from").toString(), QStringLiteral("agente@prova.it"));
        QCOMPARE(r.value("rcpt_tos").toArray().size(), 2);
        QCOMPARE(r.value("date").toString(), QStringLiteral("Wed, 09 Dec 2026 18:04:00 +0100"));
        QString body = r.value("body").toString();
        body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        if (body.endsWith(QLatin1Char('\n')))
            body.chop(1);
        QCOMPARE(body, m.body);
        const QJsonArray parts = r.value("attachments").toArray();
        QCOMPARE(parts.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QJsonObject p = parts[i].toObject();
            QFile f(m.attachments[i].path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(p.value("filename").toString(), m.attachments[i].name);
            QCOMPARE(p.value("sha256").toString(), sha256(f.readAll()));
            QVERIFY(p.value("disposition").toString().startsWith(QLatin1String("attachment;")));
        }
        QCOMPARE(parts[0].toObject().value("type").toString(), QStringLiteral("application/pdf"));
        QCOMPARE(
            parts[1].toObject().value("type").toString(),
            QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"));
    }

    // Each failure, made real, gets its own message, and the server records nothing.
    void failureIsNamed_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<std::function<void(MailServer&, MailMessage&)>>("change");
        QTest::addColumn<QString>("expected");
        using Change = std::function<void(MailServer&, MailMessage&)>;
        const QString notSent = QStringLiteral(": messaggio non inviato.");
        QTest::newRow("password sbagliata")
            << "starttls" << Change([](MailServer& s, MailMessage&) { s.password = "Sbagliata"; })
            << "Il server di posta ha rifiutato il nome utente o la password (535 5.7.8 "
               "Authentication credentials invalid)" +
                   notSent + "\nControllare utente e password in \"Impostazioni invio\".";
        // The issuer named, and the way to a server with an authority of its own.
        const QString unknownCa =
            "Il certificato del server di posta 127.0.0.1 non è valido o non è riconosciuto" +
            notSent +
            "\nIl certificato del server è rilasciato da \"Gestione Test CA\", un'autorità che "
            "questo computer non conosce. Se è il server dell'ufficio, con un'autorità propria, "
            "farsi dare il certificato dell'autorità (un file .crt o .pem) e sceglierlo in "
            "\"Impostazioni invio\", \"Certificato dell'autorità (CA)…\".\nDettaglio: SSL "
            "certificate problem: unable to get local issuer certificate";
        QTest::newRow("certificato non riconosciuto")
            << "starttls" << Change([](MailServer& s, MailMessage&) { s.caFile.clear(); })
            << unknownCa;
        QTest::newRow("certificato non riconosciuto, SSL/TLS")
            << "tls" << Change([](MailServer& s, MailMessage&) { s.caFile.clear(); }) << unknownCa;
        QTest::newRow("certificato di un'altra autorità")
            << "starttls"
            << Change([this](MailServer& s, MailMessage&) { s.caFile = fx.otherCa(); })
            << "Il certificato del server di posta 127.0.0.1 non è valido o non è riconosciuto" +
                   notSent +
                   "\nIl certificato del server è rilasciato da \"Gestione Test CA\", non "
                   "dall'autorità del file \"" +
                   fx.otherCa() +
                   "\" indicato in \"Impostazioni invio\": controllare di aver scelto il "
                   "certificato dell'autorità di questo server.\nDettaglio: SSL certificate "
                   "problem: unable to get local issuer certificate";
        QTest::newRow("file dell'autorità mancante")
            << "starttls" << Change([](MailServer& s, MailMessage&) { s.caFile = "/nessuno.pem"; })
            << QStringLiteral("Il certificato dell'autorità \"/nessuno.pem\" indicato in "
                              "\"Impostazioni invio\" non si può leggere (No such file or "
                              "directory): messaggio non inviato.");
        QTest::newRow("file dell'autorità che non è un certificato")
            << "starttls"
            << Change([](MailServer& s, MailMessage& m) { s.caFile = m.attachments[1].path; })
            << QStringLiteral("Il file \"%2\" indicato in \"Impostazioni invio\" come certificato "
                              "dell'autorità non contiene un certificato: messaggio non inviato.");
        QTest::newRow("destinatario rifiutato")
            << "tls" << Change([](MailServer&, MailMessage& m) {
                   m.cc = {{QString(), QStringLiteral("rifiuta@cliente.it")}};
               })
            << "Il server di posta ha rifiutato il destinatario rifiuta@cliente.it (550 5.1.1 "
               "Destinatario sconosciuto)" +
                   notSent;
        // The end of the message went: only the server knows whether it took it.
        QTest::newRow("connessione caduta dopo i dati")
            << "starttls" << Change([](MailServer&, MailMessage& m) {
                   m.cc = {{QString(), QStringLiteral("cade@cliente.it")}};
               })
            << QStringLiteral("La connessione con il server di posta 127.0.0.1 (porta %1) si è "
                              "interrotta dopo l'invio del messaggio, prima della conferma: esito "
                              "incerto: il server potrebbe averlo ricevuto.");
        QTest::newRow("server senza STARTTLS")
            << "plain"
            << Change([](MailServer& s, MailMessage&) { s.security = Security::StartTls; })
            << "Il server di posta 127.0.0.1 (porta %1) non offre la connessione protetta "
               "(STARTTLS)" +
                   notSent;
        QTest::newRow("senza protezione non accettata")
            << "plain" << Change([](MailServer& s, MailMessage&) { s.plainAccepted = false; })
            << QStringLiteral("Il server di posta è impostato senza connessione protetta e "
                              "l'invio senza protezione non è stato accettato: messaggio non "
                              "inviato.");
        QTest::newRow("server che tace")
            << "silent" << Change([](MailServer& s, MailMessage&) { s.responseTimeoutS = 1; })
            << "Il server di posta 127.0.0.1 (porta %1) non ha risposto in tempo" + notSent;
        QTest::newRow("nome sconosciuto")
            << "starttls"
            << Change([](MailServer& s, MailMessage&) { s.host = "posta.nessuno.invalid"; })
            << "Il nome del server di posta \"posta.nessuno.invalid\" non è stato trovato "
               "(controllare il nome e la connessione a Internet)" +
                   notSent;
        QTest::newRow("a capo nell'oggetto")
            << "starttls"
            << Change([](MailServer&, MailMessage& m) { m.subject += "\r\nBcc: spia@altro.it"; })
            << QStringLiteral("Il campo \"Oggetto\" contiene un a capo o un carattere di "
                              "controllo: il messaggio non è stato inviato.");
        QTest::newRow("a capo nel nome del destinatario")
            << "starttls"
            << Change([](MailServer&, MailMessage& m) { m.to[0].name += "\nBcc: spia@altro.it"; })
            << QStringLiteral("Il campo \"A\" contiene un a capo o un carattere di controllo: "
                              "il messaggio non è stato inviato.");
        QTest::newRow("a capo nell'indirizzo")
            << "starttls" << Change([](MailServer&, MailMessage& m) {
                   m.cc[0].address = "bar@cliente.it>\r\nRCPT TO:<spia@altro.it";
               })
            << QStringLiteral("Il campo \"Cc\" contiene un a capo o un carattere di controllo: "
                              "il messaggio non è stato inviato.");
        QTest::newRow("indirizzo malformato")
            << "starttls"
            << Change([](MailServer&, MailMessage& m) { m.to[0].address = "ordini@mandante"; })
            << QStringLiteral("L'indirizzo \"ordini@mandante\" nel campo \"A\" non è un "
                              "indirizzo e-mail valido: il messaggio non è stato inviato.");
        QTest::newRow("a capo nel nome dell'allegato")
            << "starttls" << Change([](MailServer&, MailMessage& m) {
                   m.attachments[0].name = "Ordine.pdf\r\nContent-Type: text/html";
               })
            << QStringLiteral("Il campo \"Allegato\" contiene un a capo o un carattere di "
                              "controllo: il messaggio non è stato inviato.");
    }
    void failureIsNamed() {
        QFETCH(QString, kind);
        QFETCH(std::function<void(MailServer&, MailMessage&)>, change);
        QFETCH(QString, expected);
        const QString t = token();
        MailServer server = fx.server(kind.toLatin1().constData());
        if (kind == QLatin1String("silent"))
            server.caFile = fx.ca();
        MailMessage m = order(t);
        change(server, m);
        const auto sent = sendMail(server, m);
        QVERIFY(!sent.ok());
        if (expected.contains(QLatin1String("%1")))
            expected = expected.arg(server.port);
        if (expected.contains(QLatin1String("%2")))
            expected = expected.arg(m.attachments[1].path);
        QCOMPARE(sent.error().text, expected);
        QCOMPARE(sent.error().code == kOutcomeUncertain,
                 expected.contains(QLatin1String("esito incerto")));
        QVERIFY(!fx.anyWithSubject(t));
    }

    // A reply of the server's choosing at each step of the dialogue: the step named in
    // Italian, the reply quoted, "riprovare più tardi" for a refusal of the moment; a connection
    // dropped once the end of the message went is an outcome nobody knows, whether or not the
    // server kept the message.
    void refusalAtEachStep_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("kept");
        const QString later = QStringLiteral(": riprovare più tardi. Messaggio non inviato.");
        const QString notSent = QStringLiteral(": messaggio non inviato.");
        QTest::newRow("saluto 421")
            << QByteArray(R"({"reply": {"greeting": "421 4.3.2 Troppe connessioni"}})")
            << "Il server di posta è occupato (421 4.3.2 Troppe connessioni)" + later << 0;
        QTest::newRow("saluto 554")
            << QByteArray(R"({"reply": {"greeting": "554 5.7.1 Accesso negato"}})")
            << "Il server di posta rifiuta la connessione (554 5.7.1 Accesso negato)" + notSent
            << 0;
        QTest::newRow("EHLO 554") << QByteArray(R"({"reply": {"ehlo": "554 5.7.1 Non gradito"}})")
                                  << "Il server di posta non ha accettato la presentazione del "
                                     "programma (EHLO) (554 5.7.1 Non gradito)" +
                                         notSent
                                  << 0;
        QTest::newRow("AUTH 454")
            << QByteArray(R"({"auth": true, "reply": {"auth": "454 4.7.0 Riprovare"}})")
            << "Il server di posta non ha potuto controllare il nome utente e la password (454 "
               "4.7.0 Riprovare)" +
                   later
            << 0;
        QTest::newRow("MAIL 451")
            << QByteArray(R"({"reply": {"mail": "451 4.3.0 Errore temporaneo"}})")
            << "Il server di posta non accetta per ora il mittente agente@prova.it (451 4.3.0 "
               "Errore temporaneo)" +
                   later
            << 0;
        QTest::newRow("MAIL 530")
            << QByteArray(R"({"reply": {"mail": "530 5.7.0 Autenticazione richiesta"}})")
            << "Il server di posta chiede l'autenticazione (530 5.7.0 Autenticazione richiesta)" +
                   notSent + "\nIndicare utente e password in \"Impostazioni invio\"."
            << 0;
        QTest::newRow("RCPT 450") << QByteArray(R"({"reply": {"rcpt": "450 4.2.0 Greylisting"}})")
                                  << "Il server di posta non accetta per ora il destinatario "
                                     "ordini@mandante.it (450 4.2.0 Greylisting)" +
                                         later
                                  << 0;
        QTest::newRow("DATA 554")
            << QByteArray(R"({"reply": {"data": "554 5.5.1 Nessun messaggio"}})")
            << "Il server di posta ha rifiutato il messaggio (554 5.5.1 Nessun messaggio)" + notSent
            << 0;
        QTest::newRow("fine dei dati 451")
            << QByteArray(R"({"reply": {"end": "451 4.7.1 Riprovare"}})")
            << "Il server di posta non accetta per ora il messaggio (451 4.7.1 Riprovare)" + later
            << 0;
        QTest::newRow("fine dei dati 554")
            << QByteArray(R"({"reply": {"end": "554 5.7.1 Virus trovato"}})")
            << "Il server di posta ha rifiutato il messaggio (554 5.7.1 Virus trovato)" + notSent
            << 0;
        const QString dropped = QStringLiteral(
            "La connessione con il server di posta 127.0.0.1 (porta %1) si è interrotta dopo "
            "l'invio del messaggio, prima della conferma: esito incerto: il server potrebbe "
            "averlo ricevuto.");
        QTest::newRow("cade senza tenerlo")
            << QByteArray(R"({"drop_before_store": true})") << dropped << 0;
        QTest::newRow("lo tiene e cade")
            << QByteArray(R"({"drop_after_store": true})") << dropped << 1;
    }
    void refusalAtEachStep() {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        QFETCH(int, kept);
        MailServer server = fx.scriptedServer(script);
        QVERIFY(server.port > 0);
        if (script.contains("auth")) {
            server.user = QStringLiteral("agente");
            server.password = QStringLiteral("Segreta-123");
        }
        const QString t = token();
        MailMessage m = order(t);
        m.cc.clear();
        const auto sent = sendMail(server, m);
        QVERIFY(!sent.ok());
        QCOMPARE(sent.error().text,
                 expected.contains(QLatin1String("%1")) ? expected.arg(server.port) : expected);
        QCOMPARE(sent.error().code == kOutcomeUncertain, expected.contains("esito incerto"));
        QCOMPARE(fx.arrivals(t), kept);
    }

    // A slow server: each reply within its bound is waited for, whatever the sum; the reply to
    // the end of the message has a bound of its own, far longer than the others (10 minutes by
    // default), so that a slow acceptance is not taken for a failure.
    void slowServer_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("finalReplyS");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ogni passo lento")
            << QByteArray(R"({"delay": {"greeting": 0.4, "ehlo": 0.4, "mail": 0.4, )"
                          R"("rcpt": 0.4, "data": 0.4}})")
            << 5 << QString();
        QTest::newRow("risposta finale lenta")
            << QByteArray(R"({"delay": {"end": 1.6}})") << 8 << QString();
        // Once the message is taken, a server slow to say goodbye holds nothing up.
        QTest::newRow("congedo che non arriva")
            << QByteArray(R"({"delay": {"quit": 120}})") << 8 << QString();
        QTest::newRow("saluto oltre il limite")
            << QByteArray(R"({"delay": {"greeting": 3}})") << 8
            << "Il server di posta 127.0.0.1 (porta %1) non ha risposto in tempo: messaggio non "
               "inviato.";
        QTest::newRow("risposta finale oltre il limite")
            << QByteArray(R"({"delay": {"end": 4}})") << 1
            << "Il server di posta 127.0.0.1 (porta %1) non ha confermato il messaggio entro 1 "
               "secondo: esito incerto: il server potrebbe averlo ricevuto.";
    }
    void slowServer() {
        QFETCH(QByteArray, script);
        QFETCH(int, finalReplyS);
        QFETCH(QString, expected);
        MailServer server = fx.scriptedServer(script);
        server.responseTimeoutS = 1;
        server.finalReplyTimeoutS = finalReplyS;
        const QString t = token();
        MailMessage m = order(t);
        m.cc.clear();
        QElapsedTimer took;
        took.start();
        const auto sent = sendMail(server, m);
        if (expected.isEmpty()) {
            QVERIFY2(sent.ok(), qPrintable(sent.ok() ? QString() : sent.error().text));
            QCOMPARE(fx.arrivals(t), 1);
            QVERIFY(took.elapsed() < 60000);
            return;
        }
        QVERIFY(!sent.ok());
        QCOMPARE(sent.error().text, expected.arg(server.port));
        QCOMPARE(sent.error().code == kOutcomeUncertain, expected.contains("esito incerto"));
        QCOMPARE(fx.arrivals(t), expected.contains("esito incerto") ? 1 : 0);
    }

    // A server that stops reading in the middle of the message: its bound, or the user's
    // "Annulla", ends the sending, which is certainly not sent (its end never reached the
    // server, though every byte was handed to the connection). "Annulla" once the server has the
    // whole message leaves the outcome unknown. Each step is told as it is reached.
    void stoppedDuringTheMessage_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("expected");
        QTest::newRow("smette di leggere")
            << QByteArray(R"({"stall_after": 30000})") << false
            << "Il server di posta 127.0.0.1 (porta %1) ha smesso di ricevere il messaggio "
               "(nessun dato accettato in 1 secondo): messaggio non inviato.";
        QTest::newRow("smette di leggere, Annulla")
            << QByteArray(R"({"stall_after": 30000})") << true
            << "Invio annullato dall'utente: messaggio non inviato.";
        QTest::newRow("Annulla durante la conferma")
            << QByteArray(R"({"delay": {"end": 30}})") << true
            << "Invio annullato dall'utente mentre il server di posta confermava il messaggio: "
               "esito incerto: il server potrebbe averlo ricevuto.";
    }
    void stoppedDuringTheMessage() {
        QFETCH(QByteArray, script);
        QFETCH(bool, cancel);
        QFETCH(QString, expected);
        MailServer server = fx.scriptedServer(script);
        server.dataTimeoutS = cancel ? 30 : 1;
        const QString t = token();
        MailMessage m = order(t, randomBytes(600000));
        m.cc.clear();
        const bool uncertain = expected.contains("esito incerto");
        std::atomic<bool> stop{false};
        QList<SendStep> steps;
        QElapsedTimer sinceMessage;
        SendControl control;
        control.cancel = &stop;
        control.step = [&](SendStep s) {
            steps << s;
            sinceMessage.start();
        };
        // "Annulla" once the server holds the message, or 3 seconds after it stopped reading.
        control.progress = [&](qint64, qint64) {
            if (cancel && !steps.isEmpty() && steps.last() != SendStep::Connecting)
                stop = uncertain ? fx.arrivals(t) == 1 : sinceMessage.elapsed() > 3000;
        };
        const auto sent = sendMail(server, m, control);
        QVERIFY(!sent.ok());
        QCOMPARE(sent.error().text, expected.contains("%1") ? expected.arg(server.port) : expected);
        QCOMPARE(sent.error().code == kOutcomeUncertain, uncertain);
        QCOMPARE(steps, uncertain ? QList<SendStep>({SendStep::Connecting, SendStep::Message,
                                                     SendStep::Confirming})
                                  : QList<SendStep>({SendStep::Connecting, SendStep::Message}));
        QCOMPARE(fx.arrivals(t), uncertain ? 1 : 0);
    }

    // The caller's leave is asked once the server waits for the message, before any of it goes:
    // refused, the server has nothing; given, the message goes whole.
    void leaveBeforeTheMessage() {
        for (const bool given : {false, true}) {
            const QString t = token();
            SendControl control;
            control.beforeMessage = [&] { return given; };
            const auto sent = sendMail(fx.server("tls"), order(t), control);
            QCOMPARE(sent.ok(), given);
            if (!given)
                QCOMPARE(sent.error().text,
                         QStringLiteral("L'invio non è stato registrato: messaggio non inviato."));
            QCOMPARE(fx.arrivals(t), given ? 1 : 0);
        }
    }

    // The authority as a DER file (".crt" as office servers give it) is taken as well as PEM.
    void authorityInDer() {
        QFile pem(fx.ca());
        QVERIFY(pem.open(QIODevice::ReadOnly));
        QByteArray body;
        for (const QByteArray& line : pem.readAll().split('\n'))
            if (!line.startsWith("-----"))
                body += line;
        const QString der = files.filePath(QStringLiteral("autorita.crt"));
        QFile out(der);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray::fromBase64(body));
        out.close();
        MailServer server = fx.server("starttls");
        server.caFile = der;
        const QString t = token();
        const auto sent = sendMail(server, order(t));
        QVERIFY2(sent.ok(), qPrintable(sent.ok() ? QString() : sent.error().text));
        QCOMPARE(fx.arrivals(t), 1);
    }

    // A server that is not there, a message too large and a sending cancelled by the user.
    void otherFailures() {
        MailServer gone = fx.server("starttls");
        gone.port = closedPort();
        auto sent = sendMail(gone, order(token()));
        QVERIFY(!sent.ok());
        QCOMPARE(sent.error().text,
                 QStringLiteral("Il server di posta 127.0.0.1 (porta %1) non è raggiungibile: "
                                "messaggio non inviato.")
                     .arg(gone.port));

        QString t = token();
        sent = sendMail(fx.server("starttls"), order(t, randomBytes(1200000)));
        QVERIFY(!sent.ok());
        QVERIFY2(sent.error().text.startsWith(
                     QStringLiteral("Il messaggio è troppo grande per il server di posta (552")),
                 qPrintable(sent.error().text));
        QVERIFY(!fx.anyWithSubject(t));

        t = token();
        std::atomic<bool> cancel{false};
        SendControl control;
        control.cancel = &cancel;
        control.progress = [&](qint64 now, qint64) {
            if (now > 0)
                cancel = true;
        };
        sent = sendMail(fx.server("tls"), order(t, randomBytes(500000)), control);
        QVERIFY(!sent.ok());
        QCOMPARE(sent.error().text,
                 QStringLiteral("Invio annullato dall'utente: messaggio non inviato."));
        QVERIFY(!fx.anyWithSubject(t));
    }
};

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"
