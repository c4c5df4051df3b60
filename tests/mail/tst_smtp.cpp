// The SMTP sender against a real server: what arrives, and every failure named, with nothing
// recorded by the server when the sending failed.
#include "MailKit.h"
#include "mail/SmtpSender.h"

#include <QCryptographicHash>
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
            << "Il server di posta ha rifiutato il nome utente o la password" + notSent +
                   "\nRisposta del server: 535 5.7.8 Authentication credentials invalid";
        QTest::newRow("certificato non riconosciuto")
            << "starttls" << Change([](MailServer& s, MailMessage&) { s.caFile.clear(); })
            << "Il certificato del server di posta 127.0.0.1 non è valido o non è riconosciuto" +
                   notSent;
        QTest::newRow("certificato non riconosciuto, SSL/TLS")
            << "tls" << Change([](MailServer& s, MailMessage&) { s.caFile.clear(); })
            << "Il certificato del server di posta 127.0.0.1 non è valido o non è riconosciuto" +
                   notSent;
        QTest::newRow("destinatario rifiutato")
            << "tls" << Change([](MailServer&, MailMessage& m) {
                   m.cc = {{QString(), QStringLiteral("rifiuta@cliente.it")}};
               })
            << "Il server di posta ha rifiutato il destinatario rifiuta@cliente.it" + notSent +
                   "\nRisposta del server: 550 5.1.1 Destinatario sconosciuto";
        QTest::newRow("connessione caduta durante i dati")
            << "starttls" << Change([](MailServer&, MailMessage& m) {
                   m.cc = {{QString(), QStringLiteral("cade@cliente.it")}};
               })
            << "La connessione con il server di posta si è interrotta durante l'invio del "
               "messaggio" +
                   notSent;
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
        QTest::newRow("server che tace") << "silent" << Change([](MailServer& s, MailMessage&) {
            s.responseTimeoutS = 1;
            s.totalTimeoutS = 3;
        }) << "Il server di posta 127.0.0.1 (porta %1) non ha risposto in tempo" + notSent;
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
        QCOMPARE(sent.error().text, expected);
        QVERIFY(!fx.anyWithSubject(t));
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
                     QStringLiteral("Il messaggio è troppo grande per il server di posta: "
                                    "messaggio non inviato.\nRisposta del server: 552")),
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
