// The desktop's keyring through QtKeychain, on the real Secret Service the fixture starts
// (gnome-keyring-daemon on a private session bus): what the program keeps there is there for
// other programs of the desktop too; the window takes the passwords of an earlier version out
// of the file into it and shows them from it. A keyring that stops answering, is locked or
// vanishes is told within the time limit, never waited for.

#include "support/Boxes.h"
#include "support/CipherKit.h"
#include "support/Fixture.h"
#include "support/MailSettingsKit.h"

#include "secrets/SystemKeyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <csignal>

using secrets::KeyringAnswer;
using secrets::SystemKeyring;
using Kind = KeyringAnswer::Kind;

namespace {

// What another program of the desktop finds under the name (secret-tool, on the same bus).
QString lookedUp(const QString& name) {
    QProcess p;
    p.start(QStringLiteral("secret-tool"), {QStringLiteral("lookup"), QStringLiteral("user"), name,
                                            QStringLiteral("server"), SystemKeyring::service()});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

pid_t daemonPid() {
    QFile f(qEnvironmentVariable("GESTIONE_KEYRING_DIR") + QStringLiteral("/daemon.pid"));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("the keyring fixture did not run");
    return pid_t(f.readAll().trimmed().toLongLong());
}

// A call's answer and how long it took.
struct Timed {
    KeyringAnswer answer;
    qint64 ms;
};
template <class F> Timed timed(F&& call) {
    QElapsedTimer t;
    t.start();
    KeyringAnswer a = call();
    return {a, t.elapsed()};
}

// A Secret Service that says its default collection is open and never answers anything else: a
// keyring that takes a request and goes silent.
class SilentService : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == QLatin1String("Get") &&
            message.arguments().value(1).toString() == QLatin1String("Locked")) {
            connection.send(
                message.createReply(QVariant::fromValue(QDBusVariant(QVariant(false)))));
            return true;
        }
        ++unanswered;
        return true;
    }
    int unanswered = 0;
};

} // namespace

// The cases that kill the keyring run in a process of their own, after the others (see the
// tests' CMakeLists): the library keeps its view of the keyring for the life of the process,
// and one an earlier case left can still name the killed keyring.
static bool alone() {
    return qEnvironmentVariableIsSet("GESTIONE_KEYRING_ALONE");
}

class TestKeyring : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "no private session bus");
    }

    void writtenReadRemoved() {
        SystemKeyring keyring;
        const QString name =
            QStringLiteral("prova-%1/posta").arg(QCoreApplication::applicationPid());
        QCOMPARE(keyring.read(name).kind, Kind::NotFound);
        QCOMPARE(keyring.write(name, QStringLiteral("Segreta-àè-1")).kind, Kind::Done);
        const KeyringAnswer read = keyring.read(name);
        QCOMPARE(read.kind, Kind::Done);
        QCOMPARE(read.secret, QStringLiteral("Segreta-àè-1"));
        QCOMPARE(lookedUp(name), QStringLiteral("Segreta-àè-1"));
        QCOMPARE(keyring.remove(name).kind, Kind::Done);
        QCOMPARE(keyring.read(name).kind, Kind::NotFound);
        QCOMPARE(keyring.remove(name).kind, Kind::Done);
        QCOMPARE(lookedUp(name), QString());
    }

    // The window on a file of an earlier version: its passwords move into the keyring, the box
    // says so, the file holds them no more; "Impostazioni invio" shows the password from the
    // keyring and says where it is kept.
    void theWindowKeepsThePasswordsInTheKeyring() {
        SystemKeyring keyring;
        App app(TestDir::Content::Supplied, [&](App& a) {
            a.ctx.secrets.useKeyring(keyring);
            exec(*a.dir.open(),
                 "INSERT INTO IMPOSTAZIONE_INVIO (CHIAVE, VALORE) VALUES ('password', "
                 "'Posta-segreta-1'), ('server', 'posta.example.it'), ('utente', 'agente');");
        });
        QVERIFY(app.started);
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("La password dell'account di posta non è più nel database: è ora "
                                "custodita nel portachiavi del computer.\n\nLe copie del database "
                                "fatte prima possono contenerla ancora.",
                                "Gestione Ordini", BoxIcon::Information));
        QVERIFY(!cipherkit::plainPages(app.dir.dbPath(), FileKey::builtIn())
                     .contains("Posta-segreta-1"));
        const QString name = value(app.db(), "SELECT VALORE FROM PROTEZIONE WHERE CHIAVE = "
                                             "'portachiavi';") +
                             QStringLiteral("/posta");
        QCOMPARE(lookedUp(name), QStringLiteral("Posta-segreta-1"));

        app.dialogs.clear();
        const auto shown = mailsettingskit::open(app.window->mailCommands, "Posta-nuova-2");
        QCOMPARE(app.dialogs.describe(), QString());
        QCOMPARE(shown.password, QStringLiteral("Posta-segreta-1"));
        QCOMPARE(shown.place, QStringLiteral("La password è custodita nel portachiavi del "
                                             "computer, non nel database."));
        QCOMPARE(lookedUp(name), QStringLiteral("Posta-nuova-2"));
        QVERIFY(
            !cipherkit::plainPages(app.dir.dbPath(), FileKey::builtIn()).contains("Posta-nuova-2"));
        QCOMPARE(keyring.remove(name).kind, Kind::Done);
    }

    // A keyring stopped (it takes calls and never answers): each call gives up at its limit,
    // and once it answers again the keyring serves again.
    void aKeyringThatNeverAnswersIsNotWaitedFor() {
        SystemKeyring keyring(std::chrono::milliseconds(700));
        const QString name = QStringLiteral("ferma/posta");
        QCOMPARE(keyring.write(name, QStringLiteral("x")).kind, Kind::Done);
        const pid_t daemon = daemonPid();
        QCOMPARE(::kill(daemon, SIGSTOP), 0);
        const Timed stopped = timed([&] { return keyring.read(name); });
        const Timed again = timed([&] { return keyring.write(name, QStringLiteral("y")); });
        QCOMPARE(::kill(daemon, SIGCONT), 0);
        QCOMPARE(stopped.answer.kind, Kind::Unavailable);
        QCOMPARE(stopped.answer.detail, QStringLiteral("il portachiavi del computer non ha "
                                                       "risposto entro 700 millisecondi"));
        QVERIFY2(stopped.ms < 6000, qPrintable(QString::number(stopped.ms)));
        QCOMPARE(again.answer.kind, Kind::Unavailable);
        QVERIFY2(again.ms < 6000, qPrintable(QString::number(again.ms)));
        QTRY_COMPARE_WITH_TIMEOUT(keyring.read(name).secret, QStringLiteral("x"), 10000);
        QCOMPARE(keyring.remove(name).kind, Kind::Done);
    }

    // A locked keyring would ask its password in a prompt of the desktop: it is told at once,
    // and the window keeps the password where no keyring answers.
    void aLockedKeyringIsToldNotPrompted() {
        QDBusMessage lock = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
        lock << QVariant::fromValue(QList<QDBusObjectPath>{
            QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/collection/login"))});
        QCOMPARE(QDBusConnection::sessionBus().call(lock, QDBus::Block, 5000).type(),
                 QDBusMessage::ReplyMessage);
        SystemKeyring keyring;
        const Timed read = timed([&] { return keyring.read(QStringLiteral("x/posta")); });
        QCOMPARE(read.answer.kind, Kind::Unavailable);
        QCOMPARE(read.answer.detail,
                 QStringLiteral("il portachiavi del computer è bloccato: sbloccarlo (per esempio "
                                "con \"Password e chiavi\") perché il programma possa usarlo"));
        QVERIFY2(read.ms < 4000, qPrintable(QString::number(read.ms)));

        App app(TestDir::Content::Supplied, [&](App& a) { a.ctx.secrets.useKeyring(keyring); });
        QVERIFY(app.started);
        QCOMPARE(mailsettingskit::open(app.window->mailCommands).place,
                 QStringLiteral("La password non viene salvata: il portachiavi del computer "
                                "non si può usare (il portachiavi del computer è bloccato: "
                                "sbloccarlo (per esempio con \"Password e chiavi\") perché "
                                "il programma possa usarlo) e il database non ha una "
                                "password personale. Il programma la chiede al primo invio "
                                "e la ricorda fino all'uscita."));
    }

    // A keyring whose default collection is open, and which then never answers the request: the
    // job is given up at its limit, and until it ends no other is started behind it (each would
    // wait in the library's queue): the calls after it are told at once.
    void aRequestThatNeverAnswersHoldsNothing() {
        if (!alone())
            return;
        QCOMPARE(::kill(daemonPid(), SIGKILL), 0);
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                            QStringLiteral("servizio-muto"));
        SilentService silent;
        QVERIFY(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/secrets"), &silent,
                                          QDBusConnection::SubPath));
        bus.interface()->registerService(QStringLiteral("org.freedesktop.secrets"),
                                         QDBusConnectionInterface::QueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->serviceOwner(QStringLiteral(
                                     "org.freedesktop.secrets")) == bus.baseService(),
                                 20000);
        SystemKeyring keyring(std::chrono::milliseconds(700));
        const Timed first = timed([&] { return keyring.read(QStringLiteral("x/posta")); });
        QCOMPARE(first.answer.detail, QStringLiteral("il portachiavi del computer non ha "
                                                     "risposto entro 700 millisecondi"));
        QVERIFY2(first.ms < 6000, qPrintable(QString::number(first.ms)));
        QVERIFY(silent.unanswered > 0);
        const int asked = silent.unanswered;
        const Timed next = timed([&] { return keyring.write(QStringLiteral("x/posta"), "y"); });
        QCOMPARE(next.answer.kind, Kind::Unavailable);
        QVERIFY2(next.ms < 700, qPrintable(QString::number(next.ms)));
        QCOMPARE(silent.unanswered, asked);
        bus.unregisterService(QStringLiteral("org.freedesktop.secrets"));
        bus.unregisterObject(QStringLiteral("/org/freedesktop/secrets"),
                             QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus(QStringLiteral("servizio-muto"));
    }

    // The keyring's process gone, and nothing in its place: told within the limit.
    void aKeyringThatVanishes() {
        if (!alone())
            return;
        SystemKeyring keyring(std::chrono::milliseconds(2000));
        const Timed read = timed([&] { return keyring.read(QStringLiteral("x/posta")); });
        QCOMPARE(read.answer.kind, Kind::Unavailable);
        QVERIFY(!read.answer.detail.isEmpty());
        QVERIFY2(read.ms < 5000, qPrintable(QString::number(read.ms)));
    }
};

QTEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
