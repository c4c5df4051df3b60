// Start-up of the window: the shared connection, and the files it refuses.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Gestione.h"
#include "data/Schema.h"
#include "data/tool/MakeDb.h"

#include <QFile>
#include <QGroupBox>
#include <QTest>

#include <sys/stat.h>

namespace {

// A window started on the files of a folder, with boxes, clock and opener of its own.
struct Start {
    explicit Start(const QString& dir)
        : ctx(dialogs, clock, opener, dir), window(ctx), started(window.Form_Load()) {}
    ScriptedDialogs dialogs;
    FixedClock clock;
    RecordingOpener opener;
    AppContext ctx;
    Gestione window;
    Status started;
};

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
        Start start(dir.path());
        QVERIFY(!start.started);
        const ScriptedDialogs& dialogs = start.dialogs;
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY2(dialogs.boxes.first().text.contains(QStringLiteral("Password errata")),
                 qPrintable(dialogs.boxes.first().text));
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

    void aSecondCopyIsRefused() {
        App first;
        QVERIFY(first.started);
        Start second(first.dir.path());
        QVERIFY(!second.started);
        const ScriptedDialogs& dialogs = second.dialogs;
        QVERIFY2(dialogs.boxes.first().text.contains(QStringLiteral("un'altra copia")),
                 qPrintable(dialogs.boxes.first().text));
        // The first copy goes on working.
        QCOMPARE(value(first.db(), "SELECT count(*) FROM UTENTE;"), QStringLiteral("1"));
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
