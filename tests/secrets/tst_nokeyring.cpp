// A session without a keyring (no session bus at all): the real keyring says so at once; the
// mail password of a file without a personal password is asked at the first sending of a run
// and kept in memory until the end, never in the file; a file with a personal password keeps it.

#include "sheets/SheetKit.h"
#include "support/Boxes.h"
#include "support/CipherKit.h"
#include "support/Fixture.h"
#include "support/MailSettingsKit.h"

#include "data/Rekey.h"
#include "mail/MailSettings.h"
#include "mail/OrderMailCommands.h"
#include "secrets/SystemKeyring.h"
#include "support/Ui.h"
#include "sync/SyncSettings.h"

#include <QElapsedTimer>
#include <QStatusBar>
#include <QTest>

using secrets::SystemKeyring;

namespace {

const QString kNoBus = QStringLiteral("nessun portachiavi risponde: la sessione del computer non "
                                      "ha un bus D-Bus (Dettaglio: ");

// The settings of a server, an order 12 of customer 101 and its principal, in the file.
void prepare(Database& db) {
    exec(db, "INSERT OR IGNORE INTO CLIENTE (CODICE, SOGGETTO) VALUES ('101', 'ALIMENTARI');"
             "INSERT INTO MANDANTE (NOME, EMAIL) VALUES ('Dolciaria Spa', 'ordini@mandante.it');");
    kit::Header h;
    h.nr = "12";
    kit::storeOrder(db, h, {{"CAFFÈ", "1001", 1.0, 3.0, 10.0, ""}});
    mail::settings::Settings s = *mail::settings::load(db);
    s.server.host = QStringLiteral("posta.example.it");
    s.server.user = QStringLiteral("agente");
    s.senderAddress = QStringLiteral("agente@prova.it");
    QVERIFY(mail::settings::save(db, s));
}

// Sends order 12 through the window with a stand-in for the server: the password it was given.
std::optional<QString> send(OrderMailCommands* c) {
    std::optional<QString> given;
    c->runDialog = [](QDialog&) { return true; };
    c->send = [&](const mail::MailServer& s, const mail::MailMessage&,
                  const mail::SendControl&) -> Result<mail::SendReceipt> {
        given = s.password;
        mail::SendReceipt r;
        r.recipients = {QStringLiteral("ordini@mandante.it")};
        r.serverReply = QStringLiteral("250 OK");
        return r;
    };
    c->sendOrder(QStringLiteral("2026"), QStringLiteral("12"));
    return given;
}

// The box that asks a password no keyring answers for, in a file without a personal password.
bool asked(const ScriptedDialogs::Box& b, const char* title, const char* whose) {
    const QString head = QStringLiteral("Il portachiavi del computer non si può usare (") + kNoBus;
    const QString tail = QStringLiteral(") e il database non ha una password personale: la "
                                        "password si ricorda solo fino all'uscita del programma."
                                        "\n\n") +
                         QString::fromUtf8(whose);
    if (b.kind == ScriptedDialogs::Kind::Password && b.title == QString::fromUtf8(title) &&
        b.text.startsWith(head) && b.text.endsWith(tail))
        return true;
    qWarning("%s", qPrintable(b.title + QLatin1Char('|') + b.text));
    return false;
}

} // namespace

class TestNoKeyring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theKeyringSaysSoAtOnce() {
        SystemKeyring keyring;
        QElapsedTimer t;
        t.start();
        const auto read = keyring.read(QStringLiteral("x/posta"));
        const auto written = keyring.write(QStringLiteral("x/posta"), QStringLiteral("y"));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!read.answered() && !written.answered());
        QVERIFY2(read.detail.startsWith(kNoBus), qPrintable(read.detail));
    }

    void aFileWithoutAPasswordAsksItAtTheFirstSending() {
        SystemKeyring keyring;
        App app(TestDir::Content::Supplied, [&](App& a) {
            a.ctx.secrets.useKeyring(keyring);
            prepare(*a.dir.open());
        });
        QVERIFY(app.started);
        OrderMailCommands* c = app.window->mailCommands;
        const QString place = mailsettingskit::open(c, "Posta-segreta-1").place;
        QVERIFY2(
            place.startsWith(QStringLiteral("La password non viene salvata: il portachiavi del "
                                            "computer non si può usare (") +
                             kNoBus),
            qPrintable(place));
        QVERIFY(place.endsWith(QStringLiteral(") e il database non ha una password personale. Il "
                                              "programma la chiede al primo invio e la ricorda "
                                              "fino all'uscita.")));
        // This run remembers it.
        app.dialogs.clear();
        QCOMPARE(send(c).value_or(QString()), QStringLiteral("Posta-segreta-1"));
        QCOMPARE(app.dialogs.boxes.size(), 1);
        QVERIFY(
            !cipherkit::plainPages(app.dir.dbPath(), FileKey::builtIn()).contains("Posta-segreta"));
        app.ctx.connection.reset();

        // The next run asks it at the first sending, and only then.
        ScriptedDialogs dialogs;
        AppContext ctx(dialogs, app.clock, app.opener, app.dir.path());
        ctx.secrets.useKeyring(keyring);
        Gestione again(ctx);
        QVERIFY(again.Form_Load());
        QCOMPARE(dialogs.describe(), QString());
        dialogs.answerPassword(QStringLiteral("Posta-segreta-1"));
        QCOMPARE(send(again.mailCommands).value_or(QString()), QStringLiteral("Posta-segreta-1"));
        const auto b = dialogs.take();
        QCOMPARE(b.size(), 2);
        QVERIFY(asked(b[0], "Invia ordine",
                      "Password dell'account di posta agente sul server posta.example.it"));
        QCOMPARE(b[1].text, QStringLiteral("Ordine 12/2026 inviato a ordini@mandante.it."));
        QCOMPARE(send(again.mailCommands).value_or(QString()), QStringLiteral("Posta-segreta-1"));
        QCOMPARE(dialogs.take().size(), 1);
        ctx.connection.reset();
    }

    // The sync at start finds a password given in an earlier run and kept in memory: it is asked
    // once; cancelled, the automatic syncs go without it and "Sincronizza" asks again.
    void theSyncAsksItOnce() {
        SystemKeyring keyring;
        App app(TestDir::Content::Supplied, [&](App& a) {
            a.ctx.secrets.useKeyring(keyring);
            auto db = a.dir.open();
            syncsettings::Settings s;
            s.server.host = QStringLiteral("127.0.0.1");
            s.server.port = 1;
            s.server.database = QStringLiteral("agenzia");
            s.server.user = QStringLiteral("anna");
            s.minutes = 0;
            QVERIFY(syncsettings::save(*db, s));
            exec(*db, "INSERT INTO PROTEZIONE (CHIAVE, VALORE) VALUES ('server.dove', 'memoria');");
            a.dialogs.answerPassword(std::nullopt);
        });
        QVERIFY(app.started);
        const auto b = app.dialogs.take();
        QCOMPARE(b.size(), 1);
        QVERIFY(asked(b[0], "Sincronizzazione",
                      "Password dell'utente anna sul server dell'agenzia 127.0.0.1"));
        QCOMPARE(app.window->statusBar()->currentMessage(),
                 QStringLiteral("Sincronizzazione non fatta: manca la password del server "
                                "dell'agenzia (la chiede \"Sincronizza\")."));
        app.dialogs.answerPassword(QStringLiteral("AnnaAnna"));
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_VERIFY_WITH_TIMEOUT(app.dialogs.boxes.size() == 2, 30000);
        QCOMPARE(app.dialogs.boxes[0].kind, ScriptedDialogs::Kind::Password);
        QVERIFY2(app.dialogs.boxes[1].text.startsWith("Sincronizzazione non riuscita: "),
                 qPrintable(app.dialogs.describe()));
        QVERIFY(app.dialogs.unexpected.isEmpty());
    }

    // With a personal password the file keeps it, and the next run reads it from there.
    void aFileWithAPasswordKeepsIt() {
        SystemKeyring keyring;
        const FileKey mine = FileKey::personalPassword(QStringLiteral("Segreto-1"));
        App app(TestDir::Content::Supplied, [&](App& a) {
            a.ctx.secrets.useKeyring(keyring);
            prepare(*a.dir.open());
            QVERIFY(rekey::changeKey(a.dir.dbPath(), FileKey::builtIn(), mine));
            a.dialogs.answerPassword(QStringLiteral("Segreto-1"));
        });
        QVERIFY(app.started);
        mailsettingskit::open(app.window->mailCommands, "Posta-segreta-1");
        const QString place = mailsettingskit::open(app.window->mailCommands).place;
        QVERIFY2(place.startsWith(QStringLiteral("La password è custodita nel database, protetto "
                                                 "dalla password personale: il portachiavi del "
                                                 "computer non si può usare (") +
                                  kNoBus),
                 qPrintable(place));
        QVERIFY(cipherkit::plainPages(app.dir.dbPath(), mine).contains("Posta-segreta-1"));
        app.ctx.connection.reset();

        ScriptedDialogs dialogs;
        dialogs.answerPassword(QStringLiteral("Segreto-1"));
        AppContext ctx(dialogs, app.clock, app.opener, app.dir.path());
        ctx.secrets.useKeyring(keyring);
        Gestione again(ctx);
        QVERIFY(again.Form_Load());
        dialogs.clear();
        QCOMPARE(send(again.mailCommands).value_or(QString()), QStringLiteral("Posta-segreta-1"));
        QCOMPARE(dialogs.take().size(), 1);
        ctx.connection.reset();
    }
};

QTEST_MAIN(TestNoKeyring)
#include "tst_nokeyring.moc"
