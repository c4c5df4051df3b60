// The database tool: the supplied file, the added years, the demo data, and the file as the
// command-line client sees it.

#include "data/Database.h"
#include "data/Schema.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int tool(const QStringList& args, QString* err = nullptr) {
    QProcess p;
    p.start(QStringLiteral(GESTIONE_MAKEDB), args);
    p.waitForFinished(60000);
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QStringList column(Database& db, const char* sql) {
    QStringList out;
    auto st = db.prepare(sql);
    while (st && st->next())
        out << st->text(0);
    return out;
}

} // namespace

class TestMakeDb : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void makesTheSuppliedFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Ordine.mdb");
        QCOMPARE(tool({"--anno-corrente", "2026", path}), 0);
        auto db = Database::open(path, schema::password());
        QVERIFY(db);
        QVERIFY(schema::verify(**db));
        QCOMPARE(column(**db, "SELECT ANNO FROM ANNO ORDER BY ANNO;"),
                 (QStringList{"2023", "2024", "2025", "2026", "2027", "2028", "2029"}));
        QCOMPARE(column(**db, "SELECT UTENTE FROM UTENTE;"), QStringList{"AGENTE"});
        QCOMPARE(column(**db, "SELECT count(*) FROM ORDINE;"), QStringList{"0"});
    }

    void neverOverwritesAFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Ordine.mdb");
        QCOMPARE(tool({"--demo", path}), 0);
        const QByteArray before = [&] {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QString err;
        QVERIFY(tool({path}, &err) != 0);
        QVERIFY2(err.contains(QStringLiteral("esiste già")), qPrintable(err));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    // A name that is not UTF-8 (a byte 0xFF): the file gets those very bytes, not a
    // replacement character, and nothing else is left in the folder.
    void keepsTheBytesOfAFileName() {
        QTemporaryDir dir;
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start("/bin/sh", {"-c", "exec \"$0\" --demo \"$(printf 'Ordine\\377.mdb')\"",
                            QStringLiteral(GESTIONE_MAKEDB)});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QList<QByteArray> names;
        DIR* d = ::opendir(QFile::encodeName(dir.path()).constData());
        QVERIFY(d);
        while (const dirent* e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names << QByteArray(e->d_name);
        ::closedir(d);
        // The temporary folder's removal cannot name it.
        for (const QByteArray& name : names)
            ::unlink((QFile::encodeName(dir.path()) + '/' + name).constData());
        QCOMPARE(names, QList<QByteArray>{QByteArray("Ordine\xff.mdb")});
    }

    void theFileAndItsJournalsAreTheOwnersOnly_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("supplied") << QStringList();
        QTest::newRow("demo") << QStringList{"--demo"};
    }

    // Under the usual umask a new file is readable by every user of the machine; the agent's
    // data is not.
    void theFileAndItsJournalsAreTheOwnersOnly() {
        QFETCH(QStringList, options);
        QTemporaryDir dir;
        const QString path = dir.filePath("Ordine.mdb");
        const mode_t was = ::umask(022);
        const int rc = tool(options + QStringList{path});
        ::umask(was);
        QCOMPARE(rc, 0);
        QCOMPARE(modeOf(path), 0600);
        auto db = Database::open(path, schema::password());
        QVERIFY(db);
        QVERIFY((*db)->write([&] { return (*db)->exec("INSERT INTO ANNO VALUES ('2040');"); }));
        for (const char* journal : {"-wal", "-shm"})
            QCOMPARE(modeOf(path + QLatin1String(journal)), 0600);
    }

    void addsAYear() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Ordine.mdb");
        QCOMPARE(tool({"--anno-corrente", "2026", path}), 0);
        QCOMPARE(tool({"--add-year", "2035", path}), 0);
        QCOMPARE(tool({"--aggiungi-anno", "2035", path}), 0);
        QVERIFY(tool({"--add-year", "duemila", path}) != 0);
        QVERIFY(tool({"--add-year", "2036", dir.filePath("manca.mdb")}) != 0);
        QVERIFY(!QFile::exists(dir.filePath("manca.mdb")));
        auto db = Database::open(path, schema::password());
        QCOMPARE(column(**db, "SELECT count(*) FROM ANNO WHERE ANNO = '2035';"), QStringList{"1"});
    }

    void demoDataIsRealistic() {
        QTemporaryDir dir;
        const QString path = dir.filePath("Ordine.mdb");
        QCOMPARE(tool({"--demo", "--anno-corrente", "2026", path}), 0);
        auto opened = Database::open(path, schema::password());
        Database& db = **opened;
        QVERIFY(column(db, "SELECT count(*) FROM CLIENTE;").first().toInt() >= 24);
        QVERIFY(column(db, "SELECT count(*) FROM ARTICOLO;").first().toInt() >= 24);
        QVERIFY(!column(db, "SELECT SOGGETTO FROM CLIENTE WHERE SOGGETTO LIKE '%''%';").isEmpty());
        QVERIFY(!column(db, "SELECT SOGGETTO FROM CLIENTE WHERE SOGGETTO GLOB '*[ÀÈÉÌÒÙ]*';")
                     .isEmpty());
        QCOMPARE(column(db, "SELECT DISTINCT ANNO FROM ORDINE ORDER BY ANNO;"),
                 (QStringList{"2025", "2026"}));
        const int biggest = column(db, "SELECT max(n) FROM (SELECT count(*) AS n FROM ORDINE "
                                       "GROUP BY ANNO, NR);")
                                .first()
                                .toInt();
        QVERIFY(biggest >= 10);
        // Every line names a customer that exists, and its dates read as dates.
        QCOMPARE(column(db, "SELECT count(*) FROM ORDINE WHERE ID_CL NOT IN "
                            "(SELECT CODICE FROM CLIENTE);"),
                 QStringList{"0"});
        QVERIFY(column(db, "SELECT count(*) FROM ORDINE WHERE DATAC IS NULL;").first().toInt() > 0);
        QCOMPARE(column(db, "SELECT count(DISTINCT CODICE) = count(*) FROM CLIENTE;"),
                 QStringList{"1"});
    }

    // What the tool writes for the user is Italian: its help and what it says of a wrong
    // option.
    void helpAndErrorsAreItalian() {
        QProcess p;
        p.start(QStringLiteral(GESTIONE_MAKEDB), {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromUtf8(p.readAllStandardOutput());
        for (const char* part : {"Uso: ", "[opzioni] file", "Opzioni:", "Argomenti:",
                                 "Mostra questo aiuto ed esce.", "--importa <archivio.mdb>"})
            QVERIFY2(help.contains(QString::fromUtf8(part)), qPrintable(help));
        for (const char* english : {"Usage", "Options", "Displays", "help information"})
            QVERIFY2(!help.contains(QLatin1String(english)), qPrintable(help));
        QString err;
        QCOMPARE(tool({"--nessuna", "x.mdb"}, &err), 2);
        QCOMPARE(err, QStringLiteral("Opzione sconosciuta: nessuna.\nPer l'elenco delle opzioni: "
                                     "gestione-makedb --aiuto\n"));
        QCOMPARE(tool({"--add-year"}, &err), 2);
        QCOMPARE(err, QStringLiteral("Opzione senza il valore richiesto.\nPer l'elenco delle "
                                     "opzioni: gestione-makedb --aiuto\n"));
    }

    void theCommandLineClientNeedsThePassword() {
        const QString client = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
        if (client.isEmpty())
            QSKIP("the sqlcipher client is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath("Ordine.mdb");
        QCOMPARE(tool({"--demo", path}), 0);
        auto run = [&](const QByteArray& script) {
            QProcess p;
            p.start(client, {path});
            p.write(script);
            p.closeWriteChannel();
            p.waitForFinished(30000);
            return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        };
        const QString with = run("PRAGMA key = 'ToRe4713';\nPRAGMA cipher_page_size = 4096;\n"
                                 "PRAGMA kdf_iter = 64000;\nSELECT count(*) FROM CLIENTE;\n");
        QVERIFY2(with.trimmed().endsWith(QStringLiteral("40")), qPrintable(with));
        const QString without = run("SELECT count(*) FROM CLIENTE;\n");
        QVERIFY2(without.contains(QStringLiteral("not a database")), qPrintable(without));
        const QString wrong = run("PRAGMA key = 'torE4713';\nPRAGMA cipher_page_size = 4096;\n"
                                  "SELECT count(*) FROM CLIENTE;\n");
        QVERIFY2(wrong.contains(QStringLiteral("not a database")), qPrintable(wrong));
    }
};

QTEST_GUILESS_MAIN(TestMakeDb)
#include "tst_makedb.moc"
