// Copies of the database and the restore from one, through the window's menu "Archivio", and the
// automatic copies beside the file.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/BackupCommands.h"
#include "data/Backup.h"
#include "data/ItalianText.h"
#include "data/Schema.h"
#include "masterdata/CustomerPanel.h"
#include "orders/OrderPanel.h"
#include "orders/YearPanel.h"
#include "ui/widgets/ReportList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
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
            app.window->backups().copiaUscita();
        }
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QStringList expected;
        for (int h = 2; h <= 11; ++h)
            expected << QStringLiteral("Ordine_2026-12-08_%1-30-15.mdb").arg(10 + h);
        QCOMPARE(copyNames(app), expected);
        QCOMPARE(QDir(folderOf(app)).entryList(QDir::Files | QDir::Hidden).size(), 10);
        // Less than a day after the newest copy none is due at start-up; a day after, one is.
        QVERIFY(!backup::startupCopyDue(app.dir.dbPath(), app.clock.time.addSecs(3600)));
        QVERIFY(backup::startupCopyDue(app.dir.dbPath(), app.clock.time.addDays(1)));
    }

    void aFailedCopyKeepsTheOlderOnes() {
        App app;
        const QString folder = folderOf(app);
        for (int day = 1; day <= 9; ++day)
            QVERIFY(
                QFile::copy(app.dir.dbPath(),
                            QDir(folder).filePath(QStringLiteral("Ordine_2026-11-%1_09-00-00.mdb")
                                                      .arg(day, 2, 10, QLatin1Char('0')))));
        const QStringList before = copyNames(app);
        QCOMPARE(before.size(), 10);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0500) == 0);
        app.clock.time = app.clock.time.addSecs(60);
        app.window->backups().copiaUscita();
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0700) == 0);
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("La copia automatica del database non è stata fatta.\n\n"
                                "La cartella " +
                                    folder +
                                    " non si può scrivere.\n\n"
                                    "Le copie precedenti sono rimaste.",
                                kTitle, BoxIcon::Exclamation));
        QCOMPARE(copyNames(app), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 10);
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
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
