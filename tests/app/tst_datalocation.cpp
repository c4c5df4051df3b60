// Where the database file lives: beside the program, else in the user's data folder where the
// supplied file is copied on the first start; and the "Primi passi" page that says so.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "app/DataLocation.h"
#include "app/FirstSteps.h"
#include "app/Gestione.h"
#include "app/UserGuide.h"
#include "files/FolderNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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
        // Another user of the machine who made the folder or the file beforehand, or may write
        // them, could swap in a file of their own.
        const QString folder = "La cartella \"%U\" ";
        const QString file = "Il file \"%U/Ordine.mdb\" ";
        QTest::newRow("the folder of another user")
            << "folder nobody" << folder + "appartiene a un altro utente";
        QTest::newRow("a link of another user for the folder")
            << "folder link nobody" << folder + "appartiene a un altro utente";
        QTest::newRow("the folder open to the group")
            << "folder 0770" << folder + "è modificabile da altri utenti";
        QTest::newRow("the file of another user")
            << "file nobody" << file + "appartiene a un altro utente";
        QTest::newRow("the file open to others")
            << "file 0606" << file + "è modificabile da altri utenti";
        QTest::newRow("a journal of another user")
            << "wal nobody"
            << "Il file \"%U/Ordine.mdb-wal\" appartiene a un altro utente";
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
        } else if (trouble != QLatin1String("home")) {
            // "<what> <owner or rights>": the folder made by the program, then changed.
            const QStringList how = trouble.split(QLatin1Char(' '));
            QVERIFY(QDir().mkpath(user));
            QVERIFY(::chmod(QFile::encodeName(user).constData(), 0700) == 0);
            QString target = user;
            if (how[0] == QLatin1String("file") || how[0] == QLatin1String("wal")) {
                QVERIFY(QFile::copy(in.suppliedFile(), named));
                QVERIFY(QFile::setPermissions(named, QFile::ReadOwner | QFile::WriteOwner));
                target = named;
            }
            if (how[0] == QLatin1String("wal")) {
                target = named + "-wal";
                QFile wal(target);
                QVERIFY(wal.open(QIODevice::WriteOnly));
            }
            if (how[1] == QLatin1String("link")) {
                // Another user's link in the shared folder, to a folder of the user's own.
                const QString own = in.root.filePath("own");
                QVERIFY(QDir().mkpath(own));
                QVERIFY(QDir(user).removeRecursively());
                QVERIFY(QFile::link(own, user));
                QVERIFY(::lchown(QFile::encodeName(user).constData(), 65534, 65534) == 0);
            } else if (how[1] == QLatin1String("nobody")) {
                QVERIFY(::chown(QFile::encodeName(target).constData(), 65534, 65534) == 0);
            } else {
                QVERIFY(::chmod(QFile::encodeName(target).constData(), how[1].toInt(nullptr, 8)) ==
                        0);
            }
        } else {
            user.clear();
            named = in.program() + "/Ordine.mdb";
        }
        const bool there = QFileInfo::exists(named);
        const auto found = DataLocation::find(in.program(), user, in.suppliedFile());
        QVERIFY(!found);
        cause.replace(QLatin1String("%S"), in.suppliedFile())
            .replace(QLatin1String("%R"), in.root.path())
            .replace(QLatin1String("%U"), user);
        QCOMPARE(found.error().text,
                 QStringLiteral("Impossibile preparare il database\n%1\n\n%2").arg(named, cause));
        QCOMPARE(QFileInfo::exists(named), there);
    }

    // The user's data folder comes from XDG_DATA_HOME when it names a folder, else from HOME,
    // else from the system's accounts; a name that is not UTF-8 is kept as its bytes.
    void theUsersFolderFollowsTheEnvironment_data() {
        QTest::addColumn<QByteArray>("dataHome");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray unset("(unset)");
        QTest::newRow("home") << unset << QByteArray("%T/casa")
                              << QByteArray("%T/casa/.local/share");
        QTest::newRow("a home not in UTF-8")
            << unset << QByteArray("%T/caf\xe9") << QByteArray("%T/caf\xe9/.local/share");
        QTest::newRow("a data folder")
            << QByteArray("%T/dati") << QByteArray("%T/casa") << QByteArray("%T/dati");
        QTest::newRow("a data folder not in UTF-8, yet to be made")
            << QByteArray("%T/caf\xe9/dati") << QByteArray("%T/casa")
            << QByteArray("%T/caf\xe9/dati");
        QTest::newRow("a relative data folder")
            << QByteArray("dati") << QByteArray("%T/casa") << QByteArray("%T/casa/.local/share");
        QTest::newRow("no home") << unset << unset << QByteArray("%P/.local/share");
        QTest::newRow("an empty home")
            << QByteArray("") << QByteArray("") << QByteArray("%P/.local/share");
        QTest::newRow("a relative home") << unset << QByteArray("casa") << QByteArray();
    }
    void theUsersFolderFollowsTheEnvironment() {
        QFETCH(QByteArray, dataHome);
        QFETCH(QByteArray, home);
        QFETCH(QByteArray, expected);
        QTemporaryDir tmp;
        const QByteArray t = QFile::encodeName(tmp.path());
        QVERIFY(::mkdir(t + "/caf\xe9", 0700) == 0);
        QVERIFY(::mkdir(t + "/casa", 0700) == 0);
        const passwd* pw = ::getpwuid(::getuid());
        QVERIFY(pw);
        const auto fill = [&](QByteArray v) {
            return v.replace("%T", t).replace("%P", pw->pw_dir);
        };
        const QByteArray savedHome = qgetenv("HOME");
        const QByteArray savedData = qgetenv("XDG_DATA_HOME");
        const auto set = [&](const char* name, const QByteArray& v) {
            if (v == "(unset)")
                qunsetenv(name);
            else
                qputenv(name, fill(v));
        };
        set("HOME", home);
        set("XDG_DATA_HOME", dataHome);
        const QString folder = DataLocation::userFolder();
        qputenv("HOME", savedHome);
        if (savedData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", savedData);
        if (expected.isEmpty()) {
            QVERIFY(folder.isEmpty());
            return;
        }
        QCOMPARE(folders::native(folder), fill(expected) + "/Gestione Ordini");
        QVERIFY(!folder.contains(QStringLiteral("//")));
        if (!expected.startsWith("%T"))
            return;
        // The file goes where the bytes say, inside the folder the variable names.
        Install in;
        const auto found = DataLocation::find(in.program(), folder, in.suppliedFile());
        QVERIFY2(found, qPrintable(found ? QString() : found.error().text));
        QVERIFY(QFileInfo::exists(folder + "/Ordine.mdb"));
        struct stat st {};
        QVERIFY(::stat(fill(expected) + "/Gestione Ordini/Ordine.mdb", &st) == 0);
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

    void theGuideCoversEveryFeature() {
        App app;
        ui::menu(app.window.get(), "Guida");
        auto* guide = app.window->findChild<UserGuide*>(QStringLiteral("Guida"));
        QVERIFY(guide && guide->isVisible());
        QCOMPARE(guide->windowTitle(), QStringLiteral("Guida"));
        const QString text = guide->TestoGuida->toPlainText();
        for (const char* part :
             {"Primi passi", "Clienti", "Importa listino…", "Ordini", "Invio degli ordini", "Cerca",
              "Statistiche", "La password personale", "Il server dell'agenzia"})
            QVERIFY2(text.contains(QString::fromUtf8(part)), part);
        QVERIFY(!text.contains(QLatin1Char('#')));
        QVERIFY(app.dialogs.boxes.isEmpty());
    }
};

QTEST_MAIN(TestDataLocation)
#include "tst_datalocation.moc"
