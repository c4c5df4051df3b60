// The Debian package: built by CPack, unpacked into a temporary root, its files and control
// fields, the desktop entry and the metadata validated, and the unpacked program started with
// a fresh home, driven by its element names.

#include "data/Database.h"
#include "data/Schema.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kId = QStringLiteral("it.gestioneordini.GestioneOrdini");

struct Run {
    int code = -1;
    QString out;
};

Run run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.out = QStringLiteral("(non terminato) ");
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out += QString::fromUtf8(p.readAll());
    return r;
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList rows(const QString& file, const char* sql) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(file, schema::password(), o);
    if (!db)
        return {QStringLiteral("(non si apre: %1)").arg(db.error().text)};
    QStringList out;
    auto st = (*db)->prepare(sql);
    if (!st)
        return {st.error().text};
    while (st->next())
        out << st->text(0);
    return out;
}

QStringList customers(const QString& file) {
    return rows(file, "SELECT CODICE || ' ' || SOGGETTO FROM CLIENTE ORDER BY ID;");
}

QStringList agents(const QString& file) {
    return rows(file, "SELECT UTENTE || '|' || VIA || '|' || CAP || '|' || CITTA || '|' || PR "
                      "FROM UTENTE ORDER BY ID;");
}

QString readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_deb;
    QString m_root;

    QString program() const { return m_root + "/usr/bin/gestione-ordini"; }

    // The unpacked program on a home of its own, inserting the customer "code|name|town|prov";
    // the agent "name|street|post code|town|province" goes into the dialog that asks for it,
    // which is put off when none is given. Returns the boxes it saw, one a line, then "FINE".
    QString start(const QString& home, const QString& customer, int* code = nullptr,
                  const QString& agent = QString()) {
        QDir().mkpath(home);
        const QString log = home + "/driver.log";
        QFile::remove(log);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS"})
            env.remove(QLatin1String(name));
        const QString runtime = home + "/run";
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("HOME", home);
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LD_PRELOAD", GESTIONE_DRIVER);
        env.insert("GESTIONE_DRIVER_LOG", log);
        env.insert("GESTIONE_DRIVER_CUSTOMER", customer);
        env.insert("GESTIONE_DRIVER_AGENT", agent);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(home + "/stderr.log");
        p.start(program(), {});
        const bool ended = p.waitForFinished(60000);
        if (!ended) {
            p.kill();
            p.waitForFinished();
        }
        if (code)
            *code = ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        // The toolkit's own notes on standard error (the offscreen platform's) are no box.
        return readAll(log);
    }

    static QString box(const QString& title, const QString& text) {
        QString t = text;
        return QStringLiteral("BOX|%1|%2\n").arg(title, t.replace('\n', QLatin1String("\\n")));
    }
    static QString agentDialog() {
        return QStringLiteral(
            "DIALOGO|Dati dell'agente|Il nome e l'indirizzo dell'agente compaiono in testa a "
            "ogni foglio d'ordine.\\nIl nome è obbligatorio.\\n\\nSi possono cambiare in "
            "seguito: il nome dal menu \"Aiuto\", \"Nome dell'agente…\", l'indirizzo anche dal "
            "menu \"Utente\"; entrambi con il Codice di Controllo 7391.\n");
    }
    static QString insertBoxes() {
        return box(QStringLiteral("Gestione Ordini") + QString(38, QLatin1Char('.')),
                   QStringLiteral("Vuoi Inserire questi dati  ?")) +
               box(QStringLiteral("Gestione Ordini") + QString(18, QLatin1Char('.')),
                   QStringLiteral("Inserimento effettuato"));
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_tmp.isValid());
        const Run built = run(QStringLiteral(GESTIONE_CPACK),
                              {"--config", GESTIONE_BUILD_DIR "/CPackConfig.cmake", "-B",
                               m_tmp.filePath("pacchetto")});
        QVERIFY2(built.code == 0, qPrintable(built.out));
        const QStringList debs =
            QDir(m_tmp.filePath("pacchetto")).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = m_tmp.filePath("pacchetto/" + debs.first());
        m_root = m_tmp.filePath("radice");
        const Run unpacked = run("dpkg-deb", {"-x", m_deb, m_root});
        QVERIFY2(unpacked.code == 0, qPrintable(unpacked.out));
    }

    void theFilesOfThePackage() {
        QStringList files;
        QDirIterator it(m_root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files << QStringLiteral("%1 %2").arg(path.mid(m_root.size())).arg(modeOf(path), 0, 8);
        }
        files.sort();
        QStringList expected{"/usr/bin/gestione-jetread 755",
                             "/usr/bin/gestione-leggixls 755",
                             "/usr/bin/gestione-makedb 755",
                             "/usr/bin/gestione-ordini 755",
                             "/usr/bin/gestione-sede 755",
                             "/usr/share/applications/" + kId + ".desktop 644",
                             "/usr/share/gestione-ordini/Ordine.mdb 644",
                             "/usr/share/icons/hicolor/scalable/apps/" + kId + ".svg 644",
                             "/usr/share/metainfo/" + kId + ".metainfo.xml 644"};
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            expected << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/%2.png 644")
                            .arg(size)
                            .arg(kId);
        expected.sort();
        QCOMPARE(files, expected);
    }

    void theControlFields() {
        const Run f = run("dpkg-deb", {"-f", m_deb, "Package", "Version", "Architecture", "Section",
                                       "Recommends"});
        QCOMPARE(f.code, 0);
        const Run arch = run("dpkg", {"--print-architecture"});
        QCOMPARE(f.out, QStringLiteral("Package: gestione-ordini\nVersion: %1\nArchitecture: "
                                       "%2\nSection: misc\nRecommends: libreoffice-calc, "
                                       "xdg-utils, fonts-liberation2, qt6-translations-l10n, "
                                       "qt6-gtk-platformtheme, "
                                       "qt6-xdgdesktopportal-platformtheme, libsecret-1-0\n")
                            .arg(QStringLiteral(GESTIONE_VERSION), arch.out.trimmed()));
        const Run depends = run("dpkg-deb", {"-f", m_deb, "Depends"});
        for (const char* lib :
             {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libsqlcipher0", "libxlsxwriter",
              "zlib1g", "libc6", "libstdc++6", "libpq5", "libqt6keychain1"})
            QVERIFY2(depends.out.contains(QLatin1String(lib)), qPrintable(depends.out));
    }

    // The office's tool for the agency's server is in the package, its help in Italian.
    void theOfficeToolHelpsInItalian() {
        const Run help = run(m_root + "/usr/bin/gestione-sede", {"--aiuto"});
        QCOMPARE(help.code, 0);
        for (const char* words : {"Uso: ", "Opzioni:", "Argomenti:", "[opzioni]",
                                  "Strumento della sede", "agente NOME", "--aiuto"})
            QVERIFY2(help.out.contains(QLatin1String(words)), qPrintable(help.out));
        QVERIFY2(!help.out.contains(QLatin1String("Usage")), qPrintable(help.out));
    }

    void theDesktopEntryAndTheMetadataAreValid() {
        const Run entry =
            run("desktop-file-validate", {m_root + "/usr/share/applications/" + kId + ".desktop"});
        QVERIFY2(entry.code == 0 && entry.out.isEmpty(), qPrintable(entry.out));
        const Run meta =
            run("appstreamcli", {"validate", "--no-net", "--no-color",
                                 m_root + "/usr/share/metainfo/" + kId + ".metainfo.xml"});
        QVERIFY2(meta.code == 0, qPrintable(meta.out));
        const QString desktop = readAll(m_root + "/usr/share/applications/" + kId + ".desktop");
        for (const char* line : {"Name[it]=Gestione Ordini", "Categories=Office;",
                                 "Exec=gestione-ordini", "Icon=it.gestioneordini.GestioneOrdini"})
            QVERIFY2(desktop.contains(QLatin1String(line)), line);
    }

    // A fresh home: the supplied file is copied to the user's data folder and said so, the
    // agent's own details are asked and stored; what the user inserts is in that file, and the
    // next start works on it without a word.
    void theFirstStartCopiesTheSuppliedFileAndTheNextUsesIt() {
        const QString home = m_tmp.filePath("casa");
        const QString folder = home + "/.local/share/Gestione Ordini";
        const QString file = folder + "/Ordine.mdb";
        int code = -1;
        QString seen = start(home, QStringLiteral("101|ROSSI MARIO|MILANO|MI"), &code,
                             QStringLiteral("verdi paola|via dante 3|20121|milano|mi"));
        QCOMPARE(seen.section(QLatin1Char('\n'), 0, 0),
                 box(QStringLiteral("Gestione Ordini"),
                     QStringLiteral("Benvenuto in Gestione Ordini.\n\n"
                                    "Il database vuoto fornito con il programma è stato copiato "
                                    "in:\n%1\n\n"
                                    "Qui restano clienti, articoli e ordini; le esportazioni "
                                    "vengono salvate nella stessa cartella.\n\n"
                                    "Inserire per prima cosa i dati dell'agente, che compaiono "
                                    "su ogni foglio d'ordine: menu \"Utente\", Codice di Controllo "
                                    "7391.\nAltre indicazioni nel menu \"Aiuto\", \"Primi "
                                    "passi\".")
                         .arg(file))
                     .chopped(1));
        QCOMPARE(seen.section(QLatin1Char('\n'), 1), agentDialog() + insertBoxes() + "FINE\n" +
                                                         box("Gestione Ordini....................",
                                                             " Vuoi uscrire dall'applicativo ? "));
        QCOMPARE(code, 0);
        QCOMPARE(modeOf(file), 0600);
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(customers(file), QStringList{"101 ROSSI MARIO"});
        QCOMPARE(agents(file), QStringList{"VERDI PAOLA|VIA DANTE 3|20121|MILANO|MI"});

        seen = start(home, QStringLiteral("102|BIANCHI ANNA|BERGAMO|BG"), &code);
        QCOMPARE(seen, insertBoxes() + "FINE\n" +
                           box("Gestione Ordini....................",
                               " Vuoi uscrire dall'applicativo ? "));
        QCOMPARE(code, 0);
        QCOMPARE(customers(file), (QStringList{"101 ROSSI MARIO", "102 BIANCHI ANNA"}));
    }

    // A file beside the program is used where it is, and nothing goes to the user's folder.
    void aFileBesideTheProgramIsUsedWhereItIs() {
        const QString beside = m_root + "/usr/bin/Ordine.mdb";
        QVERIFY(QFile::copy(m_root + "/usr/share/gestione-ordini/Ordine.mdb", beside));
        QVERIFY(QFile::setPermissions(beside, QFile::ReadOwner | QFile::WriteOwner));
        const QString home = m_tmp.filePath("portatile");
        int code = -1;
        const QString seen = start(home, QStringLiteral("201|VERDI LUCA|COMO|CO"), &code);
        QFile::rename(beside, m_tmp.filePath("portatile.mdb"));
        // The supplied agent is still there: the dialog is put off.
        QCOMPARE(seen, agentDialog() + insertBoxes() + "FINE\n" +
                           box("Gestione Ordini....................",
                               " Vuoi uscrire dall'applicativo ? "));
        QCOMPARE(code, 0);
        QCOMPARE(customers(m_tmp.filePath("portatile.mdb")), QStringList{"201 VERDI LUCA"});
        QVERIFY(!QFileInfo::exists(home + "/.local/share/Gestione Ordini"));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
