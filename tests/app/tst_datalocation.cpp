// Where the database file lives: beside the program, else in the user's data folder where the
// supplied file is copied on the first start; and the "Primi passi" page that says so.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/DataLocation.h"
#include "app/FirstSteps.h"
#include "app/Gestione.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <sys/stat.h>

namespace {

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// A program folder, an empty user's home and the supplied file, as an install lays them out.
struct Install {
    Install() {
        QDir().mkpath(program());
        QDir().mkpath(root.filePath("usr/share/gestione-ordini"));
        QFile::copy(supplied.dbPath(), suppliedFile());
    }
    QString program() const { return root.filePath("usr/bin"); }
    QString suppliedFile() const { return DataLocation::suppliedFile(program()); }
    QString user() const { return root.filePath("home/.local/share/Gestione Ordini"); }
    QTemporaryDir root;
    TestDir supplied;
};

} // namespace

class TestDataLocation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theSuppliedFileIsInTheSharedFolderBesideTheProgramsFolder() {
        QCOMPARE(DataLocation::suppliedFile(QStringLiteral("/opt/go/bin")),
                 QStringLiteral("/opt/go/share/gestione-ordini/Ordine.mdb"));
    }

    void aFileBesideTheProgramIsUsedWhereItIs() {
        Install in;
        QVERIFY(QFile::copy(in.supplied.dbPath(), in.program() + "/Ordine.mdb"));
        const auto found = DataLocation::find(in.program(), in.user(), in.suppliedFile());
        QVERIFY(found);
        QCOMPARE(found->file, in.program() + "/Ordine.mdb");
        QCOMPARE(found->folder, in.program());
        QVERIFY(found->portable);
        QVERIFY(!found->created);
        QVERIFY(!QFileInfo::exists(in.root.filePath("home")));
    }

    void theFirstStartCopiesTheSuppliedFileOwnerOnly() {
        Install in;
        auto found = DataLocation::find(in.program(), in.user(), in.suppliedFile());
        QVERIFY2(found, qPrintable(found ? QString() : found.error().text));
        QCOMPARE(found->file, in.user() + "/Ordine.mdb");
        QCOMPARE(found->folder, in.user());
        QVERIFY(found->created);
        QVERIFY(!found->portable);
        QVERIFY(contents(found->file) == contents(in.suppliedFile()));
        QCOMPARE(modeOf(found->file), 0600);
        for (const char* made :
             {"home", "home/.local", "home/.local/share", "home/.local/share/Gestione Ordini"})
            QCOMPARE(modeOf(in.root.filePath(made)), 0700);
        // Nothing but the file is left in the folder.
        QCOMPARE(QDir(in.user()).entryList(QDir::Files | QDir::Hidden), QStringList{"Ordine.mdb"});

        // The next start keeps the file the user has worked on.
        QFile f(found->file);
        QVERIFY(f.open(QIODevice::Append));
        f.write("lavoro");
        f.close();
        const QByteArray worked = contents(found->file);
        found = DataLocation::find(in.program(), in.user(), in.suppliedFile());
        QVERIFY(found);
        QVERIFY(!found->created);
        QVERIFY(contents(found->file) == worked);
    }

    void whatStopsTheFirstStartIsTold_data() {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QString>("cause");
        QTest::newRow("no supplied file") << "supplied"
                                          << "Manca il file vuoto fornito con il programma:\n%S";
        QTest::newRow("a file where the folder goes")
            << "file in the way"
            << "%R/home/.local/share/Gestione Ordini non è una cartella";
        QTest::newRow("no home") << "home"
                                 << "Non si trova la cartella dei dati dell'utente (la variabile "
                                    "HOME non indica una cartella)";
    }
    void whatStopsTheFirstStartIsTold() {
        QFETCH(QString, trouble);
        QFETCH(QString, cause);
        Install in;
        QString user = in.user();
        QString named = user + "/Ordine.mdb";
        if (trouble == QLatin1String("supplied")) {
            QVERIFY(QFile::remove(in.suppliedFile()));
        } else if (trouble == QLatin1String("file in the way")) {
            QDir().mkpath(in.root.filePath("home/.local/share"));
            QFile f(user);
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else {
            user.clear();
            named = in.program() + "/Ordine.mdb";
        }
        const auto found = DataLocation::find(in.program(), user, in.suppliedFile());
        QVERIFY(!found);
        cause.replace(QLatin1String("%S"), in.suppliedFile())
            .replace(QLatin1String("%R"), in.root.path());
        QCOMPARE(found.error().text,
                 QStringLiteral("Impossibile preparare il database\n%1\n\n%2").arg(named, cause));
        QVERIFY(!QFileInfo::exists(user + "/Ordine.mdb") || user.isEmpty());
    }

    void thePageOfTheFirstStepsNamesTheFileAndTheCode() {
        App app;
        ui::menu(app.window.get(), "PrimiPassi");
        auto* page = app.window->findChild<FirstSteps*>(QStringLiteral("PrimiPassi"));
        QVERIFY(page && page->isVisible());
        QCOMPARE(page->windowTitle(), QStringLiteral("Primi passi"));
        const QString text = page->TestoPrimiPassi->toPlainText();
        for (const QString& part :
             {app.dir.dbPath(), QStringLiteral("Codice di Controllo 7391"),
              QStringLiteral("Copia di sicurezza"), QStringLiteral("Il vecchio archivio")})
            QVERIFY2(text.contains(part, Qt::CaseInsensitive), qPrintable(part));
        QVERIFY(app.dialogs.boxes.isEmpty());
    }
};

QTEST_MAIN(TestDataLocation)
#include "tst_datalocation.moc"
