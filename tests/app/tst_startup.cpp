// Start-up of the window: the shared connection, and the files it refuses.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "data/AddedTables.h"
#include "data/Schema.h"
#include "orders/YearPanel.h"
#include "tools/makedb/MakeDb.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QRandomGenerator>
#include <QTest>

#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A window started on the files of a folder, with boxes, clock and opener of its own.
struct Start {
    // `passwords` answer the boxes that ask for a personal password.
    explicit Start(const QString& dir, const QStringList& passwords = {})
        : primed(prime(passwords)), ctx(dialogs, clock, opener, dir), window(ctx),
          started(window.Form_Load()) {}
    bool prime(const QStringList& passwords) {
        for (const QString& p : passwords)
            dialogs.answerPassword(p);
        return true;
    }
    ScriptedDialogs dialogs;
    bool primed;
    FixedClock clock;
    RecordingOpener opener;
    AppContext ctx;
    Gestione window;
    Status started;
};

// The box of a start-up that refuses the file, as the recorder describes it.
QString refused(const QString& path, const QString& cause) {
    return boxes::message(QStringLiteral("Impossibile aprire il database\n%1\n\n%2.\n\n"
                                         "Il programma verrà chiuso.")
                              .arg(QDir::toNativeSeparators(path), cause),
                          QStringLiteral("Gestione Ordini"), BoxIcon::Critical);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensTheSuppliedFileWithAllPanelsHidden() {
        App app;
        QVERIFY(app.started);
        QVERIFY(app.ctx.connected());
        for (const char* name : {"Frame1", "Frame2", "Frame3", "Frame7", "Frame8"})
            QVERIFY2(!app.find<QGroupBox>(name)->isVisible(), name);
        QCOMPARE(value(app.db(), "SELECT count(*) FROM ANNO;"), QStringLiteral("7"));
        QVERIFY(app.dialogs.boxes.isEmpty());
    }

    void missingFileIsToldAndNothingIsCreated() {
        App app(TestDir::Content::None, false);
        QVERIFY(!app.started);
        QCOMPARE(app.dialogs.boxes.size(), 1);
        const auto box = app.dialogs.boxes.first();
        QCOMPARE(box.title, QStringLiteral("Gestione Ordini"));
        QCOMPARE(box.icon, BoxIcon::Critical);
        QVERIFY2(box.text.contains(app.dir.dbPath()), qPrintable(box.text));
        QVERIFY2(box.text.contains(QStringLiteral("Il file non esiste")), qPrintable(box.text));
        QVERIFY(!QFile::exists(app.dir.dbPath()));
        QVERIFY(!app.ctx.connected());
    }

    void wrongPasswordIsTold() {
        TestDir dir(TestDir::Content::None);
        Database::Options o;
        o.create = true;
        {
            auto db = Database::open(dir.dbPath(), QByteArrayLiteral("altra"), o);
            QVERIFY(db);
            QVERIFY((*db)->exec("CREATE TABLE T (X);"));
        }
        // A file under another key is taken for one under a personal password: it is asked.
        Start start(dir.path(), {"altra-1", "altra-2", "altra-3"});
        QVERIFY(!start.started);
        const ScriptedDialogs& dialogs = start.dialogs;
        QCOMPARE(dialogs.boxes.size(), 4);
        QCOMPARE(dialogs.boxes.last().text, QStringLiteral("Password personale errata per tre "
                                                           "volte.\n\nIl programma verrà chiuso."));
    }

    void aFileThatIsNoDatabaseIsTold() {
        TestDir dir(TestDir::Content::None);
        QFile f(dir.dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
        f.close();
        Start start(dir.path());
        QVERIFY(!start.started);
        const ScriptedDialogs& dialogs = start.dialogs;
        QVERIFY(dialogs.boxes.first().text.contains(QStringLiteral("non è un database")));
    }

    void aReadOnlyFileIsTold() {
        TestDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.dbPath()).constData(), 0444) == 0);
        Start start(dir.path());
        QVERIFY(!start.started);
        const ScriptedDialogs& dialogs = start.dialogs;
        QVERIFY2(dialogs.boxes.first().text.contains(QStringLiteral("sola lettura")),
                 qPrintable(dialogs.boxes.first().text));
    }

    void aFileInUseIsRefused_data() {
        QTest::addColumn<bool>("secondCopy");
        QTest::newRow("a second copy") << true;
        QTest::newRow("another program's read lock") << false;
    }

    // Whoever holds the lock, the program cannot tell who it is: the box says another program,
    // a second copy being the likely one.
    void aFileInUseIsRefused() {
        QFETCH(bool, secondCopy);
        TestDir dir;
        std::unique_ptr<Start> first;
        int reader = -1;
        if (secondCopy) {
            first = std::make_unique<Start>(dir.path());
            QVERIFY(first->started);
        } else {
            reader = ::open(QFile::encodeName(dir.dbPath()).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(reader >= 0);
            QVERIFY(::flock(reader, LOCK_SH | LOCK_NB) == 0);
        }
        Start second(dir.path());
        if (reader >= 0)
            ::close(reader);
        QVERIFY(!second.started);
        QCOMPARE(second.dialogs.describe(),
                 refused(dir.dbPath(), QStringLiteral("Il file è già in uso da un altro programma "
                                                      "(forse un'altra copia di Gestione "
                                                      "Ordini)")));
        // The first copy goes on working.
        if (first)
            QCOMPARE(value(first->ctx.db(), "SELECT count(*) FROM UTENTE;"), QStringLiteral("1"));
    }

    void aRefusedFileIsLeftAsItWas_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("empty") << "empty"
                               << QStringLiteral("Il file non contiene la tabella UTENTE");
        QTest::newRow("garbage") << "garbage"
                                 << QStringLiteral("Password errata, oppure il file non è un "
                                                   "database valido");
        QTest::newRow("without the tables")
            << "tables" << QStringLiteral("Il file non contiene la tabella UTENTE");
        QTest::newRow("of a newer program")
            << "newer"
            << QStringLiteral("Il file dei dati è stato creato da una versione più recente del "
                              "programma: aggiornare Gestione Ordini per aprirlo");
    }

    // The start-up only reads until the file is found to be the program's: a file it refuses
    // keeps every byte, and no journal is left beside it.
    void aRefusedFileIsLeftAsItWas() {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        TestDir dir(TestDir::Content::None);
        if (kind == QLatin1String("tables")) {
            Database::Options o;
            o.create = true;
            auto db = Database::open(dir.dbPath(), schema::password(), o);
            QVERIFY(db);
            QVERIFY((*db)->exec("CREATE TABLE CLIENTE (ID INTEGER PRIMARY KEY, CODICE TEXT);"));
        } else if (kind == QLatin1String("newer")) {
            QVERIFY(makedb::makeSupplied(dir.dbPath(), kFixtureYear, makedb::Agent{}));
            auto db = Database::open(dir.dbPath(), schema::password());
            QVERIFY(db);
            QVERIFY((*db)->exec(
                "PRAGMA user_version = " + std::to_string(addedtables::kVersion + 1) + ";"));
        } else {
            QFile f(dir.dbPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (kind == QLatin1String("garbage")) {
                QByteArray bytes(8192, '\0');
                for (char& c : bytes)
                    c = char(QRandomGenerator::global()->bounded(256));
                f.write(bytes);
            }
        }
        const QByteArray before = contents(dir.dbPath());
        {
            Start start(dir.path());
            QVERIFY(!start.started);
            // Bytes that look random may be a file under a personal password: it is asked, and
            // without it the program ends.
            const QString told =
                kind == QLatin1String("garbage")
                    ? boxes::seq({boxes::password("Password personale", "Gestione Ordini"),
                                  boxes::message("Senza la password personale il database non "
                                                 "si apre.\n\nIl programma verrà chiuso.",
                                                 "Gestione Ordini", BoxIcon::Critical)})
                    : refused(dir.dbPath(), cause);
            QCOMPARE(start.dialogs.describe(), told);
        }
        QCOMPARE(contents(dir.dbPath()).size(), before.size());
        QVERIFY(contents(dir.dbPath()) == before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QLatin1String(schema::kFileName)});
    }

    void aFileOthersCanReadIsMadeTheOwnersOnly_data() {
        QTest::addColumn<bool>("own");
        QTest::newRow("the user's own file") << true;
        QTest::newRow("another user's file") << false;
    }

    // The file and its journals, left readable by everyone by an earlier version or a copy,
    // are narrowed to their owner at start-up; another user's file is not the program's to
    // change.
    void aFileOthersCanReadIsMadeTheOwnersOnly() {
        QFETCH(bool, own);
        if (!own && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        TestDir dir;
        const QString path = dir.dbPath();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        if (!own)
            QVERIFY(::chown(QFile::encodeName(path).constData(), 4321, 4321) == 0);
        // Another program's connection leaves the journals open beside the file, with its rights.
        auto other = dir.open();
        QCOMPARE(value(*other, "SELECT count(*) FROM UTENTE;"), QStringLiteral("1"));
        const QStringList journals = {path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
        for (const QString& j : journals)
            QCOMPARE(modeOf(j), 0644);
        Start start(dir.path());
        QVERIFY(start.started);
        // The engine gives the journals the file's owner too.
        QCOMPARE(modeOf(path), own ? 0600 : 0644);
        for (const QString& j : journals)
            QCOMPARE(modeOf(j), own ? 0600 : 0644);
        QVERIFY(start.dialogs.boxes.isEmpty());
    }

    void theYearOfTodayIsAlwaysOffered_data() {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("years");
        const QStringList supplied = {"2023", "2024", "2025", "2026", "2027", "2028", "2029"};
        QTest::newRow("a year the file has") << QDate(2026, 12, 8) << supplied;
        QTest::newRow("new year's day of a year it lacks")
            << QDate(2030, 1, 1) << supplied + QStringList{"2030"};
    }

    // On the first day of a year the file lacks, the year is added at start-up, so that a new
    // order can be entered in it.
    void theYearOfTodayIsAlwaysOffered() {
        QFETCH(QDate, today);
        QFETCH(QStringList, years);
        App app(TestDir::Content::Supplied,
                [&](App& a) { a.clock.time = QDateTime(today, QTime(0, 0, 5)); });
        QVERIFY(app.started);
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        QStringList stored;
        for (const QStringList& r : rows(app.db(), "SELECT ANNO FROM ANNO ORDER BY ANNO;"))
            stored << r.first();
        QCOMPARE(stored, years);
        ui::menu(app.window.get(), "Nordine");
        QCOMPARE(ui::items(app.window->Frame7->Cbo7), years);
    }

    void aFileWithoutTheTablesIsTold() {
        TestDir dir(TestDir::Content::None);
        Database::Options o;
        o.create = true;
        {
            auto db = Database::open(dir.dbPath(), schema::password(), o);
            QVERIFY(db);
            QVERIFY((*db)->exec("CREATE TABLE CLIENTE (ID INTEGER PRIMARY KEY, CODICE TEXT);"));
        }
        Start start(dir.path());
        QVERIFY(!start.started);
        const ScriptedDialogs& dialogs = start.dialogs;
        QVERIFY2(dialogs.boxes.first().text.contains(QStringLiteral("UTENTE")),
                 qPrintable(dialogs.boxes.first().text));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
