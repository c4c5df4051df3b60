// The program on a real desktop: the desktop's opener and what it answers, no display, a
// temporary folder that does not exist, a program folder whose name is not UTF-8.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/Display.h"
#include "app/Gestione.h"
#include "data/Schema.h"
#include "files/FolderNames.h"
#include "orders/PrintOrder.h"
#include "sheets/OrderSheet.h"
#include "ui/FileOpener.h"
#include "ui/Titles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A stand-in for the desktop's opener, first on PATH: notes its file and the descriptors it
// got, then does what the case says.
void writeOpener(const QString& dir, const QByteArray& then) {
    QFile f(QDir(dir).filePath("xdg-open"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n"
            "printf '%s' \"$1\" > \"$(dirname \"$0\")/file\"\n"
            "for d in /proc/$$/fd/*; do readlink \"$d\"; done > \"$(dirname \"$0\")/fds\"\n" +
            then + "\n");
    f.close();
    QVERIFY(QFile::setPermissions(f.fileName(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

const QString kNoApplication =
    QStringLiteral("sul computer non è impostato alcun programma per aprire i file di questo "
                   "tipo (ad esempio LibreOffice Calc)");

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    QByteArray m_path = qgetenv("PATH");

private Q_SLOTS:
    void cleanup() { qputenv("PATH", m_path); }

    void theOpenersAnswerIsKnown_data() {
        QTest::addColumn<QByteArray>("then");
        QTest::addColumn<bool>("onPath");
        QTest::addColumn<QString>("cause");
        QTest::newRow("opened") << QByteArray("exit 0") << true << QString();
        QTest::newRow("xdg-open: no method") << QByteArray("exit 3") << true << kNoApplication;
        QTest::newRow("gio: no default application")
            << QByteArray("exit 4") << true << kNoApplication;
        QTest::newRow("other failure")
            << QByteArray("exit 9") << true << "il programma xdg-open è terminato con il codice 9";
        QTest::newRow("still showing the file")
            << QByteArray("exec sleep 30 >/dev/null 2>&1") << true << QString();
        QTest::newRow("no opener installed")
            << QByteArray() << false
            << "il programma xdg-open (pacchetto xdg-utils) non è installato";
        // The example fits the file: a spreadsheet does not open a PDF.
        QTest::newRow("no viewer for a PDF")
            << QByteArray("exit 3") << true
            << QStringLiteral("sul computer non è impostato alcun programma per aprire i file di "
                              "questo tipo (ad esempio un visualizzatore di PDF come "
                              "Visualizzatore documenti)");
    }
    void theOpenersAnswerIsKnown() {
        QFETCH(QByteArray, then);
        QFETCH(bool, onPath);
        QFETCH(QString, cause);
        const QString file = QTest::currentDataTag() == QByteArray("no viewer for a PDF")
                                 ? QStringLiteral("/tmp/Ordine 2026-7.pdf")
                                 : QStringLiteral("/tmp/Ordine 2026-7.xlsx");
        QTemporaryDir bin;
        if (onPath)
            writeOpener(bin.path(), then);
        qputenv("PATH", QFile::encodeName(bin.path()) + (onPath ? ":" + m_path : QByteArray()));
        // A descriptor of ours the opener must not get.
        const QString marker = bin.filePath("marker");
        const int fd = ::open(QFile::encodeName(marker).constData(), O_CREAT | O_RDWR, 0600);
        QVERIFY(fd >= 0);

        DesktopFileOpener opener(400);
        const Status s = opener.open(file);
        ::close(fd);
        QCOMPARE(s.ok(), cause.isEmpty());
        if (!s)
            QCOMPARE(s.error().text, cause);
        if (onPath) {
            QCOMPARE(readAll(bin.filePath("file")), file);
            const QString fds = readAll(bin.filePath("fds"));
            QVERIFY2(!fds.contains(marker), qPrintable(fds));
        }
    }

    void theBoxSaysWhereTheSheetIsAndWhyNothingOpenedIt() {
        App app;
        exec(app.db(), "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('101', 'ROSSI');");
        exec(app.db(), "INSERT INTO ORDINE (ANNO, NR, ID_CL, ARTICOLO) "
                       "VALUES ('2026', '7', '101', 'BURRO');");
        app.opener.result = false;
        app.opener.cause = kNoApplication;
        StampaOrdineV(app.ctx, "2026", "7", "101");
        QCOMPARE(app.opener.opened.size(), 1);
        QCOMPARE(app.dialogs.boxes.size(), 1);
        QCOMPARE(app.dialogs.boxes.first().text,
                 "Nessun programma ha potuto aprire il foglio dell'ordine.\nIl file si trova "
                 "in:\n" +
                     app.opener.opened.first() + "\n\nMotivo: " + kNoApplication + ".");
        QCOMPARE(app.dialogs.boxes.first().title, titles::t18());
    }

    void withoutADisplayTheProgramSaysSoAndEnds_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("no DISPLAY") << QString();
        QTest::newRow("no server on the DISPLAY") << QStringLiteral(":97");
    }
    void withoutADisplayTheProgramSaysSoAndEnds() {
        QFETCH(QString, display);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(GESTIONE_PROGRAM), {});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(p.readAllStandardError()),
                 QString::fromUtf8(noDisplayMessage()));
    }

    // A folder named in Latin-1 ("café"): the file in it is found, and messages name it right.
    void aFolderNameThatIsNotUtf8() {
        QTemporaryDir root;
        const QByteArray folder = QFile::encodeName(root.path()) + "/caf\xe9";
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        const QString usable = folders::usable(folder);
        QVERIFY(!usable.isEmpty());
        const QString shown = root.path() + QStringLiteral("/café");
        QCOMPARE(folders::shown(usable), shown);
        QCOMPARE(folders::native(usable + "/Ordine.mdb"), folder + "/Ordine.mdb");

        {
            // No file yet: the box names it as the user knows it.
            ScriptedDialogs dialogs;
            FixedClock clock;
            RecordingOpener opener;
            AppContext ctx(dialogs, clock, opener, usable);
            Gestione window(ctx);
            QVERIFY(!window.Form_Load());
            QCOMPARE(dialogs.boxes.size(), 1);
            QVERIFY2(dialogs.boxes.first().text.contains(shown + "/Ordine.mdb"),
                     qPrintable(dialogs.boxes.first().text));
        }

        TestDir supplied;
        QVERIFY(QFile::copy(supplied.dbPath(), usable + "/Ordine.mdb"));
        ScriptedDialogs dialogs;
        FixedClock clock;
        RecordingOpener opener;
        AppContext ctx(dialogs, clock, opener, usable);
        Gestione window(ctx);
        QVERIFY(window.Form_Load());
        QVERIFY(ctx.connected());
        // An export lands in that folder.
        ui::menu(&window, "StampaClienti");
        QVERIFY2(dialogs.boxes.isEmpty(), qPrintable(dialogs.describe()));
        QCOMPARE(opener.opened.size(), 1);
        struct stat st;
        QVERIFY(::stat(folders::native(opener.opened.first()).constData(), &st) == 0);
        QVERIFY(folders::native(opener.opened.first()).startsWith(folder + "/"));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
