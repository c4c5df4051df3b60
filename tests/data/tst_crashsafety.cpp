// Nothing stored is lost or half-written when the program dies: a writer process stores order
// lines in a loop through the real data layer and is killed with SIGKILL at random moments;
// after each kill the file opens, is sound, holds every line whose store returned, and no line
// is half there.

#include "data/Database.h"
#include "data/Schema.h"
#include "orders/OrderStore.h"
#include "tools/makedb/MakeDb.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <map>

namespace {

// The line stored as the n-th of the writer: every column follows from n, so a row that is
// there at all can be checked whole.
orderstore::Line lineFor(int n) {
    orderstore::Line l;
    l.article = QStringLiteral("ARTICOLO D'ESEMPIO %1").arg(n);
    l.code = QStringLiteral("C%1").arg(n);
    l.format = QStringLiteral("CARTONE %1 X 1 KG").arg(n % 12 + 1);
    l.weight = 0.5 * (n % 40 + 1);
    l.sold = double(n % 17 + 1);
    l.free = double(n % 3);
    l.price = (n % 2000) / 100.0 + 1;
    l.discount = double(n % 11);
    l.notes = QStringLiteral("RIGA %1\nSECONDA RIGA DELLA NOTA").arg(n);
    return l;
}

orderstore::Header headerFor(int n) {
    orderstore::Header h;
    h.year = QStringLiteral("2026");
    h.number = QString::number(n / 10 + 1);
    h.customerCode = QStringLiteral("10001");
    h.orderDate = QStringLiteral("2026-12-08");
    if (n % 2)
        h.deliveryDate = QStringLiteral("2026-12-20");
    h.destination = QStringLiteral("MAGAZZINO %1").arg(n);
    h.town = QStringLiteral("CANTÙ");
    h.province = QStringLiteral("CO");
    return h;
}

// The writer: stores lines from `first` on and reports each stored one as "n id".
int writer(const QString& path, int first) {
    auto db = Database::open(path, schema::password());
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(db.error().text));
        return 1;
    }
    for (int n = first;; ++n) {
        std::int64_t id = 0;
        auto stored = orderstore::insertLine(**db, headerFor(n), lineFor(n), &id);
        if (!stored || *stored) {
            std::fprintf(stderr, "%s\n", qPrintable(stored ? **stored : stored.error().text));
            return 1;
        }
        std::printf("%d %lld\n", n, static_cast<long long>(id));
        std::fflush(stdout);
    }
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void survivesKillsWhileStoring() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
        QVERIFY(makedb::makeSupplied(path, 2026, makedb::Agent{}));
        const int kills = qEnvironmentVariableIntValue("GESTIONE_KILLS") > 0
                              ? qEnvironmentVariableIntValue("GESTIONE_KILLS")
                              : 25;
        std::map<int, long long> stored; // n -> ID, for every store that returned
        int next = 0;
        for (int k = 0; k < kills; ++k) {
            QProcess p;
            p.setProgram(QCoreApplication::applicationFilePath());
            p.setArguments({QStringLiteral("--writer"), path, QString::number(next)});
            p.start();
            QVERIFY(p.waitForStarted());
            // One round in four kills at any moment from the start, opening the file included;
            // the others once the writer is storing, however slow the build is to start.
            if (k % 4 != 0)
                p.waitForReadyRead(20000);
            QTest::qWait(int(QRandomGenerator::global()->bounded(0, 300)));
            p.kill(); // SIGKILL
            QVERIFY(p.waitForFinished());
            const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
            for (const QByteArray& l : lines) {
                const QList<QByteArray> f = l.split(' ');
                if (f.size() == 2 && l.endsWith(f[1]) && !f[1].isEmpty())
                    stored[f[0].toInt()] = f[1].toLongLong();
            }
            const QByteArray err = p.readAllStandardError();
            QVERIFY2(err.isEmpty(), err.constData());

            auto db = Database::open(path, schema::password());
            QVERIFY2(db, qPrintable(db ? QString() : db.error().text));
            auto check = (*db)->prepare("PRAGMA integrity_check;");
            QVERIFY(check && check->next());
            QCOMPARE(check->text(0), QStringLiteral("ok"));

            // Every row is whole, and every reported store is there.
            auto all = (*db)->prepare(
                "SELECT ID, ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, "
                "NOTE, ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR FROM ORDINE ORDER BY ID;");
            QVERIFY(all);
            std::map<long long, int> present;
            int highest = -1;
            while (all->next()) {
                const QString article = all->text(1);
                const int n = article.section(QLatin1Char(' '), -1).toInt();
                const orderstore::Line l = lineFor(n);
                const orderstore::Header h = headerFor(n);
                QCOMPARE(article, l.article);
                QCOMPARE(all->text(2), l.code);
                QCOMPARE(all->text(3), l.format);
                QCOMPARE(all->real(4), *l.weight);
                QCOMPARE(all->real(5), *l.sold);
                QCOMPARE(all->real(6), *l.free);
                QCOMPARE(all->real(7), *l.price);
                QCOMPARE(all->real(8), *l.discount);
                QCOMPARE(all->text(9), l.notes);
                QCOMPARE(all->text(10), h.year);
                QCOMPARE(all->text(11), h.number);
                QCOMPARE(all->text(12), h.customerCode);
                QCOMPARE(all->text(13), h.orderDate);
                QCOMPARE(all->isNull(14), !h.deliveryDate.has_value());
                QCOMPARE(all->text(15), h.destination);
                QCOMPARE(all->text(16), h.town);
                QCOMPARE(all->text(17), h.province);
                present[all->int64(0)] = n;
                highest = std::max(highest, n);
            }
            QVERIFY(all->status());
            for (const auto& [n, id] : stored) {
                auto it = present.find(id);
                QVERIFY2(it != present.end() && it->second == n,
                         qPrintable(QStringLiteral("line %1 (ID %2) lost").arg(n).arg(id)));
            }
            next = highest + 1;
        }
        qInfo("%d kills survived, %zu lines stored and found", kills, stored.size());
        QVERIFY(stored.size() >= size_t(kills / 2));
    }
};

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "--writer") {
        QCoreApplication app(argc, argv);
        return writer(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    }
    QCoreApplication app(argc, argv);
    TestCrashSafety t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_crashsafety.moc"
