// Copies of the database and the restore from one, through the window's menu "Archivio", and the
// automatic copies beside the file.

#include "support/Boxes.h"
#include "support/FileBytes.h"
#include "support/Fixture.h"
#include "support/KillLoop.h"
#include "support/Ui.h"

#include "backup/Backup.h"
#include "backup/BackupCommands.h"
#include "data/Schema.h"
#include "masterdata/CustomerPanel.h"
#include "orders/OrderPanel.h"
#include "orders/YearPanel.h"
#include "text/ItalianText.h"
#include "ui/widgets/ReportList.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const QString kTitle = QStringLiteral("Copia di sicurezza");
const QString kRestore = QStringLiteral("Ripristina da copia");

QString folderOf(App& app) {
    return backup::automaticFolder(app.dir.dbPath());
}

QStringList copyNames(App& app) {
    QStringList out;
    for (const QString& p : backup::copies(app.dir.dbPath(), folderOf(app)))
        out << QFileInfo(p).fileName();
    return out;
}

std::unique_ptr<Database> openCopy(const QString& path) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, schema::password(), o);
    if (!db)
        qFatal("copy: %s", qPrintable(db.error().text));
    return std::move(*db);
}

using filebytes::contents;
using filebytes::damage;

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Files of the folder whose names hold `part`.
QStringList filesWith(const QString& folder, const QString& part) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).filter(part);
}

// A manual copy through the menu into `folder`: its path.
QString copyThroughMenu(App& app, const QString& folder) {
    app.dialogs.answerChoice(folder);
    ui::menu(app.window.get(), "CopiaSicurezza");
    const auto b = app.dialogs.take();
    if (b.size() != 2 || b.last().icon != BoxIcon::Information)
        qFatal("copy: %s", qPrintable(app.dialogs.describe()));
    return b.last().text.section(QLatin1Char('\n'), 1);
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The copy is one moment of the file: an order open in the window and another connection's
    // write not yet committed change nothing in it.
    void aCopyWhileAnOrderIsOpenAndAnotherConnectionWrites() {
        App app(TestDir::Content::Demo);
        ui::menu(app.window.get(), "Nordine");
        QVERIFY(ui::choose(app.window->Frame7->Cbo7, "2026"));
        QVERIFY(!app.window->Frame3->isHidden());
        auto other = app.dir.open();
        exec(*other, "BEGIN IMMEDIATE;"
                     "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('999', 'NUOVO');"
                     "DELETE FROM ORDINE WHERE ANNO = '2025';");
        const QList<QStringList> customers = rows(app.db(), "SELECT * FROM CLIENTE ORDER BY ID;");
        const QList<QStringList> lines = rows(app.db(), "SELECT * FROM ORDINE ORDER BY ID;");
        app.dialogs.clear();

        QTemporaryDir chosen;
        app.dialogs.answerChoice(chosen.path());
        ui::menu(app.window.get(), "CopiaSicurezza");
        exec(*other, "COMMIT;");
        const QString copy = QDir(chosen.path()).filePath("Ordine_2026-12-08_10-30-15.mdb");
        QCOMPARE(
            app.dialogs.describe(),
            boxes::seq({boxes::one(ScriptedDialogs::Kind::Choice,
                                   "Copia di sicurezza: scegliere la cartella", app.dir.path()),
                        boxes::message("Copia di sicurezza effettuata e controllata:\n" + copy,
                                       kTitle, BoxIcon::Information)}));
        QCOMPARE(modeOf(copy), 0600);
        QCOMPARE(QDir(chosen.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(copy).fileName()});
        auto db = openCopy(copy);
        QCOMPARE(rows(*db, "SELECT * FROM CLIENTE ORDER BY ID;"), customers);
        QCOMPARE(rows(*db, "SELECT * FROM ORDINE ORDER BY ID;"), lines);
        QCOMPARE(value(*db, "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    // Start-up makes the first copy; the exit copies keep the newest ten.
    void theAutomaticCopiesKeepTheLastTen() {
        App app;
        QCOMPARE(copyNames(app), QStringList{"Ordine_2026-12-08_10-30-15.mdb"});
        QCOMPARE(modeOf(folderOf(app)), 0700);
        for (int h = 1; h <= 11; ++h) {
            app.clock.time = app.clock.time.addSecs(3600);
            app.window->backups().copyAtExit();
        }
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QStringList expected;
        for (int h = 2; h <= 11; ++h)
            expected << QStringLiteral("Ordine_2026-12-08_%1-30-15.mdb").arg(10 + h);
        QCOMPARE(copyNames(app), expected);
        QCOMPARE(QDir(folderOf(app)).entryList(QDir::Files | QDir::Hidden).filter(".mdb").size(),
                 10);
        // Less than a day after the newest copy none is due at start-up; a day after, one is.
        QVERIFY(!backup::startupCopyDue(app.dir.dbPath(), app.clock.time.addSecs(3600)));
        QVERIFY(backup::startupCopyDue(app.dir.dbPath(), app.clock.time.addDays(1)));
    }

    void aFailedCopyKeepsTheOlderOnes() {
        App app;
        const QString folder = folderOf(app);
        for (int n = 1; n <= 9; ++n) {
            app.clock.time = app.clock.time.addSecs(60);
            app.window->backups().copyAtExit();
        }
        const QStringList before = copyNames(app);
        QCOMPARE(before.size(), 10);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
        app.clock.time = app.clock.time.addSecs(60);
        app.window->backups().copyAtExit();
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("La copia automatica del database non è stata fatta.\n\n"
                                "La cartella " +
                                    folder +
                                    " non si può scrivere.\n\n"
                                    "Le copie precedenti sono rimaste.",
                                kTitle, BoxIcon::Exclamation));
        QCOMPARE(copyNames(app), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(".mdb").size(), 10);
    }

    void aRestoreBringsBackADeletedCustomerAndRefreshesTheLists() {
        App app(TestDir::Content::Demo);
        QTemporaryDir chosen;
        const QString copy = copyThroughMenu(app, chosen.path());
        const QString name = value(app.db(), "SELECT SOGGETTO FROM CLIENTE WHERE ID = 1;");
        const QString counts =
            value(app.db(), "SELECT (SELECT count(*) FROM CLIENTE) || ' clienti, ' || "
                            "(SELECT count(*) FROM ARTICOLO) || ' articoli e ' || "
                            "(SELECT count(*) FROM (SELECT DISTINCT ANNO, NR FROM "
                            "ORDINE)) || ' ordini';");
        const QString last =
            itext::storedDateText(value(app.db(), "SELECT max(DATAO) FROM ORDINE;").toStdString());
        exec(app.db(), "DELETE FROM CLIENTE WHERE ID = 1;");
        ui::menu(app.window.get(), "CElimina");
        auto* list = app.window->Frame1->ListView2;
        QCOMPARE(ui::rowOf(list, 2, name), -1);

        app.clock.time = app.clock.time.addSecs(60);
        app.dialogs.answerChoice(copy);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        const QString saved = QDir(folderOf(app)).filePath("Ordine_2026-12-08_10-31-15.mdb");
        QCOMPARE(app.dialogs.describe(),
                 boxes::seq({boxes::one(ScriptedDialogs::Kind::Choice,
                                        "Ripristina da copia: scegliere la copia", folderOf(app)),
                             boxes::question("La copia\n" + copy + "\ncontiene " + counts +
                                                 "; l'ultimo ordine è del " + last +
                                                 ".\n\nSostituire i dati attuali con quelli "
                                                 "della copia? I dati attuali vengono prima "
                                                 "salvati in una copia.",
                                             kRestore),
                             boxes::message("Ripristino effettuato. I dati di prima sono nella "
                                            "copia\n" +
                                                saved,
                                            kRestore, BoxIcon::Information)}));
        QCOMPARE(app.dialogs.questionDefaults(), QStringList{"No"});
        QCOMPARE(value(app.db(), "SELECT SOGGETTO FROM CLIENTE WHERE ID = 1;"), name);
        QVERIFY(ui::rowOf(list, 2, name) >= 0);
        QVERIFY(!app.window->Frame1->isHidden());
        // What was replaced is in the copy made first; the chosen copy is as it was.
        QCOMPARE(value(*openCopy(saved), "SELECT count(*) FROM CLIENTE WHERE ID = 1;"),
                 QStringLiteral("0"));
        QCOMPARE(QDir(app.dir.path()).entryList(QDir::Files | QDir::Hidden).filter("Ordine.mdb."),
                 QStringList{});
        QCOMPARE(modeOf(app.dir.dbPath()), 0600);
        // The connection is the program's again: a second copy of the program is refused.
        QVERIFY(!Database::open(app.dir.dbPath(), schema::password()));
    }

    void aDamagedCopyIsRefusedAndNothingIsReplaced() {
        App app(TestDir::Content::Demo);
        QTemporaryDir chosen;
        const QString copy = copyThroughMenu(app, chosen.path());
        {
            QFile f(copy);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(3 * 4096 + 100);
            f.write(QByteArray(64, 'x'));
        }
        const QByteArray before = contents(app.dir.dbPath());
        const QStringList copies = copyNames(app);
        app.dialogs.answerChoice(copy);
        ui::menu(app.window.get(), "Ripristina");
        const auto b = app.dialogs.take();
        QCOMPARE(b.size(), 2);
        QCOMPARE(b.last().title, kRestore);
        QCOMPARE(b.last().icon, BoxIcon::Exclamation);
        QVERIFY2(b.last().text.startsWith("La copia non si può ripristinare:\n" + copy + "\n\n"),
                 qPrintable(b.last().text));
        QVERIFY2(b.last().text.endsWith(".\n\nIl database non è stato cambiato."),
                 qPrintable(b.last().text));
        QCOMPARE(contents(app.dir.dbPath()), before);
        QCOMPARE(copyNames(app), copies);
        QCOMPARE(QDir(app.dir.path()).entryList(QDir::Files | QDir::Hidden).filter("Ordine.mdb."),
                 QStringList{});
        QVERIFY(app.ctx.connected());
        QCOMPARE(value(app.db(), "SELECT count(*) FROM CLIENTE WHERE ID = 1;"),
                 QStringLiteral("1"));
    }

    // Another program with the file open (a second connection, the engine's own client) would
    // write its pages of the file as it was into the restored one: the restore is refused and
    // nothing changes; once that program is gone, the restore goes through.
    void aRestoreIsRefusedWhileAnotherProgramHoldsTheFile_data() {
        QTest::addColumn<bool>("client");
        QTest::newRow("un'altra connessione") << false;
        QTest::newRow("il client sqlcipher") << true;
    }
    void aRestoreIsRefusedWhileAnotherProgramHoldsTheFile() {
        QFETCH(bool, client);
        App app(TestDir::Content::Demo);
        QTemporaryDir chosen;
        const QString copy = copyThroughMenu(app, chosen.path());
        QCOMPARE(value(app.db(), "PRAGMA journal_mode;"), QStringLiteral("wal"));
        exec(app.db(), "DELETE FROM CLIENTE WHERE ID = 1;");
        const QStringList copies = copyNames(app);
        std::unique_ptr<Database> other;
        QProcess sqlcipher;
        if (client) {
            sqlcipher.setProcessChannelMode(QProcess::MergedChannels);
            sqlcipher.start(QStringLiteral("sqlcipher"), {app.dir.dbPath()});
            QVERIFY(sqlcipher.waitForStarted());
            sqlcipher.write("PRAGMA key = '" + schema::password() +
                            "'; PRAGMA cipher_page_size = 4096; PRAGMA kdf_iter = 64000;"
                            "SELECT 'letti', count(*) FROM CLIENTE;\n");
            QByteArray out;
            while (!out.contains("letti|") && sqlcipher.waitForReadyRead(5000))
                out += sqlcipher.readAll();
            QVERIFY2(out.contains("letti|"), out.constData());
        } else {
            other = app.dir.open();
            QCOMPARE(value(*other, "SELECT count(*) FROM CLIENTE WHERE ID = 1;"),
                     QStringLiteral("0"));
        }
        app.dialogs.answerChoice(copy);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        const auto b = app.dialogs.take();
        QCOMPARE(b.size(), 3);
        QCOMPARE(boxes::message(b.last().text, b.last().title, b.last().icon),
                 boxes::message("Il ripristino non è stato fatto: il database\n" +
                                    app.dir.dbPath() +
                                    "\nè in uso da un altro programma (un'altra copia di "
                                    "Gestione Ordini o un programma che legge il database). "
                                    "Chiudere quel programma e riprovare.\n\n"
                                    "Il database non è stato cambiato.",
                                kRestore, BoxIcon::Exclamation));
        QCOMPARE(value(app.db(), "SELECT count(*) FROM CLIENTE WHERE ID = 1;"),
                 QStringLiteral("0"));
        QCOMPARE(copyNames(app), copies);
        QCOMPARE(filesWith(app.dir.path(), "Ordine.mdb."), QStringList{});
        // The program writes on as before.
        exec(app.db(), "DELETE FROM CLIENTE WHERE ID = 2;");

        if (client) {
            sqlcipher.closeWriteChannel();
            QVERIFY(sqlcipher.waitForFinished(5000));
        }
        other.reset();
        app.dialogs.answerChoice(copy);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        QCOMPARE(app.dialogs.take().last().icon, BoxIcon::Information);
        QCOMPARE(value(app.db(), "SELECT count(*) FROM CLIENTE WHERE ID IN (1, 2);"),
                 QStringLiteral("2"));
        QCOMPARE(value(app.db(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    // An index out of step with its table: every copy is checked as the restore checks it, so
    // the copy that would be refused is told at once; a copy made before, with that fault only,
    // gets its indexes rebuilt and is restored; the file in use, failing the check too, is kept
    // under a name that says so.
    void anIndexOutOfStepIsToldAtTheCopyAndMendedByTheRestore() {
        QTemporaryDir chosen;
        const QString old = QDir(chosen.path()).filePath("Ordine_vecchia.mdb");
        App app(TestDir::Content::Demo, [&](App& a) {
            auto db = a.dir.open();
            exec(*db, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = 'CREATE "
                      "INDEX CLIENTE_CITTA ON CLIENTE (PROVINCIA)' WHERE name = "
                      "'CLIENTE_CITTA';");
            db = a.dir.open();
            exec(*db, "UPDATE CLIENTE SET CITTA = 'ALTROVE' WHERE ID = 1;");
            exec(*db, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = 'CREATE "
                      "INDEX CLIENTE_CITTA ON CLIENTE (CITTA)' WHERE name = 'CLIENTE_CITTA';");
            db.reset();
            QVERIFY(QFile::copy(a.dir.dbPath(), old));
        });
        QVERIFY(app.started);
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("La copia automatica del database non è stata fatta.\n\n"
                                "La copia non ha superato il controllo: un indice del file non "
                                "corrisponde alla sua tabella.\n\nLe copie precedenti sono "
                                "rimaste.",
                                kTitle, BoxIcon::Exclamation));
        QCOMPARE(copyNames(app), QStringList{});
        app.dialogs.clear();

        app.clock.time = app.clock.time.addSecs(60);
        app.dialogs.answerChoice(old);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        const QString kept =
            QDir(folderOf(app)).filePath("Ordine_2026-12-08_10-31-15_danneggiato.mdb");
        const auto b = app.dialogs.take();
        QCOMPARE(b.size(), 4);
        QCOMPARE(b[1].kind, ScriptedDialogs::Kind::Question);
        QCOMPARE(boxes::seq({boxes::message(b[2].text, b[2].title, b[2].icon),
                             boxes::message(b[3].text, b[3].title, b[3].icon)}),
                 boxes::seq({boxes::message("Il database in uso non supera il controllo (un "
                                            "indice del file non corrisponde alla sua "
                                            "tabella). I suoi dati sono stati salvati comunque "
                                            "nella copia\n" +
                                                kept + "\n\nIl ripristino prosegue.",
                                            kRestore, BoxIcon::Exclamation),
                             boxes::message("Ripristino effettuato. I dati di prima sono nella "
                                            "copia\n" +
                                                kept,
                                            kRestore, BoxIcon::Information)}));
        QCOMPARE(value(app.db(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
        QCOMPARE(value(app.db(), "SELECT CITTA FROM CLIENTE WHERE ID = 1;"),
                 QStringLiteral("ALTROVE"));
        QCOMPARE(modeOf(kept), 0600);
        // The file restored passes the check: the next copy counts.
        app.clock.time = app.clock.time.addSecs(60);
        app.window->backups().copyAtExit();
        QCOMPARE(copyNames(app), QStringList{"Ordine_2026-12-08_10-32-15.mdb"});
    }

    // One damaged page of the file in use: the copy made before the restore is kept as it is,
    // named as damaged, and the restore goes on.
    void aRestoreGoesOnWhenTheFileInUseIsDamaged() {
        App app(TestDir::Content::Demo);
        QTemporaryDir chosen;
        const QString copy = copyThroughMenu(app, chosen.path());
        damage(app.dir.dbPath(), 3 * 4096 + 100);
        const QByteArray damaged = contents(app.dir.dbPath());
        app.clock.time = app.clock.time.addSecs(60);
        app.dialogs.answerChoice(copy);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        const QString kept =
            QDir(folderOf(app)).filePath("Ordine_2026-12-08_10-31-15_danneggiato.mdb");
        const auto b = app.dialogs.take();
        QCOMPARE(b.size(), 4);
        QCOMPARE(boxes::seq({boxes::message(b[2].text, b[2].title, b[2].icon),
                             boxes::message(b[3].text, b[3].title, b[3].icon)}),
                 boxes::seq({boxes::message("Il database in uso non supera il controllo (il "
                                            "file è danneggiato). I suoi dati sono stati "
                                            "salvati comunque nella copia\n" +
                                                kept + "\n\nIl ripristino prosegue.",
                                            kRestore, BoxIcon::Exclamation),
                             boxes::message("Ripristino effettuato. I dati di prima sono nella "
                                            "copia\n" +
                                                kept,
                                            kRestore, BoxIcon::Information)}));
        // Page 1 says the journal is folded into the file; the pages of data are as they were.
        QCOMPARE(contents(kept).mid(4096), damaged.mid(4096));
        QCOMPARE(value(app.db(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    // Page 1 damaged: the file does not open; the newest copy that passes the check (the newest
    // of all is damaged too) is offered, and taken, the damaged file kept among the copies.
    void aFileThatDoesNotOpenOffersTheNewestGoodCopy() {
        QByteArray damaged;
        QString good;
        App app(TestDir::Content::Demo, [&](App& a) {
            const QDateTime t = a.clock.time.addDays(-2);
            auto db = a.dir.open();
            good = *backup::automaticCopy(*db, t);
            exec(*db, "DELETE FROM CLIENTE WHERE ID = 1;");
            const QString newest = *backup::automaticCopy(*db, t.addDays(1));
            db.reset();
            damage(newest, 5000);
            damage(a.dir.dbPath(), 200);
            damaged = contents(a.dir.dbPath());
            a.dialogs.answerYes();
        });
        QVERIFY2(app.started, qPrintable(app.dialogs.describe()));
        const QString kept =
            QDir(folderOf(app)).filePath("Ordine_2026-12-08_10-30-15_danneggiato.mdb");
        // The other pages carry the seal of the built-in key: the file is damaged, not under a
        // password, and none is asked.
        auto b = app.dialogs.take();
        QCOMPARE(b.size(), 2);
        QVERIFY2(b[0].text.startsWith("Il database\n" + app.dir.dbPath() +
                                      "\nnon si può aprire: il file del database è danneggiato."
                                      "\n\nLa copia automatica più recente che supera il "
                                      "controllo è\n" +
                                      good + "\ne contiene "),
                 qPrintable(b[0].text));
        QVERIFY2(b[0].text.endsWith(".\n\nRipristinare i dati da questa copia? Il file attuale "
                                    "viene conservato così com'è nella cartella delle copie."),
                 qPrintable(b[0].text));
        QCOMPARE(boxes::message(b[1].text, b[1].title, b[1].icon),
                 boxes::message("I dati sono stati ripristinati dalla copia\n" + good +
                                    "\n\nIl file danneggiato è conservato in\n" + kept,
                                "Gestione Ordini", BoxIcon::Information));
        QCOMPARE(contents(kept), damaged);
        QCOMPARE(value(app.db(), "SELECT count(*) FROM CLIENTE WHERE ID = 1;"),
                 QStringLiteral("1"));
    }

    // The copies are ordered as they were made, whatever their names say: a copy made while the
    // clock was a year ahead is the oldest once newer ones come; the copy just made is never the
    // one removed; copies the program did not make itself (a manual one saved into the folder, a
    // file of the user's own) are never removed.
    void theRotationKeepsItsOwnCopiesInTheOrderTheyWereMade() {
        App app;
        const QString folder = folderOf(app);
        app.clock.time = app.clock.time.addSecs(30);
        const QString manual = copyThroughMenu(app, folder);
        const QString users = QDir(folder).filePath("Ordine_2020-01-01_00-00-00.mdb");
        QVERIFY(QFile::copy(app.dir.dbPath(), users));
        const QDateTime today = app.clock.time;
        app.clock.time = today.addYears(1);
        app.window->backups().copyAtExit();
        QCOMPARE(copyNames(app).last(), QStringLiteral("Ordine_2027-12-08_10-30-45.mdb"));
        // The newest copy made at a moment still to come: the start-up copy is due.
        QVERIFY(backup::startupCopyDue(app.dir.dbPath(), today.addSecs(60)));
        for (int m = 1; m <= 10; ++m) {
            app.clock.time = today.addSecs(60 * m);
            app.window->backups().copyAtExit();
            QCOMPARE(copyNames(app).last(),
                     QStringLiteral("Ordine_2026-12-08_10-%1-45.mdb").arg(30 + m));
        }
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QStringList expected;
        for (int m = 1; m <= 10; ++m)
            expected << QStringLiteral("Ordine_2026-12-08_10-%1-45.mdb").arg(30 + m);
        QCOMPARE(copyNames(app), expected);
        QVERIFY(QFile::exists(manual));
        QVERIFY(QFile::exists(users));
        QVERIFY(!backup::startupCopyDue(app.dir.dbPath(), app.clock.time.addSecs(60)));
        // The copy restored is the oldest: the copy made before the restore does not push it out.
        const QString oldest = backup::copies(app.dir.dbPath(), folder).first();
        app.clock.time = app.clock.time.addSecs(60);
        app.dialogs.answerChoice(oldest);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        QCOMPARE(app.dialogs.take().last().icon, BoxIcon::Information);
        QVERIFY(QFile::exists(oldest));
    }

    // A data file that is a link (to a synced folder): the restore writes into the file it
    // leads to, and the link stays.
    void aRestoreIntoALinkedFileKeepsTheLink() {
        QString target;
        App app(TestDir::Content::Demo, [&](App& a) {
            QDir(a.dir.path()).mkdir("sincronizzata");
            target = QDir(a.dir.path()).filePath("sincronizzata/Ordine.mdb");
            QVERIFY(QFile::rename(a.dir.dbPath(), target));
            QVERIFY(QFile::link(target, a.dir.dbPath()));
        });
        QVERIFY(app.started);
        QTemporaryDir chosen;
        const QString copy = copyThroughMenu(app, chosen.path());
        exec(app.db(), "DELETE FROM CLIENTE WHERE ID = 1;");
        app.clock.time = app.clock.time.addSecs(60);
        app.dialogs.answerChoice(copy);
        app.dialogs.answerYes();
        ui::menu(app.window.get(), "Ripristina");
        QCOMPARE(app.dialogs.take().last().icon, BoxIcon::Information);
        QVERIFY(QFileInfo(app.dir.dbPath()).isSymLink());
        QCOMPARE(QFileInfo(app.dir.dbPath()).symLinkTarget(), target);
        QCOMPARE(value(*openCopy(target), "SELECT count(*) FROM CLIENTE WHERE ID = 1;"),
                 QStringLiteral("1"));
        QCOMPARE(filesWith(QFileInfo(target).absolutePath(), "Ordine.mdb."), QStringList{});
        // Later work goes into the linked file.
        exec(app.db(), "DELETE FROM CLIENTE WHERE ID = 2;");
        QCOMPARE(value(*openCopy(target), "SELECT count(*) FROM CLIENTE WHERE ID = 2;"),
                 QStringLiteral("0"));
    }

    // What copies and restores cut short by a kill left behind goes at the next start.
    void leftoversOfCopiesAndRestoresCutShortGoAtStart() {
        App app(TestDir::Content::Supplied, [&](App& a) {
            const QString folder = backup::automaticFolder(a.dir.dbPath());
            QVERIFY(QDir().mkpath(folder));
            for (const QString& n :
                 {QStringLiteral(".Ordine_2026-12-07_18-00-00.mdb.parziale"),
                  QStringLiteral(".Ordine_2026-12-07_18-00-00.mdb.parziale-wal")})
                QVERIFY(QFile::copy(a.dir.dbPath(), QDir(folder).filePath(n)));
            QVERIFY(QFile::copy(a.dir.dbPath(),
                                a.dir.dbPath().replace("Ordine.mdb", ".Ordine.mdb.ripristino")));
            QVERIFY(QFile::link(a.dir.dbPath(),
                                a.dir.dbPath().replace("Ordine.mdb", ".Ordine.mdb.precedente")));
        });
        QVERIFY(app.started);
        QCOMPARE(filesWith(folderOf(app), "parziale"), QStringList{});
        QCOMPARE(filesWith(app.dir.path(), "Ordine.mdb."), QStringList{});
        QCOMPARE(copyNames(app), QStringList{"Ordine_2026-12-08_10-30-15.mdb"});
    }

    // A disk that fills while the copy is checked is named as full, and nothing is left on it.
    void aFullDiskDuringTheCheckIsNamed() {
        if (::geteuid() != 0)
            QSKIP("a small disk of its own needs the rights to mount one");
        QTemporaryDir disk;
        const QByteArray where = QFile::encodeName(disk.path());
        QVERIFY(::mount("tmpfs", where.constData(), "tmpfs", 0, "size=4m,mode=0700") == 0);
        auto unmount = qScopeGuard([&] { ::umount(where.constData()); });
        App app(TestDir::Content::Demo);
        struct statvfs fs {};
        QVERIFY(::statvfs(where.constData(), &fs) == 0);
        const qint64 room =
            qint64(fs.f_bavail) * qint64(fs.f_frsize) - QFileInfo(app.dir.dbPath()).size() - 4096;
        QVERIFY(room > 0);
        {
            QFile filler(disk.filePath("riempimento"));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            QCOMPARE(filler.write(QByteArray(room, '\0')), room);
        }
        app.dialogs.answerChoice(disk.path());
        ui::menu(app.window.get(), "CopiaSicurezza");
        const auto b = app.dialogs.take();
        QCOMPARE(b.size(), 2);
        QCOMPARE(boxes::message(b.last().text, b.last().title, b.last().icon),
                 boxes::message("La copia di sicurezza non è stata fatta.\n\nIl disco è pieno: "
                                "la copia non si può controllare.",
                                kTitle, BoxIcon::Exclamation));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"riempimento"});
    }

    // Kills at random moments of copies and restores, one after another in a child: after each
    // kill the file opens, passes the full check and is one of the two files restored, never a
    // mix; what was cut short never counts as a copy, and goes at the next start.
    void killsDuringCopiesAndRestoresLoseNothing() {
        TestDir dir(TestDir::Content::Demo);
        const QString path = dir.dbPath();
        const QString chosen = QDir(dir.path()).filePath("scelte");
        QVERIFY(QDir().mkpath(chosen));
        QList<QStringList> expected[2];
        {
            auto db = dir.open();
            exec(*db, "PRAGMA journal_mode = WAL;");
            expected[0] = rows(*db, "SELECT * FROM CLIENTE ORDER BY ID;");
            QVERIFY(backup::copyInto(*db, chosen, QDateTime(QDate(2026, 1, 1), QTime(9, 0))).ok());
            exec(*db, "DELETE FROM CLIENTE WHERE ID <= 3;"
                      "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('B', 'SOLO NELLA B');");
            expected[1] = rows(*db, "SELECT * FROM CLIENTE ORDER BY ID;");
            QVERIFY(backup::copyInto(*db, chosen, QDateTime(QDate(2026, 1, 1), QTime(9, 1))).ok());
        }
        const auto done =
            killloop::run({QStringLiteral("--copie-e-ripristini"), dir.path()}, 20000, 8, [&] {
                auto db = Database::open(path, schema::password());
                QVERIFY2(db, qPrintable(db ? QString() : db.error().text));
                QCOMPARE(value(**db, "PRAGMA integrity_check;"), QStringLiteral("ok"));
                const auto now = rows(**db, "SELECT * FROM CLIENTE ORDER BY ID;");
                QVERIFY2(now == expected[0] || now == expected[1], qPrintable(path));
                for (const QString& c : backup::copies(path, backup::automaticFolder(path)))
                    QVERIFY2(backup::verify(c, backup::Check::Quick).ok(), qPrintable(c));
                backup::removeLeftovers(path);
                QCOMPARE(filesWith(backup::automaticFolder(path), "parziale"), QStringList{});
                QCOMPARE(filesWith(dir.path(), "Ordine.mdb."), QStringList{});
            });
        const int kills = done.kills;
        const int rounds = done.rounds + 1;
        qInfo("%d kills, %d restores done in between", kills, rounds);
        QVERIFY(kills >= 8);
        QVERIFY(rounds >= 1);
    }
};

namespace {

// The child of the kill loop: copies and restores of the two chosen copies in turn, for good.
// Each restore done says so on a line of its own.
int copiesAndRestoresForever(const QString& folder) {
    ScriptedDialogs dialogs;
    FixedClock clock;
    RecordingOpener opener;
    AppContext ctx(dialogs, clock, opener, folder);
    const QString path = QDir(folder).filePath(QLatin1String(schema::kFileName));
    auto opened = Database::open(path, schema::password());
    if (!opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error().text));
        return 2;
    }
    ctx.connection = std::move(*opened);
    BackupCommands commands(ctx, [] {});
    const QStringList chosen =
        QDir(QDir(folder).filePath("scelte")).entryList({"*.mdb"}, QDir::Files, QDir::Name);
    clock.time = QDateTime::currentDateTime();
    for (int n = 0;; ++n) {
        clock.time = clock.time.addSecs(1);
        commands.copyAtExit();
        dialogs.answerChoice(QDir(folder).filePath("scelte/" + chosen[n % 2]));
        dialogs.answerYes();
        commands.Ripristina_Click();
        if (dialogs.boxes.isEmpty() || dialogs.boxes.last().icon != BoxIcon::Information) {
            std::fprintf(stderr, "%s\n", qPrintable(dialogs.describe()));
            return 3;
        }
        dialogs.clear();
        std::printf("ripristino %d\n", n);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--copie-e-ripristini") == 0) {
        QCoreApplication app(argc, argv);
        return copiesAndRestoresForever(QFile::decodeName(argv[2]));
    }
    QApplication app(argc, argv);
    TestBackup tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_backup.moc"
