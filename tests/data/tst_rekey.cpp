// Changing the key of the database file: a process changing it back and forth is killed at
// random moments, and after each kill the file opens with exactly one of the two keys and holds
// every row; the database tool makes a file under a personal password read from its input.

#include "data/Database.h"
#include "data/Rekey.h"
#include "data/Schema.h"
#include "tools/makedb/MakeDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

namespace {

const FileKey kPersonal = FileKey::personalPassword(QStringLiteral("Segreto-1"));
// The kill loop's other key: a password with few rounds of derivation, so that many changes fit
// in the loop's time; the change itself is the same whatever the rounds.
const FileKey kQuick{QByteArrayLiteral("Segreto-1"), 4000, true};

std::unique_ptr<Database> openWith(const QString& path, const FileKey& key) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(path, key, o);
    return db ? std::move(*db) : nullptr;
}

// Every row of every table, one text.
QString everything(Database& db) {
    QString out;
    for (const char* sql : {"SELECT group_concat(ID || SOGGETTO, ',') FROM CLIENTE;",
                            "SELECT group_concat(ID || ARTICOLO, ',') FROM ARTICOLO;",
                            "SELECT group_concat(ID || ANNO || NR || ARTICOLO, ',') FROM ORDINE;",
                            "SELECT group_concat(ANNO, ',') FROM ANNO;",
                            "SELECT group_concat(UTENTE) FROM UTENTE;"}) {
        auto st = db.prepare(sql);
        if (st && st->next())
            out += st->text(0) + QLatin1Char('\n');
    }
    return out;
}

// The child: changes the key of the file back and forth until it is killed.
int changer(const QString& path) {
    for (;;) {
        const bool personal = !openWith(path, FileKey::builtIn());
        const FileKey from = personal ? kQuick : FileKey::builtIn();
        const FileKey to = personal ? FileKey::builtIn() : kQuick;
        if (Status s = rekey::changeKey(path, from, to); !s) {
            std::fprintf(stderr, "%s\n", qPrintable(s.error().text));
            return 1;
        }
        std::fputs("changed\n", stdout);
        std::fflush(stdout);
    }
}

int tool(const QStringList& args, const QByteArray& input, QString* err = nullptr) {
    QProcess p;
    p.start(QStringLiteral(GESTIONE_MAKEDB), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    if (err)
        *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class TestRekey : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Another program reading the file (here a second connection that has read it and stays
    // open) stops the change: it would go on writing into the file that is about to go.
    void anotherProgramOnTheFileStopsTheChange() {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("Ordine.mdb");
        QVERIFY(makedb::makeSupplied(path, 2026, makedb::Agent{}));
        auto reader = openWith(path, FileKey::builtIn());
        QVERIFY(reader);
        QCOMPARE(everything(*reader).isEmpty(), false);
        const Status s = rekey::changeKey(path, FileKey::builtIn(), kQuick);
        QVERIFY(!s);
        QVERIFY2(s.error().text.startsWith("il file è in uso da un altro programma"),
                 qPrintable(s.error().text));
        reader.reset();
        QVERIFY(openWith(path, FileKey::builtIn()));
        QVERIFY(!QFile::exists(rekey::workFile(path)));
        QVERIFY(rekey::changeKey(path, FileKey::builtIn(), kQuick));
        QVERIFY(openWith(path, kQuick));
    }

    void aKillAtAnyMomentLeavesOneWholeFile() {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("Ordine.mdb");
        QVERIFY(makedb::makeSupplied(path, 2026, makedb::Agent{}));
        {
            auto db = Database::open(path, FileKey::builtIn());
            QVERIFY(db);
            QVERIFY(makedb::fillDemo(**db, 2026));
        }
        QString all;
        {
            auto db = openWith(path, FileKey::builtIn());
            all = everything(*db);
        }
        QVERIFY(all.size() > 1000);

        // The kills fall anywhere in a change, however loaded the machine or slow the build: a
        // child's start and first change, let run to their end, set the span they are drawn from.
        QElapsedTimer spent;
        spent.start();
        int changes = 0;
        {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--changer", path});
            QVERIFY(child.waitForStarted());
            while (!child.canReadLine() && child.waitForReadyRead(60000)) {
            }
            QVERIFY(child.canReadLine());
            child.kill();
            child.waitForFinished();
            changes += int(child.readAllStandardOutput().count("changed"));
            rekey::removeLeftover(path);
        }
        const int span = int(std::max<qint64>(spent.elapsed(), 100));
        spent.restart();
        int kills = 0;
        while (spent.elapsed() < 15000) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--changer", path});
            QVERIFY(child.waitForStarted());
            QTest::qWait(int(QRandomGenerator::global()->bounded(span / 10, span * 2)));
            child.kill();
            child.waitForFinished();
            changes += int(child.readAllStandardOutput().count("changed"));
            QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                     child.readAllStandardError().constData());
            ++kills;
            // What the next start does: the half-written new file goes.
            rekey::removeLeftover(path);
            auto builtIn = openWith(path, FileKey::builtIn());
            auto personal = openWith(path, kQuick);
            QVERIFY2(bool(builtIn) != bool(personal), "the file opens with neither or both keys");
            Database& db = builtIn ? *builtIn : *personal;
            QCOMPARE(everything(db), all);
        }
        qInfo("%d kills survived, %d changes of key done", kills, changes);
        QVERIFY(changes > 0);
    }

    // The tool takes the password from its input, never from its arguments.
    void theToolMakesAFileUnderAPersonalPassword() {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("Ordine.mdb");
        QString err;
        QCOMPARE(tool({"--password-personale", "--demo", path}, "1234\n", &err), 2);
        QCOMPARE(err, QStringLiteral("La password è troppo corta: servono almeno 8 caratteri, "
                                     "non solo cifre.\n"));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(tool({"--password-personale", "--demo", path}, "Segreto-1\n", &err), 0);
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QVERIFY(!openWith(path, FileKey::builtIn()));
        auto db = openWith(path, kPersonal);
        QVERIFY(db);
        QVERIFY(everything(*db).contains("LUCA FERRARI"));
        db.reset();
        QCOMPARE(tool({"--password-personale", "--add-year", "2040", path}, "Segreto-1\n"), 0);
        QCOMPARE(tool({"--password-personale", "--add-year", "2041", path}, "Segreto-2\n", &err),
                 1);
        QVERIFY2(err.contains("password errata"), qPrintable(err));
        db = openWith(path, kPersonal);
        QVERIFY(everything(*db).contains(",2040"));
        QVERIFY(!everything(*db).contains("2041"));
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--changer") {
        QCoreApplication app(argc, argv);
        return changer(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestRekey t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_rekey.moc"
