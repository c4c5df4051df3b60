// The connection, the schema's guards, writes as one transaction, and the order numbering.

#include "data/Database.h"
#include "data/Schema.h"
#include "masterdata/Lookups.h"
#include "orders/Numbering.h"
#include "tools/makedb/MakeDb.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <sys/stat.h>

namespace {

std::unique_ptr<Database> fresh(QTemporaryDir& dir) {
    const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
    if (Status s = makedb::makeSupplied(path, 2026, makedb::Agent{}); !s)
        qFatal("%s", qPrintable(s.error().text));
    auto db = Database::open(path, schema::password());
    if (!db)
        qFatal("%s", qPrintable(db.error().text));
    return std::move(*db);
}

void addLine(Database& db, const char* year, const char* nr) {
    auto st = db.prepare("INSERT INTO ORDINE (ANNO, NR, ID_CL) VALUES (?1, ?2, '1');");
    QVERIFY(st);
    st->bind(1, year).bind(2, nr);
    QVERIFY(st->run());
}

Snapshot customersRead(Database& db) {
    auto st = db.prepare("SELECT SOGGETTO FROM CLIENTE ORDER BY SOGGETTO;");
    return st ? st->snapshot() : Snapshot();
}

QString plan(Database& db, const std::string& sql) {
    auto st = db.prepare("EXPLAIN QUERY PLAN " + sql);
    QString out;
    while (st && st->next())
        out += st->text(3) + QLatin1Char('\n');
    return out;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void suppliedFileHasTheTablesInOrder() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        QVERIFY(schema::verify(*db));
        auto st = db->prepare("SELECT * FROM ARTICOLO;");
        QVERIFY(st);
        QStringList cols;
        for (int i = 0; i < st->columnCount(); ++i)
            cols << st->columnName(i);
        QCOMPARE(cols, (QStringList{"ID", "CODICE", "ARTICOLO", "FORMATO", "PESO", "AGG"}));
    }

    void columnsRefuseWhatTheyCannotHold() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        for (const char* sql :
             {"INSERT INTO ARTICOLO (CODICE, PESO) VALUES ('A', 'dodici');",
              "INSERT INTO ARTICOLO (CODICE, AGG) VALUES ('A', '08/12/2026');",
              "INSERT INTO ORDINE (ANNO, NR, PREZZO) VALUES ('2026', '1', '1,5');",
              "INSERT INTO ORDINE (ANNO, NR, DATAO) VALUES ('2026', '1', 'oggi');",
              "INSERT INTO CLIENTE (CODICE) VALUES ('123456789012');",
              "INSERT INTO ORDINE (ANNO, NR) VALUES ('2026', NULL);"}) {
            Status s = db->exec(sql);
            QVERIFY2(!s, sql);
            QVERIFY(!s.error().text.isEmpty());
        }
        QVERIFY(
            db->exec("INSERT INTO ARTICOLO (CODICE, PESO, AGG) VALUES ('A', 12.5, '2026-12-08');"));
    }

    void aWriteIsAllOrNothing() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        Status s = db->write([&]() -> Status {
            if (Status a = db->exec("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('1', 'A');");
                !a)
                return a;
            return db->exec("INSERT INTO CLIENTE (CODICE) VALUES ('123456789012');");
        });
        QVERIFY(!s);
        auto st = db->prepare("SELECT count(*) FROM CLIENTE;");
        QVERIFY(st && st->next());
        QCOMPARE(st->int64(0), 0);
    }

    void boundTextsComeBackExactly() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        const QStringList hostile = {
            QStringLiteral("D'AMICO"), QStringLiteral("'; DROP TABLE CLIENTE; --"),
            QStringLiteral("50% _ [x] \"q\" \\ ``"), QStringLiteral("😀 e\u0301 È"),
            QString(5000, QLatin1Char('x'))};
        for (const QString& h : hostile) {
            auto ins = db->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('1', ?1);");
            QVERIFY(ins);
            ins->bind(1, h);
            QVERIFY(ins->run());
            auto back = db->prepare("SELECT SOGGETTO FROM CLIENTE WHERE ID = ?1;");
            back->bind(1, db->lastInsertId());
            QVERIFY(back->next());
            QCOMPARE(back->text(0), h);
        }
        QVERIFY(schema::verify(*db));
    }

    void numberingTakesTheNumericMaximumPerYear() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2026")), 1);
        addLine(*db, "2026", "9");
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2026")), 10);
        addLine(*db, "2026", "10");
        addLine(*db, "2026", "10");
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2026")), 11);
        addLine(*db, "2025", "40");
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2026")), 11);
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2025")), 41);
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2027")), 1);
    }

    void unreadableNumbersAreNamed() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        addLine(*db, "2026", "3");
        for (const char* bad : {"1,5", "-", "abc", "40000", "0", "12a"}) {
            addLine(*db, "2026", bad);
            auto r = numbering::nextOrderNumber(*db, QStringLiteral("2026"));
            QVERIFY2(!r, bad);
            QVERIFY2(r.error().text.contains(QStringLiteral("\"%1\"").arg(QLatin1String(bad))),
                     qPrintable(r.error().text));
            QVERIFY(db->exec("DELETE FROM ORDINE WHERE NR <> '3';"));
        }
        // Another year is not affected by an unreadable number.
        addLine(*db, "2025", "x");
        QCOMPARE(*numbering::nextOrderNumber(*db, QStringLiteral("2026")), 4);
        addLine(*db, "2026", "32767");
        QVERIFY(!numbering::nextOrderNumber(*db, QStringLiteral("2026")));
    }

    void numberingReadsThroughIndexes() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        // The very statements of the numbering: one seek at the end of the year in the index,
        // never a scan of the year's lines nor a sort.
        const QString max = plan(*db, numbering::kHighestNumber);
        QVERIFY2(max.contains(QStringLiteral("INDEX ORDINE_NUMERO")), qPrintable(max));
        QVERIFY2(!max.contains(QStringLiteral("TEMP B-TREE")), qPrintable(max));
        const QString bad = plan(*db, numbering::unreadableNumberQuery());
        QVERIFY2(bad.contains(QStringLiteral("INDEX ORDINE_NR_ILLEGGIBILI")), qPrintable(bad));
    }

    void distinctValuesAreReadThroughIndexes() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        for (const char* sql : {lookups::kProvince, lookups::kCitta, lookups::kProvinceOrdine,
                                lookups::kCittaOrdine, lookups::kDestinazioni}) {
            const QString p = plan(*db, sql);
            // A scan of a table itself (not of the recursive step, not of an index) reads
            // every row.
            for (const char* table : {"ORDINE", "CLIENTE"})
                QVERIFY2(!p.contains(QStringLiteral("SCAN TABLE %1\n").arg(QLatin1String(table))),
                         qPrintable(p));
            QVERIFY2(p.contains(QStringLiteral("INDEX")), qPrintable(p));
        }
    }

    void writesStopWhenTheFileIsNoLongerWritable() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        const QByteArray path = QFile::encodeName(db->path());
        QVERIFY(::chmod(path.constData(), 0444) == 0);
        Status s = db->write([&]() { return db->exec("INSERT INTO ANNO VALUES ('2040');"); });
        QVERIFY(!s);
        QVERIFY2(s.error().text.contains(QStringLiteral("sola lettura")),
                 qPrintable(s.error().text));
        QVERIFY(::chmod(path.constData(), 0644) == 0);
        QVERIFY(db->write([&]() { return db->exec("INSERT INTO ANNO VALUES ('2040');"); }));
    }

    void writesStopWhenTheFileWasReplaced() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        const QString other = dir.filePath(QStringLiteral("altro.mdb"));
        QVERIFY(makedb::makeSupplied(other, 2026, makedb::Agent{}));
        QVERIFY(::rename(QFile::encodeName(other).constData(),
                         QFile::encodeName(db->path()).constData()) == 0);
        Status s = db->write([&]() { return db->exec("INSERT INTO ANNO VALUES ('2040');"); });
        QVERIFY(!s);
        QVERIFY2(s.error().text.contains(QStringLiteral("sostituito")), qPrintable(s.error().text));
    }

    void theFileHoldsNothingInClear() {
        QTemporaryDir dir;
        auto db = fresh(dir);
        QVERIFY(db->exec(
            "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('98765', 'SALUMERIA ZEBRA');"));
        // The journal holds the pages of a write until they are copied into the file: they are
        // enciphered as well.
        QFile journal(dir.filePath(QStringLiteral("Ordine.mdb-wal")));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        const QByteArray pages = journal.readAll();
        QVERIFY(pages.size() > 4096);
        QVERIFY(!pages.contains("SALUMERIA ZEBRA"));
        QVERIFY(!pages.contains("98765"));
        QVERIFY(db->exec("PRAGMA wal_checkpoint(TRUNCATE);"));
        db->close();
        QFile f(dir.filePath(QStringLiteral("Ordine.mdb")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.size() > 0);
        QVERIFY(!bytes.contains("SALUMERIA ZEBRA"));
        QVERIFY(!bytes.contains("98765"));
        QVERIFY(!bytes.contains("CREATE TABLE"));
        QVERIFY(!bytes.startsWith("SQLite format 3"));
    }

    // A snapshot of what a query read stays equal until the tables it reads may have changed:
    // a write of the connection, whatever runs it, or of another connection, or the file
    // opened again.
    void aSnapshotChangesWithWhatItRead_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<bool>("changed");
        QTest::newRow("nothing written") << 0 << false;
        QTest::newRow("another table written") << 1 << false;
        QTest::newRow("a statement compiled before, run again") << 2 << true;
        QTest::newRow("a script run at once") << 3 << true;
        QTest::newRow("every row deleted at once") << 4 << true;
        QTest::newRow("a write read, then rolled back") << 5 << true;
        QTest::newRow("the schema changed") << 6 << true;
        QTest::newRow("a write by another connection") << 7 << true;
        QTest::newRow("the file opened again") << 8 << true;
        QTest::newRow("an older copy written over the file") << 9 << true;
        QTest::newRow("an older copy written over the file, then a write") << 10 << true;
    }
    void aSnapshotChangesWithWhatItRead() {
        QFETCH(int, change);
        QFETCH(bool, changed);
        QTemporaryDir dir;
        auto db = fresh(dir);
        const QString path = db->path();
        QVERIFY(db->write([&] {
            return db->exec("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('1', 'ROSSI');");
        }));
        // A copy of the file made by another program while it held one customer.
        const QString older = dir.filePath(QStringLiteral("copia.mdb"));
        QVERIFY(QFile::copy(path, older));
        auto pending = db->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('2', 'NERI');");
        QVERIFY(pending);
        QVERIFY(db->write([&] { return pending->run(); }));
        pending->reset();
        // As `cp` does: the same file, its bytes written over; its header stays the same.
        const auto copyOver = [&] {
            // Some time passes between the program's last write and the copy.
            QTest::qSleep(50);
            QFile from(older);
            QFile to(path);
            QVERIFY(from.open(QIODevice::ReadOnly));
            QVERIFY(to.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(to.write(from.readAll()) == from.size());
        };
        const auto customers = [&] {
            auto st = db->prepare("SELECT count(*) FROM CLIENTE;");
            return st && st->next() ? st->int64(0) : -1;
        };
        Snapshot before = customersRead(*db);
        QVERIFY(before.valid());
        QCOMPARE(customersRead(*db), before);
        const std::function<void()> changes[] = {
            [] {},
            [&] { QVERIFY(db->exec("INSERT INTO ARTICOLO (CODICE) VALUES ('A1');")); },
            [&] { QVERIFY(pending->run()); },
            [&] { QVERIFY(db->exec("UPDATE CLIENTE SET SOGGETTO = 'BIANCHI';")); },
            [&] { QVERIFY(db->exec("DELETE FROM CLIENTE;")); },
            [&] {
                QVERIFY(!db->write([&]() -> Status {
                    if (Status s = db->exec("DELETE FROM CLIENTE;"); !s)
                        return s;
                    before = customersRead(*db);
                    return makeError(QStringLiteral("annullata"));
                }));
            },
            [&] { QVERIFY(db->exec("CREATE TABLE PROVA (X);")); },
            [&] {
                Database::Options o;
                o.exclusive = false;
                auto other = Database::open(path, schema::password(), o);
                QVERIFY(other);
                QVERIFY((*other)->exec("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES "
                                       "('3', 'VERDI');"));
            },
            [&] {
                db->close();
                auto again = Database::open(path, schema::password());
                QVERIFY(again);
                db = std::move(*again);
            },
            [&] {
                copyOver();
                QCOMPARE(customers(), 1);
            },
            [&] {
                copyOver();
                QVERIFY(db->write(
                    [&] { return db->exec("INSERT INTO ARTICOLO (CODICE) VALUES ('A1');"); }));
                QCOMPARE(customers(), 1);
            },
        };
        changes[change]();
        QCOMPARE(customersRead(*db) != before, changed);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
