// The personal password of the database: set, asked at start-up, changed and removed through
// "Password personale…" of the Archivio menu; copies keep it, and a copy under another key is
// restored under the file's own.

#include "support/Boxes.h"
#include "support/FileBytes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "backup/Backup.h"
#include "backup/BackupCommands.h"
#include "data/Rekey.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

namespace {

const QString kTitle = QStringLiteral("Password personale");
const QString kApp = QStringLiteral("Gestione Ordini");
const QString kCode = QStringLiteral("Inserisci il Codice di Controllo");
const QString kCodeTitle = QStringLiteral("Gestione Ordini") + QString(13, QLatin1Char('.'));

QString warning(const QString& question) {
    return QStringLiteral(
               "Con una password personale il database si apre solo scrivendo la password: "
               "senza di essa né questo programma né altri possono leggerlo, neppure su un "
               "altro computer. Le copie automatiche accanto al database prendono la stessa "
               "password; le copie fatte con \"Copia di sicurezza…\" in altre cartelle restano "
               "come sono.\n\n"
               "ATTENZIONE: una password dimenticata non si può recuperare in alcun modo, e "
               "con essa si perdono i dati.\n\n"
               "I fogli degli ordini, i PDF e le esportazioni restano file normali, leggibili "
               "da chiunque li riceva.\n\n%1")
        .arg(question);
}

const QString kElsewhere = QStringLiteral(
    "Le copie fatte con \"Copia di sicurezza…\" in altre cartelle o su altri dischi non sono "
    "cambiate: chiunque le abbia può leggerle con la chiave comune del programma. Cancellarle, "
    "o rifarle da ora.");
const QString kNew =
    QStringLiteral("Nuova password personale (almeno 8 caratteri, non solo cifre)");
const QString kAgain = QStringLiteral("Ripetere la nuova password personale");
const QString kCurrent =
    QStringLiteral("Il database ha una password personale.\n\nPassword personale attuale");

// The engine's code when the file is opened with `key`: 0 when it opens.
int openCode(const QString& path, const FileKey& key) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, key, o);
    return db ? 0 : db.error().code & 0xFF;
}

// What the sqlcipher client says when it reads the file with the built-in key.
QString clientReads(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("sqlcipher"), {path});
    p.write("PRAGMA key = 'ToRe4713'; PRAGMA cipher_page_size = 4096; PRAGMA kdf_iter = 64000;"
            "SELECT count(*) FROM UTENTE;\n");
    p.closeWriteChannel();
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

QString customers(Database& db) {
    return value(db, "SELECT group_concat(SOGGETTO, '|') FROM (SELECT SOGGETTO FROM CLIENTE "
                     "ORDER BY ID);");
}

// Asks the command with the access code and the given answers; the boxes it showed.
QString command(App& app, const QList<std::optional<QString>>& passwords,
                const QList<bool>& answers) {
    app.dialogs.clear();
    app.dialogs.answerInput(QStringLiteral("7391"));
    for (const auto& p : passwords)
        app.dialogs.answerPassword(p);
    for (bool a : answers)
        app.dialogs.answers.push_back(a);
    ui::menu(app.window.get(), "PasswordPersonale");
    return app.dialogs.describe();
}

// A second start of the program on the same folder, answering the password boxes.
struct Restart {
    Restart(App& app, const QStringList& passwords)
        : ctx(dialogs, app.clock, app.opener, app.dir.path()) {
        for (const QString& p : passwords)
            dialogs.answerPassword(p);
        window = std::make_unique<Gestione>(ctx);
        started = window->Form_Load();
    }
    ScriptedDialogs dialogs;
    AppContext ctx;
    std::unique_ptr<Gestione> window;
    Status started;
};

} // namespace

class TestPassword : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setStartChangeRemove() {
        App app(TestDir::Content::Demo);
        const QString path = app.dir.dbPath();
        const QString names = customers(app.db());
        QCOMPARE(clientReads(path), QStringLiteral("1"));

        // Set.
        QCOMPARE(
            command(app, {QStringLiteral("Segreto-1"), QStringLiteral("Segreto-1")}, {true}),
            boxes::seq({boxes::input(kCode, kCodeTitle),
                        boxes::one(ScriptedDialogs::Kind::Question,
                                   warning("Impostare una password personale?"), kTitle,
                                   BoxIcon::Exclamation),
                        boxes::password(kNew, kTitle), boxes::password(kAgain, kTitle),
                        boxes::message("Password personale impostata.\n\nDa ora il "
                                       "programma la chiede a ogni avvio.\n\nCopie "
                                       "automatiche nella cartella\n" +
                                           backup::automaticFolder(path) +
                                           "\nprotette con la stessa password: 1.\n\n" + kElsewhere,
                                       kTitle, BoxIcon::Information)}));
        QVERIFY(app.db().key().personal);
        QCOMPARE(customers(app.db()), names);
        QCOMPARE(openCode(path, FileKey::builtIn()), SQLITE_NOTADB);
        QCOMPARE(openCode(path, FileKey::personalPassword("Segreto-1")), 0);
        QVERIFY2(clientReads(path).contains("file is encrypted or is not a database"),
                 qPrintable(clientReads(path)));
        QVERIFY(!QFile::exists(rekey::workFile(path)));
        // The copies keep the key.
        app.window->backups().copyAtExit();
        const QString copy = backup::copies(path, backup::automaticFolder(path)).last();
        QCOMPARE(openCode(copy, FileKey::builtIn()), SQLITE_NOTADB);
        QCOMPARE(openCode(copy, FileKey::personalPassword("Segreto-1")), 0);
        app.ctx.connection.reset();

        // Start-up: three wrong passwords end the program with a box that gives no hint.
        {
            Restart r(app, {"segreto-1", "Segreto-2", ""});
            QVERIFY(!r.started);
            QCOMPARE(r.dialogs.describe(),
                     boxes::seq({boxes::password("Password personale", kApp),
                                 boxes::password("Password errata.\n\nPassword personale", kApp),
                                 boxes::password("Password errata.\n\nPassword personale", kApp),
                                 boxes::message("Password personale errata per tre volte.\n\n"
                                                "Il programma verrà chiuso.",
                                                kApp, BoxIcon::Critical)}));
        }
        {
            Restart r(app, {});
            QVERIFY(!r.started);
            QCOMPARE(r.dialogs.boxes.last().text,
                     QStringLiteral("Senza la password personale il database non si apre.\n\n"
                                    "Il programma verrà chiuso."));
        }
        // A change of key cut short left its new file: it goes, the database opens.
        QFile(rekey::workFile(path)).open(QIODevice::WriteOnly);
        Restart again(app, {"Segreto-0", "Segreto-1"});
        QVERIFY(again.started);
        QVERIFY(!QFile::exists(rekey::workFile(path)));
        QCOMPARE(customers(again.ctx.db()), names);
        again.ctx.connection.reset();
        app.ctx.connection =
            std::move(Database::open(path, FileKey::personalPassword("Segreto-1")).value());

        // Change.
        QCOMPARE(command(app,
                         {QStringLiteral("Segreto-1"), QStringLiteral("Nuova password"),
                          QStringLiteral("Nuova password")},
                         {true, true}),
                 boxes::seq({boxes::input(kCode, kCodeTitle), boxes::password(kCurrent, kTitle),
                             boxes::question("Cambiare la password personale?\n\nSì: "
                                             "sceglierne una nuova.\nNo: toglierla.",
                                             kTitle),
                             boxes::one(ScriptedDialogs::Kind::Question,
                                        warning("Cambiare la password personale?"), kTitle,
                                        BoxIcon::Exclamation),
                             boxes::password(kNew, kTitle), boxes::password(kAgain, kTitle),
                             boxes::message("Password personale cambiata.\n\nCopie "
                                            "automatiche nella cartella\n" +
                                                backup::automaticFolder(path) +
                                                "\nprotette con la stessa password: 2.\n\nLe "
                                                "copie fatte con \"Copia di sicurezza…\" in "
                                                "altre cartelle o su altri dischi non sono "
                                                "cambiate: restano con la password di prima.",
                                            kTitle, BoxIcon::Information)}));
        QCOMPARE(openCode(path, FileKey::personalPassword("Segreto-1")), SQLITE_NOTADB);
        QCOMPARE(openCode(path, FileKey::personalPassword("Nuova password")), 0);
        QCOMPARE(customers(app.db()), names);

        // Remove.
        QCOMPARE(command(app, {QStringLiteral("Nuova password")}, {false, true}),
                 boxes::seq({boxes::input(kCode, kCodeTitle), boxes::password(kCurrent, kTitle),
                             boxes::question("Cambiare la password personale?\n\nSì: "
                                             "sceglierne una nuova.\nNo: toglierla.",
                                             kTitle),
                             boxes::one(ScriptedDialogs::Kind::Question,
                                        "Togliere la password personale?\n\nIl database tornerà "
                                        "ad aprirsi con la chiave comune del programma: "
                                        "chiunque abbia il file, o una copia fatta da ora in "
                                        "poi, potrà leggerlo.",
                                        kTitle, BoxIcon::Exclamation),
                             boxes::message("Password personale tolta.\n\nIl database si apre "
                                            "di nuovo senza password. Le copie fatte finora "
                                            "restano protette dalla password tolta: per "
                                            "ripristinarne una il programma la chiederà.",
                                            kTitle, BoxIcon::Information)}));
        QVERIFY(!app.db().key().personal);
        QCOMPARE(openCode(path, FileKey::builtIn()), 0);
        QCOMPARE(customers(app.db()), names);
    }

    // A file under a personal password that does not open with what was typed is under
    // another password, not damaged: no copy is offered (not even the newest one, made that
    // morning before the password and open to the built-in key), the file stays as it was and
    // the program ends.
    void aWrongOrMissingPasswordOffersNoCopy_data() {
        QTest::addColumn<QStringList>("typed");
        QTest::newRow("cancelled") << QStringList{};
        QTest::newRow("anything, then cancelled") << QStringList{"qualsiasi"};
    }
    void aWrongOrMissingPasswordOffersNoCopy() {
        QFETCH(QStringList, typed);
        QByteArray before;
        App app(TestDir::Content::Demo, [&](App& a) {
            {
                auto db = a.dir.open();
                QVERIFY(backup::automaticCopy(*db, a.clock.time.addSecs(-3 * 3600)));
            }
            QVERIFY(rekey::changeKey(a.dir.dbPath(), FileKey::builtIn(),
                                     FileKey::personalPassword("Segreto-1")));
            before = filebytes::contents(a.dir.dbPath());
            for (const QString& t : typed)
                a.dialogs.answerPassword(t);
        });
        QVERIFY(!app.started);
        QStringList expected{boxes::password("Password personale", kApp)};
        if (!typed.isEmpty())
            expected << boxes::password("Password errata.\n\nPassword personale", kApp);
        expected << boxes::message("Senza la password personale il database non si apre.\n\nIl "
                                   "programma verrà chiuso.",
                                   kApp, BoxIcon::Critical);
        QCOMPARE(app.dialogs.describe(), boxes::seq(expected));
        QCOMPARE(filebytes::contents(app.dir.dbPath()), before);
        QCOMPARE(QDir(backup::automaticFolder(app.dir.dbPath()))
                     .entryList({"*danneggiato*"}, QDir::Files | QDir::Hidden),
                 QStringList{});
    }

    // The right password on a file whose first page is damaged: the other pages show it right,
    // and the newest good copy under the same password is offered; a copy under the built-in
    // key never takes the place of a file under a password.
    void aDamagedFileUnderAPasswordOffersOnlyCopiesUnderIt_data() {
        QTest::addColumn<bool>("copyUnderThePassword");
        QTest::newRow("a copy under the password") << true;
        QTest::newRow("only a copy under the built-in key") << false;
    }
    void aDamagedFileUnderAPasswordOffersOnlyCopiesUnderIt() {
        QFETCH(bool, copyUnderThePassword);
        const FileKey mine = FileKey::personalPassword("Segreto-1");
        QString newer;
        App app(TestDir::Content::Demo, [&](App& a) {
            const QString path = a.dir.dbPath();
            {
                auto db = a.dir.open();
                QVERIFY(backup::automaticCopy(*db, a.clock.time.addDays(-2)));
            }
            QVERIFY(rekey::changeKey(path, FileKey::builtIn(), mine));
            if (copyUnderThePassword) {
                auto db = Database::open(path, mine);
                QVERIFY(db);
                newer = *backup::automaticCopy(**db, a.clock.time.addDays(-1));
            }
            filebytes::damage(path, 200);
            a.dialogs.answerPassword(QStringLiteral("Segreto-1"));
            a.dialogs.answerYes();
        });
        const QString path = app.dir.dbPath();
        const auto b = app.dialogs.boxes;
        QVERIFY2(b.size() == (copyUnderThePassword ? 3 : 2), qPrintable(app.dialogs.describe()));
        QCOMPARE(boxes::one(b[0].kind, b[0].text, b[0].title, b[0].icon),
                 boxes::password("Password personale", kApp));
        if (!copyUnderThePassword) {
            QVERIFY(!app.started);
            QCOMPARE(boxes::one(b[1].kind, b[1].text, b[1].title, b[1].icon),
                     boxes::message("Impossibile aprire il database\n" + path +
                                        "\n\nIl file del database è danneggiato.\n\nIl "
                                        "programma verrà chiuso.",
                                    kApp, BoxIcon::Critical));
            QCOMPARE(app.dialogs.unexpected, QStringList{});
            return;
        }
        QVERIFY(app.started);
        QVERIFY2(b[1].text.startsWith("Il database\n" + path +
                                      "\nnon si può aprire: il file del database è danneggiato."
                                      "\n\nLa copia automatica più recente che supera il "
                                      "controllo è\n" +
                                      newer + "\n"),
                 qPrintable(b[1].text));
        QVERIFY(app.db().key() == mine);
        QCOMPARE(openCode(path, FileKey::builtIn()), SQLITE_NOTADB);
    }

    // A file that is no encrypted database at all (its key unknown), the newest copy under a
    // password: the copy's password is asked, and the copy offered under it.
    void aFileThatIsNoDatabaseAsksTheCopysPassword() {
        const FileKey mine = FileKey::personalPassword("Segreto-1");
        App app(TestDir::Content::Supplied, [&](App& a) {
            const QString path = a.dir.dbPath();
            QVERIFY(rekey::changeKey(path, FileKey::builtIn(), mine));
            {
                auto db = Database::open(path, mine);
                QVERIFY(db && backup::automaticCopy(**db, a.clock.time.addDays(-1)));
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(3 * 4096, '\0'));
            f.close();
            a.dialogs.answerPassword(QStringLiteral("Segreto-1"));
            a.dialogs.answerYes();
        });
        QVERIFY2(app.started, qPrintable(app.dialogs.describe()));
        const auto b = app.dialogs.boxes;
        QCOMPARE(b.size(), 3);
        QCOMPARE(boxes::one(b[0].kind, b[0].text, b[0].title, b[0].icon),
                 boxes::password("La copia è protetta da un'altra password personale.\n\n"
                                 "Password della copia",
                                 kApp));
        QCOMPARE(b[1].kind, ScriptedDialogs::Kind::Question);
        QVERIFY(app.db().key() == mine);
    }

    // A password refused, mistyped, or the wrong current one: a box says why, the key stays.
    void refusals_data() {
        QTest::addColumn<bool>("personal");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("said");
        const QString notSet = QStringLiteral("\n\nLa password personale non è stata impostata.");
        QTest::newRow("short") << false << QStringList{"abc1234"}
                               << "La password è troppo corta: servono almeno 8 caratteri, non "
                                  "solo cifre." +
                                      notSet;
        QTest::newRow("digits") << false << QStringList{"12345678"}
                                << "La password non può essere fatta di sole cifre: servono "
                                   "almeno 8 caratteri, non solo cifre." +
                                       notSet;
        QTest::newRow("mistyped") << false << QStringList{"Segreto-1", "Segreto-2"}
                                  << "Le due password non coincidono." + notSet;
        QTest::newRow("wrong current")
            << true << QStringList{"Segreto-2"}
            << QStringLiteral("Password personale errata.\n\nNulla è stato cambiato.");
    }
    void refusals() {
        QFETCH(bool, personal);
        QFETCH(QStringList, typed);
        QFETCH(QString, said);
        const FileKey key = personal ? FileKey::personalPassword("Segreto-1") : FileKey::builtIn();
        App app(TestDir::Content::Supplied, [&](App& a) {
            if (personal) {
                QVERIFY(rekey::changeKey(a.dir.dbPath(), FileKey::builtIn(), key));
                a.dialogs.answerPassword(QStringLiteral("Segreto-1"));
            }
        });
        QVERIFY(app.started);
        QList<std::optional<QString>> answers;
        for (const QString& t : typed)
            answers << t;
        const QString shown = command(app, answers, {true});
        QVERIFY2(shown.endsWith(boxes::message(said, kTitle, BoxIcon::Exclamation)),
                 qPrintable(shown));
        QVERIFY(app.dialogs.unexpected.isEmpty());
        QVERIFY(app.db().key() == key);
        QCOMPARE(openCode(app.dir.dbPath(), key), 0);
    }

    // A copy made under another password asks for it; a copy under another key, or none, comes
    // back under the file's own or keeps its own, as the user answers.
    void restoreOfACopyUnderAnotherKey_data() {
        QTest::addColumn<bool>("otherPassword");
        QTest::addColumn<bool>("takeFileKey");
        QTest::newRow("another password, the file's taken") << true << true;
        QTest::newRow("another password, kept") << true << false;
        QTest::newRow("the built-in key, the file's taken") << false << true;
        QTest::newRow("the built-in key, kept") << false << false;
    }
    void restoreOfACopyUnderAnotherKey() {
        QFETCH(bool, otherPassword);
        QFETCH(bool, takeFileKey);
        const FileKey mine = FileKey::personalPassword("Segreto-1");
        App app(TestDir::Content::Demo, [&](App& a) {
            QVERIFY(rekey::changeKey(a.dir.dbPath(), FileKey::builtIn(), mine));
            a.dialogs.answerPassword(QStringLiteral("Segreto-1"));
        });
        QVERIFY(app.started);
        QTemporaryDir elsewhere;
        auto made = backup::copyInto(app.db(), elsewhere.path(), app.clock.now());
        QVERIFY(made);
        const QString copy = *made;
        const FileKey copyKey =
            otherPassword ? FileKey::personalPassword("Altra-password") : FileKey::builtIn();
        {
            auto db = Database::open(copy, mine);
            QVERIFY(db);
            exec(**db, "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('777', 'DALLA COPIA');");
        }
        QVERIFY(rekey::changeKey(copy, mine, copyKey));
        app.dialogs.clear();
        app.dialogs.answerChoice(copy);
        app.dialogs.answerPassword(QStringLiteral("Sbagliata-1"));
        app.dialogs.answerPassword(QStringLiteral("Altra-password"));
        app.dialogs.answers.push_back(takeFileKey);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        const auto b = app.dialogs.boxes;
        QVERIFY2(b.last().icon == BoxIcon::Information, qPrintable(app.dialogs.describe()));
        QVERIFY(app.dialogs.unexpected.isEmpty());
        int asked = 0;
        for (const auto& box : b)
            if (box.kind == ScriptedDialogs::Kind::Password)
                ++asked;
        QCOMPARE(asked, otherPassword ? 2 : 0);
        if (otherPassword)
            QCOMPARE(b[2].text, QStringLiteral("Password errata.\n\nLa copia è protetta da "
                                               "un'altra password personale.\n\nPassword della "
                                               "copia"));
        const auto& which = b[otherPassword ? 3 : 1];
        QCOMPARE(which.kind, ScriptedDialogs::Kind::Question);
        QCOMPARE(which.byDefault, BoxDefault::Yes);
        QCOMPARE(which.text,
                 otherPassword
                     ? QStringLiteral("La copia è protetta da un'altra password personale.\n\n"
                                      "Ripristinarla con la password del database in uso?\n\n"
                                      "Sì: la copia prende la password del database in uso.\n"
                                      "No: la copia tiene la sua password, che da ora il "
                                      "programma chiederà a ogni avvio.")
                     : QStringLiteral("La copia non ha una password personale: è stata fatta "
                                      "prima che la password fosse impostata.\n\n"
                                      "Ripristinarla con la password del database in uso?\n\n"
                                      "Sì: la copia prende la password del database in uso.\n"
                                      "No: la copia resta senza password personale e chiunque "
                                      "abbia il file potrà leggerlo."));
        const FileKey expected = takeFileKey ? mine : copyKey;
        QVERIFY(app.db().key() == expected);
        QCOMPARE(openCode(app.dir.dbPath(), expected), 0);
        QCOMPARE(openCode(app.dir.dbPath(), takeFileKey ? copyKey : mine), SQLITE_NOTADB);
        QCOMPARE(value(app.db(), "SELECT count(*) FROM CLIENTE WHERE CODICE = '777';"),
                 QStringLiteral("1"));
        const QString tail =
            takeFileKey ? QString()
            : otherPassword
                ? QStringLiteral("\n\nIl database ha ora la password personale della copia: "
                                 "il programma la chiederà a ogni avvio.")
                : QStringLiteral("\n\nIl database ora si apre senza password personale.");
        QVERIFY2(b.last().text.endsWith(tail), qPrintable(b.last().text));
        QVERIFY(b.last().text.startsWith("Ripristino effettuato."));
    }
};

QTEST_MAIN(TestPassword)
#include "tst_password.moc"
