// Syncs of a file with thousands of orders: the first sends them all, read in one pass over the
// file, each with the fingerprint of its own lines; a later sync of one new order reads only that
// order, in the file and on the server.

#include "SyncKit.h"
#include "data/Schema.h"
#include "sync/OrderLines.h"

#include <QTest>

#include <sqlite3.h>

#include <map>

using synckit::Machine;

namespace {

constexpr int kOrders = 3000;

QString failure(const Result<agencysync::Report>& r) {
    return r ? QString() : r.error().text;
}

// Blocks of the server's order tables and of their keys read so far, every backend's counted.
std::int64_t serverBlocks(pg::Connection& admin) {
    const QStringList n = pgkit::rows(
        admin, "SELECT coalesce(sum(coalesce(heap_blks_hit, 0) + coalesce(heap_blks_read, 0) +"
               " coalesce(idx_blks_hit, 0) + coalesce(idx_blks_read, 0)), 0)"
               " FROM pg_statio_user_tables WHERE relname IN ('ordine', 'ordine_riga')");
    return n.value(0).toLongLong();
}

// One sync as the program runs it, counting the pages of the file it asked for; its counts on
// the server are in the server's statistics when it returns.
Result<agencysync::Report> countedSync(const Machine& m, int& pages) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(m.dir.dbPath(), schema::password(), o);
    if (!db)
        return db.error();
    auto server = pg::Connection::open(m.settings);
    if (!server)
        return server.error();
    int hits = 0, misses = 0, high = 0;
    sqlite3_db_status((*db)->handle(), SQLITE_DBSTATUS_CACHE_HIT, &hits, &high, 1);
    sqlite3_db_status((*db)->handle(), SQLITE_DBSTATUS_CACHE_MISS, &misses, &high, 1);
    auto r = agencysync::run(**db, **server);
    sqlite3_db_status((*db)->handle(), SQLITE_DBSTATUS_CACHE_HIT, &hits, &high, 0);
    sqlite3_db_status((*db)->handle(), SQLITE_DBSTATUS_CACHE_MISS, &misses, &high, 0);
    pages = hits + misses;
    // Handed to the shared statistics before the answer to this statement.
    if (Status s = (*server)->command("SELECT pg_stat_force_next_flush()"); !s)
        return s.error();
    return r;
}

} // namespace

class TestSyncScale : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void manyOrdersThenOne() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        {
            auto file = anna.dir.open();
            synckit::addOrders(*file, 1, kOrders, 4);
            // A line added later to the first order, after all the others: its lines are not
            // together in the file. Its note holds bytes that are not UTF-8.
            exec(*file, "INSERT INTO ORDINE (ANNO, NR, ARTICOLO, CODICE, QVENDITA, NOTE) VALUES"
                        " ('2026', '1', 'Aggiunto\\dopo', 'C9', 2.5, CAST(X'41FF42' AS TEXT));");
        }
        auto first = synckit::sync(anna);
        QVERIFY2(first, qPrintable(failure(first)));
        QCOMPARE(first->ordersSent, kOrders);
        QCOMPARE(synckit::disagreement(anna), QString());

        // Each order's fingerprint, in the file and on the server, is that of its lines.
        {
            auto file = anna.dir.open();
            std::map<std::pair<QString, QString>, std::vector<orderlines::Line>> lines;
            auto st = file->prepare("SELECT ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR,"
                                    " ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO,"
                                    " SCONTO, NOTE FROM ORDINE ORDER BY ID;");
            QVERIFY(st);
            while (st->next())
                lines[{st->text(0), st->text(1)}].push_back(orderlines::fromStatement(*st, 2));
            QStringList expected;
            for (const auto& [key, l] : lines)
                expected << key.first + QLatin1Char('|') + key.second + QLatin1Char('|') +
                                QString::fromLatin1(orderlines::fingerprint(l));
            expected.sort();
            QStringList local;
            auto marks = file->prepare("SELECT ANNO, NR, IMPRONTA FROM SYNC_ORDINE;");
            QVERIFY(marks);
            while (marks->next())
                local << marks->text(0) + QLatin1Char('|') + marks->text(1) + QLatin1Char('|') +
                             marks->text(2);
            local.sort();
            QCOMPARE(local, expected);
            auto server = pgkit::connect(anna.settings);
            QStringList remote = pgkit::rows(*server, "SELECT anno, nr, impronta FROM ordine");
            remote.sort();
            QCOMPARE(remote, expected);
        }

        // One new order: the file's pages and the server's blocks read stay few, whatever
        // the number of orders before it.
        synckit::addOrder(*anna.dir.open(), kOrders + 1, 1);
        auto admin = pgkit::connect(pgkit::admin(db));
        const std::int64_t before = serverBlocks(*admin);
        int pages = 0;
        auto one = countedSync(anna, pages);
        QVERIFY2(one, qPrintable(failure(one)));
        QCOMPARE(one->ordersSent, 1);
        const std::int64_t blocks = serverBlocks(*admin) - before;
        QVERIFY2(pages < 400 && blocks < 80,
                 qPrintable(QStringLiteral("%1 pagine, %2 blocchi").arg(pages).arg(blocks)));
        QCOMPARE(synckit::disagreement(anna), QString());

        // Another machine of the agent, once it holds every order, takes the next new one
        // looking up only that order's lines.
        Machine desk(anna.settings);
        auto all = synckit::sync(desk);
        QVERIFY2(all, qPrintable(failure(all)));
        QCOMPARE(all->ordersReceived, kOrders + 1);
        synckit::addOrder(*anna.dir.open(), kOrders + 2, 3);
        QVERIFY(synckit::sync(anna));
        const std::int64_t beforeDesk = serverBlocks(*admin);
        auto taken = countedSync(desk, pages);
        QVERIFY2(taken, qPrintable(failure(taken)));
        QCOMPARE(taken->ordersReceived, 1);
        const std::int64_t deskBlocks = serverBlocks(*admin) - beforeDesk;
        QVERIFY2(deskBlocks < 80, qPrintable(QStringLiteral("%1 blocchi").arg(deskBlocks)));
        QCOMPARE(synckit::disagreement(desk), QString());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TestSyncScale t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_syncscale.moc"
