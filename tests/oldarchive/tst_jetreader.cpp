// The reader of the old archive on real Jet files: every column type, the files with a database
// password, and the files it must refuse without harm.

#include "JetKit.h"

#include "oldarchive/jet/JetFile.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

// A value as the test writes it: "NULL", 'text', a number, a date-time, true/false.
QString show(const jet::Value& v) {
    switch (v.kind) {
    case jet::Value::Kind::Null:
        return QStringLiteral("NULL");
    case jet::Value::Kind::Text:
        return QLatin1Char('\'') + v.text + QLatin1Char('\'');
    case jet::Value::Kind::Integer:
        return QString::number(v.integer);
    case jet::Value::Kind::Real:
        return QString::number(v.real, 'g', 15);
    case jet::Value::Kind::DateTime:
        return v.date.toString(Qt::ISODate) + QLatin1Char(' ') + v.time.toString(Qt::ISODate);
    case jet::Value::Kind::Boolean:
        return v.boolean ? QStringLiteral("true") : QStringLiteral("false");
    case jet::Value::Kind::Other:
        break;
    }
    return QStringLiteral("<%1>").arg(v.text);
}

QStringList rowsOf(jet::Archive& a, const QString& table) {
    QStringList out;
    const Status s = a.rows(table, [&](const jet::Row& r) -> Status {
        QStringList cells;
        for (const jet::Value& v : r)
            cells << show(v);
        out << cells.join(QLatin1Char(','));
        return {};
    });
    if (!s)
        out << QStringLiteral("error: ") + s.error().text;
    return out;
}

// Everything the archive holds, read as the import reads it; the first error met.
QString readAll(const QString& path, int quietMs) {
    auto a = jet::open(path, jet::Limits{quietMs, {}});
    if (!a)
        return a.error().text;
    for (const QString& t : (*a)->tables()) {
        auto cols = (*a)->columns(t);
        if (!cols)
            return cols.error().text;
        const QStringList rows = rowsOf(**a, t);
        if (!rows.isEmpty() && rows.last().startsWith("error: "))
            return rows.last().mid(7);
    }
    return {};
}

const QString kDamaged = QStringLiteral("l'archivio è danneggiato e non si può convertire");

} // namespace

class TestJetReader : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsEveryColumnTypeOfTable1_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::newRow("Jet 3") << "jet3-types" << int(jet::Format::Jet3);
        QTest::newRow("Jet 4") << "jet4-types" << int(jet::Format::Jet4);
    }
    void readsEveryColumnTypeOfTable1() {
        QFETCH(QString, file);
        QFETCH(int, format);
        QTemporaryDir dir;
        const QString path = jetkit::put(dir.path(), file + ".mdb", jetkit::unpacked(file));
        QCOMPARE(int(jet::formatOf(path)), format);
        auto a = jet::open(path);
        QVERIFY2(a, qPrintable(a ? QString() : a.error().text));
        QCOMPARE((*a)->tables(), (QStringList{"Table1", "Table2", "Table3", "Table4"}));
        auto cols = (*a)->columns("table1");
        QVERIFY(cols);
        QStringList described;
        for (const jet::Column& c : *cols)
            described << QStringLiteral("%1:%2:%3").arg(c.name).arg(int(c.type)).arg(c.size);
        using T = jet::Type;
        auto d = [](const char* n, T t, int size) {
            return QStringLiteral("%1:%2:%3").arg(QLatin1String(n)).arg(int(t)).arg(size);
        };
        QCOMPARE(
            described,
            (QStringList{d("A", T::Text, 50), d("B", T::Text, 100), d("C", T::Byte, 1),
                         d("D", T::Integer, 2), d("E", T::Long, 4), d("F", T::Double, 8),
                         d("G", T::DateTime, 8), d("H", T::Currency, 8), d("I", T::Boolean, 0)}));
        QStringList rows = rowsOf(**a, "Table1");
        rows.sort();
        QCOMPARE(rows,
                 (QStringList{
                     "'a','b',0,0,0,0,1981-12-12 00:00:00,0,false",
                     "'abcdefg','hijklmnop',2,222,333333333,444.555,1974-09-21 00:00:00,3.5,true",
                 }));
        QCOMPARE(rowsOf(**a, "Table4"), QStringList{});
        QCOMPARE((*a)->columns("NoSuchTable").error().text,
                 QStringLiteral("il file non contiene la tabella NoSuchTable"));
    }

    void readsTheFilesWithADatabasePassword_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("Access 2000") << "jet4-password";
        QTest::newRow("Access 2003") << "jet4-2003-password";
    }
    void readsTheFilesWithADatabasePassword() {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = jetkit::put(dir.path(), file + ".mdb", jetkit::unpacked(file));
        auto a = jet::open(path);
        QVERIFY(a);
        QCOMPARE(rowsOf(**a, "Table1"), (QStringList{"1,'One'", "2,'Two'", "3,'Three'"}));
    }

    // Cut short, or no Jet file at all: a clear error, never a crash (also under the sanitizers).
    void refusesWhatItCannotRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray jet4 = jetkit::unpacked("jet4-password");
        const QByteArray jet3 = jetkit::unpacked("jet3-types");
        QTest::newRow("empty") << QByteArray() << "il file non è un archivio Access (Jet)";
        QTest::newRow("text") << QByteArray("CODICE;SOGGETTO\n1;ROSSI\n")
                              << "il file non è un archivio Access (Jet)";
        QTest::newRow("cut inside a page") << jet4.left(5000) << "il file è incompleto (troncato)";
        QTest::newRow("catalogue cut away")
            << jet3.left(8192)
            << "l'elenco delle tabelle del file non si può leggere (file danneggiato)";
        QTest::newRow("table cut away")
            << jet4.left(jet4.size() / 2)
            << "la tabella Table1 non si può leggere (file danneggiato)";
        QByteArray later = jet4;
        later[0x14] = 2;
        QTest::newRow("Access 2007") << later
                                     << "il file è di una versione di Access successiva al 2003, "
                                        "che non si può leggere";
    }
    void refusesWhatItCannotRead() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = jetkit::put(dir.path(), "Ordine.mdb", bytes);
        auto a = jet::open(path);
        QString got;
        if (!a)
            got = a.error().text;
        for (const QString& t : a ? (*a)->tables() : QStringList{}) {
            auto cols = (*a)->columns(t);
            const QStringList rows = cols ? rowsOf(**a, t) : QStringList{};
            if (!cols)
                got = cols.error().text;
            else if (!rows.isEmpty() && rows.last().startsWith("error: "))
                got = rows.last().mid(7);
        }
        QCOMPARE(got, error);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

    // Archives on which libmdb crashes or reads for good (tests/oldarchive/jet/damaged.txt): the
    // reader's process is stopped and the archive reported damaged, in bounded time.
    void aDamagedArchiveIsReportedNotFatal_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("changes");
        QFile list(QDir(qEnvironmentVariable("GESTIONE_SOURCE_DIR"))
                       .filePath(QStringLiteral("tests/oldarchive/jet/damaged.txt")));
        QVERIFY(list.open(QIODevice::ReadOnly));
        for (const QString& line : QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'))) {
            const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (f.size() >= 2 && !f[0].startsWith(QLatin1Char('#')))
                QTest::newRow(qPrintable(f[0] + QLatin1Char(' ') + f[1])) << f[0] << f[1];
        }
    }
    void aDamagedArchiveIsReportedNotFatal() {
        QFETCH(QString, fixture);
        QFETCH(QString, changes);
        QTemporaryDir dir;
        const QByteArray bytes = jetkit::changed(fixture, changes);
        const QString path = jetkit::put(dir.path(), "Ordine.mdb", bytes);
        QElapsedTimer took;
        took.start();
        QCOMPARE(readAll(path, 3000).left(kDamaged.size()), kDamaged);
        QVERIFY(took.elapsed() < 30000);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes);
    }

    // A reader that hangs, floods its warnings or writes anything but frames is stopped and
    // the archive reported damaged, in bounded time.
    void aReaderThatHangsOrFloodsIsStopped_data() {
        QTest::addColumn<QString>("script");
        QTest::newRow("hangs") << "exec sleep 600";
        QTest::newRow("floods its warnings") << "exec yes 'warning: page 0 of the catalogue' >&2";
        QTest::newRow("writes no frames") << "exec yes";
        QTest::newRow("ends without a word") << "exit 0";
    }
    void aReaderThatHangsOrFloodsIsStopped() {
        QFETCH(QString, script);
        QTemporaryDir dir;
        const QString path = jetkit::put(dir.path(), "Ordine.mdb", jetkit::unpacked("jet3-types"));
        const QString reader =
            jetkit::put(dir.path(), "reader.sh", ("#!/bin/sh\n" + script + "\n").toUtf8());
        QVERIFY(QFile::setPermissions(reader, QFile::ReadOwner | QFile::ExeOwner));
        QElapsedTimer took;
        took.start();
        auto a = jet::open(path, jet::Limits{1500, QFile::encodeName(reader)});
        QVERIFY(!a);
        QCOMPARE(a.error().text, kDamaged);
        QVERIFY(took.elapsed() < 15000);
    }

    // The time the program spends on what the reader sent is not the reader's: a row that takes
    // longer to store than the reader may stay quiet does not make the archive damaged.
    void aSlowConsumerIsNotAHungReader() {
        QTemporaryDir dir;
        const QString path = jetkit::put(dir.path(), "Ordine.mdb", jetkit::unpacked("jet3-types"));
        auto a = jet::open(path, jet::Limits{1500, {}});
        QVERIFY(a);
        int rows = 0;
        const Status s = (*a)->rows("Table1", [&](const jet::Row&) -> Status {
            if (rows++ == 0)
                QThread::msleep(2500);
            return {};
        });
        QVERIFY2(s, qPrintable(s ? QString() : s.error().text));
        QCOMPARE(rows, 2);
    }

    // A bounded run of random changes to the fixtures, most in their first pages (the
    // catalogue, the tables' definitions and usage maps): whatever the reader meets, the
    // program gets a result in words and goes on. Damage found is printed as a line for
    // damaged.txt. GESTIONE_JET_FUZZ_SECONDS sets the run's length, GESTIONE_JET_FUZZ_SEED its
    // start.
    void aFuzzedArchiveNeverStopsTheProgram() {
        const int seconds = qEnvironmentVariableIsSet("GESTIONE_JET_FUZZ_SECONDS")
                                ? qEnvironmentVariableIntValue("GESTIONE_JET_FUZZ_SECONDS")
                                : 8;
        const quint32 seed = qEnvironmentVariableIsSet("GESTIONE_JET_FUZZ_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("GESTIONE_JET_FUZZ_SEED"))
                                 : QRandomGenerator::system()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator rng(seed);
        const QList<QPair<QString, QByteArray>> fixtures{
            {"jet3-types", jetkit::unpacked("jet3-types")},
            {"jet4-types", jetkit::unpacked("jet4-types")}};
        QTemporaryDir dir;
        QElapsedTimer run;
        run.start();
        int tries = 0;
        while (run.elapsed() < seconds * 1000) {
            const auto& [name, original] = fixtures[rng.bounded(int(fixtures.size()))];
            const int page = name.startsWith("jet3") ? 2048 : 4096;
            QByteArray bytes = original;
            QStringList changes;
            for (int n = 1 + rng.bounded(3); n > 0; --n) {
                const int pages = rng.bounded(4) == 0 ? int(bytes.size() / page) : 24;
                const qsizetype at = qsizetype(rng.bounded(pages)) * page + rng.bounded(page);
                const int value = rng.bounded(256);
                bytes[at] = char(value);
                changes << QStringLiteral("0x%1=%2").arg(at, 0, 16).arg(value, 2, 16,
                                                                        QLatin1Char('0'));
            }
            const QString path = jetkit::put(dir.path(), "Ordine.mdb", bytes);
            const QString got = readAll(path, 1500);
            if (got.startsWith(kDamaged))
                qInfo("%s %s", qPrintable(name), qPrintable(changes.join(QLatin1Char(' '))));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.readAll() == bytes, qPrintable(changes.join(QLatin1Char(' '))));
            ++tries;
        }
        qInfo("%d archives tried", tries);
        QVERIFY(tries > 0);
    }
};

QTEST_GUILESS_MAIN(TestJetReader)
#include "tst_jetreader.moc"
