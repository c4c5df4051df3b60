// The reader of the old archive on real Jet files: every column type, the files with a database
// password, and the files it must refuse without harm.

#include "JetKit.h"

#include "data/jet/JetFile.h"

#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestJetReader)
#include "tst_jetreader.moc"
