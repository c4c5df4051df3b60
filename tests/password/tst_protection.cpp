// What a personal password protects: with it set, every copy the program made takes it (each
// by the checked export and swap, whole under its old key or its new one whatever moment the
// program is killed at), what cannot be reached is said, and nothing the program leaves in its
// folders opens, or shows a page, under the built-in key.

#include "support/Boxes.h"
#include "support/CipherKit.h"
#include "support/FileBytes.h"
#include "support/Fixture.h"
#include "support/KillLoop.h"
#include "support/MailSettingsKit.h"
#include "support/Ui.h"

#include "backup/Backup.h"
#include "backup/BackupCommands.h"
#include "backup/CopyKeys.h"
#include "data/Rekey.h"
#include "data/Schema.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTest>

#include <sqlite3.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

const QString kTitle = QStringLiteral("Password personale");
const QString kPassword = QStringLiteral("Segreto-1");
const QString kElsewhere = QStringLiteral(
    "Le copie fatte con \"Copia di sicurezza…\" in altre cartelle o su altri dischi non sono "
    "cambiate: chiunque le abbia può leggerle con la chiave comune del programma. Cancellarle, "
    "o rifarle da ora.");

int openCode(const QString& path, const FileKey& key) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, key, o);
    return db ? 0 : db.error().code & 0xFF;
}

QString customersOf(const QString& path, const FileKey& key) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, key, o);
    if (!db)
        return db.error().text;
    return value(**db, "SELECT group_concat(SOGGETTO, '|') FROM (SELECT SOGGETTO FROM CLIENTE "
                       "ORDER BY ID);");
}

// "Password personale…" set to kPassword through the menu: the box that ends it.
ScriptedDialogs::Box setPassword(App& app) {
    app.dialogs.clear();
    app.dialogs.answerInput(QStringLiteral("7391"));
    app.dialogs.answerYes();
    app.dialogs.answerPassword(kPassword);
    app.dialogs.answerPassword(kPassword);
    ui::menu(app.window.get(), "PasswordPersonale");
    if (app.dialogs.boxes.isEmpty())
        qFatal("no box");
    return app.dialogs.boxes.last();
}

// A copy of the file kept in the copies' folder as the restore keeps a damaged one.
QString keptAsDamaged(App& app, Database& db) {
    const QString path =
        QDir(backup::automaticFolder(app.dir.dbPath()))
            .filePath(QStringLiteral("Ordine_2026-12-01_09-00-00_danneggiato.mdb"));
    if (!backup::copyOf(db, path))
        qFatal("copy");
    return path;
}

// A page under the built-in key, found at any place a database or its journals keep pages: the
// file's own pages, the frames of a write-ahead log, the records of a rollback journal. `salts`
// are those of the files the pages may come from (an attacker reads them from any page 1).
bool anyPageUnderTheBuiltInKey(const QByteArray& bytes, QList<QByteArray> salts) {
    constexpr int kPage = cipherpages::kPageSize;
    QList<std::pair<qsizetype, std::uint32_t>> places;
    for (qsizetype at = 0; at + kPage <= bytes.size(); at += kPage)
        places.append({at, std::uint32_t(at / kPage + 1)});
    auto be32 = [&](qsizetype at) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData() + at);
        return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) |
               (std::uint32_t(p[2]) << 8) | std::uint32_t(p[3]);
    };
    // A write-ahead log: a header of 32 bytes, then frames of 24 bytes and a page.
    for (qsizetype at = 32; at + 24 + kPage <= bytes.size(); at += 24 + kPage)
        places.append({at + 24, be32(at)});
    // A rollback journal: records from the sector after its header, each a page number, the
    // page and a checksum.
    if (bytes.size() >= 28) {
        const qsizetype sector = be32(20);
        for (qsizetype at = sector; sector > 0 && at + 8 + kPage <= bytes.size(); at += 8 + kPage)
            places.append({at + 4, be32(at)});
    }
    for (const auto& [at, number] : places)
        if (number == 1)
            salts << bytes.mid(at, 16);
    for (const QByteArray& salt : salts) {
        const cipherpages::Seals seals(FileKey::builtIn(), salt);
        for (const auto& [at, number] : places)
            if (seals.sealed(bytes.mid(at, kPage), number))
                return true;
    }
    return false;
}

// Every file under the folder, at any depth.
QStringList filesUnder(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

// What a thief with the program's built-in key gets from the files in the folder: for each file
// it opens, shows a page of, or holds one of the texts in plain, why.
QStringList readableUnder(const QString& folder, const QList<QByteArray>& salts,
                          const QStringList& texts) {
    QStringList out;
    for (const QString& path : filesUnder(folder)) {
        const QByteArray bytes = filebytes::contents(path);
        // An empty file (a journal with nothing in it) holds nothing to read.
        if (!bytes.isEmpty() && openCode(path, FileKey::builtIn()) == 0)
            out << path + QStringLiteral(": si apre");
        if (anyPageUnderTheBuiltInKey(bytes, salts))
            out << path + QStringLiteral(": una pagina si legge");
        for (const QString& t : texts)
            if (bytes.contains(t.toUtf8()))
                out << path + QStringLiteral(": contiene ") + t;
    }
    return out;
}

// A personal password with few rounds, for the kill loop: what is tested is the swap.
const FileKey& quickPersonal() {
    static const FileKey key{QByteArrayLiteral("Veloce-1"), 4000, true};
    return key;
}

} // namespace

class TestProtection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every copy the program made in the copies' folder (the automatic ones and one kept as
    // damaged) takes the password; a file of the user's own there, and a copy made elsewhere
    // with "Copia di sicurezza…", are left as they are, which the box says.
    void settingThePasswordProtectsEveryCopy() {
        QString kept;
        QString own;
        App app(TestDir::Content::Demo, [&](App& a) {
            auto db = a.dir.open();
            QVERIFY(backup::automaticCopy(*db, a.clock.time.addDays(-3)));
            QVERIFY(backup::automaticCopy(*db, a.clock.time.addDays(-2)));
            kept = keptAsDamaged(a, *db);
            own = QDir(backup::automaticFolder(a.dir.dbPath())).filePath("mia copia.mdb");
            QVERIFY(backup::copyOf(*db, own));
        });
        QVERIFY(app.started);
        const QString path = app.dir.dbPath();
        const QString folder = backup::automaticFolder(path);
        QTemporaryDir elsewhere;
        app.dialogs.answerChoice(elsewhere.path());
        ui::menu(app.window.get(), "CopiaSicurezza");
        const QString manual = app.dialogs.boxes.last().text.section(QLatin1Char('\n'), 1);
        const QString names = customersOf(path, FileKey::builtIn());
        // Two copies from before, the one of this start, the damaged one.
        QCOMPARE(copykeys::programCopies(path).size(), 4);

        const auto done = setPassword(app);
        QCOMPARE(boxes::message(done.text, done.title, done.icon),
                 boxes::message("Password personale impostata.\n\nDa ora il programma la chiede "
                                "a ogni avvio.\n\nCopie automatiche nella cartella\n" +
                                    folder + "\nprotette con la stessa password: 4.\n\n" +
                                    kElsewhere,
                                kTitle, BoxIcon::Information));
        for (const QString& copy : copykeys::programCopies(path)) {
            QCOMPARE(openCode(copy, FileKey::builtIn()), SQLITE_NOTADB);
            QCOMPARE(customersOf(copy, FileKey::personalPassword(kPassword)), names);
        }
        QCOMPARE(openCode(own, FileKey::builtIn()), 0);
        QCOMPARE(openCode(manual, FileKey::builtIn()), 0);
        QVERIFY(!copykeys::pending(app.db()));
        QCOMPARE(filesUnder(folder).filter(".nuovachiave"), QStringList{});

        // A copy restored now is under the file's own key: nothing is asked of it.
        app.dialogs.clear();
        app.dialogs.answerChoice(backup::copies(path, folder).first());
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        QVERIFY2(app.dialogs.boxes.size() == 3, qPrintable(app.dialogs.describe()));
        QCOMPARE(app.dialogs.boxes.last().icon, BoxIcon::Information);
        QVERIFY(app.db().key() == FileKey::personalPassword(kPassword));
    }

    // The copies' folder cannot be written: the file takes the password, the copies cannot,
    // and the box says so; the next start, the folder writable again, finishes the work.
    void aFolderOfCopiesThatCannotBeWritten() {
        App app(TestDir::Content::Demo);
        QVERIFY(app.started);
        const QString path = app.dir.dbPath();
        const QString folder = backup::automaticFolder(path);
        const QString copy = backup::copies(path, folder).value(0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
        const auto done = setPassword(app);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
        QCOMPARE(boxes::message(done.text, done.title, done.icon),
                 boxes::message("Password personale impostata.\n\nDa ora il programma la chiede "
                                "a ogni avvio.\n\nQueste copie non si sono potute proteggere: "
                                "restano leggibili con la chiave comune del programma.\n" +
                                    QFileInfo(copy).fileName() + " (la cartella " + folder +
                                    " non si può scrivere)\nIl programma riprova a ogni avvio; "
                                    "cancellarle se non servono.\n\n" +
                                    kElsewhere,
                                kTitle, BoxIcon::Exclamation));
        QCOMPARE(openCode(copy, FileKey::builtIn()), 0);
        QVERIFY(copykeys::pending(app.db()));
        app.ctx.connection.reset();

        ScriptedDialogs dialogs;
        dialogs.answerPassword(kPassword);
        AppContext ctx(dialogs, app.clock, app.opener, app.dir.path());
        Gestione again(ctx);
        QVERIFY(again.Form_Load());
        QCOMPARE(dialogs.describe(), boxes::password("Password personale", "Gestione Ordini"));
        QCOMPARE(openCode(copy, FileKey::builtIn()), SQLITE_NOTADB);
        QCOMPARE(openCode(copy, FileKey::personalPassword(kPassword)), 0);
        QVERIFY(!copykeys::pending(ctx.db()));
    }

    // Removing the password with the mail password kept in the file (no keyring here): the
    // password leaves the file first, for memory, and the box says so.
    void removingThePasswordTakesTheAccountsPasswordOut() {
        const FileKey mine = FileKey::personalPassword(kPassword);
        App app(TestDir::Content::Supplied, [&](App& a) {
            a.keyring.state = ScriptedKeyring::State::Absent;
            QVERIFY(rekey::changeKey(a.dir.dbPath(), FileKey::builtIn(), mine));
            a.dialogs.answerPassword(kPassword);
        });
        QVERIFY(app.started);
        QCOMPARE(app.ctx.secrets.keep(app.db(), secrets::Account::Mail, "Posta-segreta-1").value(),
                 secrets::Place::File);
        app.dialogs.clear();
        app.dialogs.answerInput(QStringLiteral("7391"));
        app.dialogs.answerPassword(kPassword);
        app.dialogs.answerNo();
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "PasswordPersonale");
        const auto done = app.dialogs.boxes.last();
        QCOMPARE(boxes::message(done.text, done.title, done.icon),
                 boxes::message("Password personale tolta.\n\nIl database si apre di nuovo senza "
                                "password. Le copie fatte finora restano protette dalla password "
                                "tolta: per ripristinarne una il programma la chiederà.\n\nLa "
                                "password dell'account di posta non è più nel database, che non "
                                "ha una password personale, e il portachiavi del computer non si "
                                "può usare (nessun portachiavi risponde): il programma la "
                                "chiederà al primo invio e la ricorderà fino all'uscita.",
                                kTitle, BoxIcon::Information));
        QVERIFY(!app.db().key().personal);
        QVERIFY(!cipherkit::plainPages(app.dir.dbPath(), FileKey::builtIn())
                     .contains("Posta-segreta-1"));
        QCOMPARE(app.ctx.secrets.find(app.db(), secrets::Account::Mail).password.value_or(""),
                 QStringLiteral("Posta-segreta-1"));
    }

    // A copy an earlier version made holds the mail password among its settings: restored, the
    // password leaves the file for the keyring before any copy of it is made.
    void aRestoredCopyOfAnEarlierVersionLosesItsPassword() {
        App app(TestDir::Content::Supplied);
        QVERIFY(app.started);
        QTemporaryDir elsewhere;
        QString copy;
        {
            TestDir old;
            auto db = old.open();
            exec(*db, "INSERT INTO IMPOSTAZIONE_INVIO (CHIAVE, VALORE) VALUES ('password', "
                      "'Posta-segreta-1');");
            copy = *backup::copyInto(*db, elsewhere.path(), app.clock.now());
        }
        app.dialogs.clear();
        app.dialogs.answerChoice(copy);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        const auto b = app.dialogs.boxes;
        QVERIFY2(b.size() == 4, qPrintable(app.dialogs.describe()));
        QVERIFY(b[2].text.startsWith(QStringLiteral("Ripristino effettuato.")));
        QCOMPARE(boxes::message(b[3].text, b[3].title, b[3].icon),
                 boxes::message("La password dell'account di posta non è più nel database: è ora "
                                "custodita nel portachiavi del computer.\n\nLe copie del "
                                "database fatte prima possono contenerla ancora.",
                                "Gestione Ordini", BoxIcon::Information));
        QVERIFY(!cipherkit::plainPages(app.dir.dbPath(), FileKey::builtIn())
                     .contains("Posta-segreta-1"));
        QCOMPARE(app.keyring.entries.values(), QStringList{"Posta-segreta-1"});
    }

    // Kills at random moments while the copies change key, back and forth, in a child: after
    // each kill every copy opens whole under one of the two keys with all its rows, and the work
    // file left beside one goes with the copies' leftovers.
    void killsDuringTheCopiesChangeOfKeyLoseNothing() {
        TestDir dir(TestDir::Content::Demo);
        const QString path = dir.dbPath();
        QString names;
        {
            auto db = dir.open();
            names = customersOf(path, FileKey::builtIn());
            for (int i = 0; i < 3; ++i)
                QVERIFY(backup::automaticCopy(*db, QDateTime(QDate(2026, 1, 1), QTime(9, i))));
        }
        const QStringList copies = copykeys::programCopies(path);
        QCOMPARE(copies.size(), 3);
        const int kills =
            killloop::run({QStringLiteral("--chiavi-delle-copie"), path}, 8000, 8, [&] {
                for (const QString& copy : copies) {
                    const bool builtIn = openCode(copy, FileKey::builtIn()) == 0;
                    const FileKey key = builtIn ? FileKey::builtIn() : quickPersonal();
                    QCOMPARE(customersOf(copy, key), names);
                    Database::Options o;
                    o.exclusive = false;
                    QCOMPARE(
                        value(*Database::open(copy, key, o).value(), "PRAGMA integrity_check;"),
                        QStringLiteral("ok"));
                }
                backup::removeLeftovers(path);
                QCOMPARE(filesUnder(backup::automaticFolder(path)).filter(".nuovachiave"),
                         QStringList{});
            }).kills;
        qInfo("%d kills", kills);
        QVERIFY(kills >= 8);
    }

    // An earlier version kept the accounts' passwords in the file and in its copies, under the
    // built-in key. After the first start (they leave the file) and the personal password, the
    // mail password kept in the file (no keyring here) and an exit: no file the program left
    // in its folders opens under the built-in key, has a page that reads under it, or holds a
    // password or a customer in plain, while the program runs and after.
    void afterAPasswordNothingReadsUnderTheBuiltInKey() {
        const QString mail = QStringLiteral("Posta-segreta-1");
        const QString server = QStringLiteral("Server-segreto-2");
        const QString newMail = QStringLiteral("Posta-nuova-3");
        QList<QByteArray> salts;
        App app(TestDir::Content::Demo, [&](App& a) {
            a.keyring.state = ScriptedKeyring::State::Absent;
            auto db = a.dir.open();
            exec(*db, "INSERT INTO IMPOSTAZIONE_INVIO (CHIAVE, VALORE) VALUES ('password', "
                      "'Posta-segreta-1');"
                      "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('server.password', "
                      "'Server-segreto-2'), ('server.host', 'agenzia.example.it');");
            QVERIFY(backup::automaticCopy(*db, a.clock.time.addDays(-2)));
            QVERIFY(backup::automaticCopy(*db, a.clock.time.addDays(-1)));
            keptAsDamaged(a, *db);
            db.reset();
            for (const QString& f : filesUnder(a.dir.path()))
                salts << filebytes::contents(f).left(16);
        });
        QVERIFY(app.started);
        const QString path = app.dir.dbPath();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Le password dell'account di posta e del server dell'agenzia non "
                                "sono più nel database, che non ha una password personale, e il "
                                "portachiavi del computer non si può usare (nessun portachiavi "
                                "risponde): il programma le chiederà al primo invio e alla prima "
                                "sincronizzazione e le ricorderà fino all'uscita.\n\nLe copie "
                                "del database fatte prima possono contenerle ancora.",
                                "Gestione Ordini", BoxIcon::Exclamation));
        QStringList texts{mail, server, newMail};
        for (const QString& name : customersOf(path, FileKey::builtIn()).split('|').mid(0, 5))
            texts << name;
        QVERIFY(!readableUnder(app.dir.path(), salts, texts).isEmpty());

        for (const QString& f : filesUnder(app.dir.path()))
            salts << filebytes::contents(f).left(16);
        QCOMPARE(setPassword(app).icon, BoxIcon::Information);
        // The mail password given again: kept in the file, under its password.
        app.dialogs.clear();
        const auto shown =
            mailsettingskit::open(app.window->mailCommands, newMail,
                                  QStringLiteral("posta.example.it"), QStringLiteral("agente"));
        QCOMPARE(app.dialogs.describe(), QString());
        QCOMPARE(shown.place, QStringLiteral("La password è custodita nel database, protetto dalla "
                                             "password personale: il portachiavi del computer non "
                                             "si può usare (nessun portachiavi risponde)."));
        QVERIFY(cipherkit::plainPages(path, app.db().key()).contains(newMail.toUtf8()));

        QCOMPARE(readableUnder(app.dir.path(), salts, texts).join('\n'), QString());
        app.window->ChiudiApplicazione();
        QVERIFY(!app.ctx.connected());
        QCOMPARE(readableUnder(app.dir.path(), salts, texts).join('\n'), QString());
        const QStringList left = filesUnder(app.dir.path());
        QVERIFY2(left.filter(QRegularExpression("-(wal|shm|journal)$")).isEmpty(),
                 qPrintable(left.join('\n')));
    }
};

namespace {

// The child of the kill loop: the copies beside the file put under the quick password and back,
// for good, a line for each round.
int copiesChangingKeyForever(const QString& path) {
    for (int n = 0;; ++n) {
        const bool there = n % 2 == 0;
        const auto done = copykeys::changeAll(path, there ? FileKey::builtIn() : quickPersonal(),
                                              there ? quickPersonal() : FileKey::builtIn());
        if (!done.failed.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(done.failed.first().second));
            return 3;
        }
        std::printf("giro %d\n", n);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--chiavi-delle-copie") == 0) {
        QCoreApplication app(argc, argv);
        return copiesChangingKeyForever(QFile::decodeName(argv[2]));
    }
    QApplication app(argc, argv);
    TestProtection tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_protection.moc"
