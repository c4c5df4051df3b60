// Synchronisation of agents' files with the agency's server, on the real server the fixture
// started: orders up, catalogue down, two machines of one agent, two agents at once, and syncs
// cut by a kill, a stopped server or a lost network. After each, file and server agree row by
// row.

#include "CutProxy.h"
#include "SyncKit.h"
#include "data/Schema.h"
#include "pricelists/PriceListStore.h"
#include "sync/CatalogueLoad.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <thread>

using synckit::Machine;

namespace {

QString failure(const Result<agencysync::Report>& r) {
    return r ? QString() : r.error().text;
}

// The child's part of the kill loop: one sync of the file named in the environment.
int childSync() {
    pg::Settings s = pgkit::admin(qEnvironmentVariable("GESTIONE_SYNC_DB"));
    const QString name = qEnvironmentVariable("GESTIONE_SYNC_USER");
    s.user = name.toLower();
    s.password = name + name;
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(qEnvironmentVariable("GESTIONE_SYNC_FILE"), schema::password(), o);
    if (!db)
        return 3;
    auto server = pg::Connection::open(s);
    if (!server)
        return 4;
    return agencysync::run(**db, **server) ? 0 : 5;
}

// The office's own file: the demo catalogue, one article per code, and a list of the principal
// "Oleificio" giving every article a price from 1 January 2026.
void officeWithList(TestDir& office) {
    auto file = office.open();
    exec(*file, "DELETE FROM ARTICOLO WHERE CODICE IS NULL OR trim(CODICE) = '' OR ID <> (SELECT"
                " max(ID) FROM ARTICOLO b WHERE b.CODICE = ARTICOLO.CODICE);"
                "INSERT INTO MANDANTE (NOME) VALUES ('Oleificio');"
                "INSERT INTO LISTINO (ID_MANDANTE, FILE, VALIDO_DAL, IMPORTATO_IL) VALUES ((SELECT"
                " ID FROM MANDANTE WHERE NOME = 'Oleificio'), 'olio.xlsx', '2026-01-01',"
                " '2026-01-02T09:00:00');"
                "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL, ID_LISTINO)"
                " SELECT CODICE, (SELECT ID FROM MANDANTE WHERE NOME = 'Oleificio'), 1.25 + ID,"
                " '2026-01-01', (SELECT max(ID) FROM LISTINO) FROM ARTICOLO;");
}

QString loadOffice(TestDir& office, const QString& database) {
    auto admin = pgkit::connect(pgkit::admin(database));
    auto c = catalogueload::load(*office.open(), *admin);
    return c ? QString() : c.error().text;
}

// The list price the order line would propose for the code on 8 December 2026.
QString proposed(const Machine& m, const QString& code) {
    auto p = pricelists::listPriceOn(*m.dir.open(), code, QDate(2026, 12, 8));
    if (!p || !*p)
        return {};
    return QStringLiteral("%1 %2").arg((*p)->price).arg((*p)->principal);
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void ordersUpCatalogueDown() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        {
            auto file = anna.dir.open();
            synckit::addOrder(*file, 1, 3, QStringLiteral("prima"));
            synckit::addOrder(*file, 2, 2);
        }
        auto first = synckit::sync(anna);
        QVERIFY2(first, qPrintable(failure(first)));
        QCOMPARE(first->ordersSent, 2);
        QVERIFY(first->articlesReceived > 0);
        QCOMPARE(synckit::disagreement(anna), QString());

        // A changed line, a deleted order, a new one.
        {
            auto file = anna.dir.open();
            exec(*file, "UPDATE ORDINE SET QVENDITA = 7 WHERE NR = '1' AND CODICE = 'C1';");
            exec(*file, "DELETE FROM ORDINE WHERE NR = '2';");
            synckit::addOrder(*file, 3, 1);
            QCOMPARE(agencysync::pendingOrders(*file).value(), 3);
        }
        auto second = synckit::sync(anna);
        QVERIFY2(second, qPrintable(failure(second)));
        QCOMPARE(second->ordersSent, 3);
        QCOMPARE(second->articlesReceived, 0);
        QCOMPARE(synckit::disagreement(anna), QString());
        auto server = pgkit::connect(anna.settings);
        QCOMPARE(pgkit::rows(*server, "SELECT nr, versione, cancellato FROM ordine ORDER BY nr"),
                 (QStringList{"1|2|f", "2|2|t", "3|1|f"}));

        // The office changes the catalogue: the next sync takes exactly that.
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("UPDATE articolo SET articolo = 'Nuovo nome' WHERE codice ="
                               " (SELECT min(codice) FROM articolo);"
                               "UPDATE articolo SET cancellato = true WHERE codice ="
                               " (SELECT max(codice) FROM articolo);"
                               "INSERT INTO articolo (codice, articolo, peso)"
                               " VALUES ('ZZ-NUOVO', 'Articolo nuovo', 1.25);"));
        auto third = synckit::sync(anna);
        QVERIFY2(third, qPrintable(failure(third)));
        QCOMPARE(third->articlesReceived, 3);
        QCOMPARE(third->ordersSent, 0);
        QCOMPARE(synckit::disagreement(anna), QString());
        QVERIFY(!agencysync::lastSync(*anna.dir.open()).isEmpty());
    }

    // One agent, two machines: each takes the other's orders; the same order changed on both
    // keeps the change that reached the server first, the other is saved as a copy and reported.
    // A deletion that reached it first takes the order away on the other machine too.
    void twoMachinesOfOneAgent() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
        exec(*laptop.dir.open(), "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('macchina',"
                                 " 'portatile');");
        synckit::addOrder(*laptop.dir.open(), 10, 2);
        QVERIFY(synckit::sync(laptop));
        auto taken = synckit::sync(desk);
        QVERIFY2(taken, qPrintable(failure(taken)));
        QCOMPARE(taken->ordersReceived, 1);
        QCOMPARE(synckit::disagreement(desk), QString());

        exec(*desk.dir.open(), "UPDATE ORDINE SET NOTE = 'dalla scrivania' WHERE NR = '10';");
        exec(*laptop.dir.open(), "UPDATE ORDINE SET NOTE = 'dal portatile' WHERE NR = '10';");
        auto up = synckit::sync(laptop);
        QVERIFY(up && up->conflicts.isEmpty());
        auto second = synckit::sync(desk);
        QVERIFY2(second, qPrintable(failure(second)));
        QCOMPARE(second->conflicts,
                 QStringList{QStringLiteral(
                     "L'ordine 10 dell'anno 2026 era stato cambiato anche sul computer "
                     "\"portatile\", che ha inviato per primo la sua versione: è stata tenuta "
                     "quella; quella di questo computer è salvata come copia sul server.")});
        QCOMPARE(value(*desk.dir.open(), "SELECT DISTINCT NOTE FROM ORDINE WHERE NR = '10';"),
                 QStringLiteral("dal portatile"));
        QVERIFY(synckit::sync(laptop));
        QCOMPARE(synckit::disagreement(laptop), QString());
        QCOMPARE(synckit::disagreement(desk), QString());
        auto server = pgkit::connect(laptop.settings);
        QVERIFY(pgkit::rows(*server, "SELECT righe FROM ordine_copia")
                    .value(0)
                    .contains(QStringLiteral("dalla scrivania")));

        exec(*laptop.dir.open(), "DELETE FROM ORDINE WHERE NR = '10';");
        exec(*desk.dir.open(), "UPDATE ORDINE SET NOTE = 'ancora' WHERE NR = '10';");
        QVERIFY(synckit::sync(laptop));
        auto lost = synckit::sync(desk);
        QVERIFY2(lost, qPrintable(failure(lost)));
        QCOMPARE(lost->conflicts,
                 QStringList{QStringLiteral(
                     "L'ordine 10 dell'anno 2026 era stato cancellato sul computer \"portatile\", "
                     "che ha inviato per primo la cancellazione: l'ordine è stato tolto anche "
                     "qui; la versione di questo computer è salvata come copia sul server.")});
        QCOMPARE(value(*desk.dir.open(), "SELECT count(*) FROM ORDINE WHERE NR = '10';"),
                 QStringLiteral("0"));
        QCOMPARE(synckit::disagreement(desk), QString());
        QCOMPARE(pgkit::rows(*server, "SELECT count(*) FROM ordine_copia"), QStringList{"2"});
    }

    // Both machines of one agent sync at once, having changed the same orders: each sync
    // succeeds, the change of each order that reached the server first is kept, and all three
    // sides agree.
    void bothMachinesAtOnce() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
        synckit::addOrders(*laptop.dir.open(), 1, 200, 2);
        QVERIFY(synckit::sync(laptop));
        QVERIFY(synckit::sync(desk));
        QStringList failures;
        for (int round = 1; round <= 8; ++round) {
            for (Machine* m : {&laptop, &desk}) {
                auto file = m->dir.open();
                if (m == &laptop && round % 2)
                    exec(*file, "DELETE FROM ORDINE WHERE NR IN (SELECT DISTINCT NR FROM ORDINE"
                                " ORDER BY CAST(NR AS INTEGER) LIMIT 5);");
                auto st = file->prepare("UPDATE ORDINE SET NOTE = coalesce(NOTE, '') || ?1;");
                QVERIFY(st->bind(1, m == &laptop ? "L" : "D").run());
            }
            failures << synckit::syncAtOnce(laptop, desk);
        }
        QCOMPARE(failures, QStringList());
        for (const Machine* m : {&laptop, &desk, &laptop}) {
            QVERIFY(synckit::sync(*m));
            QCOMPARE(synckit::disagreement(*m), QString());
        }
        const char* all = "SELECT ANNO, NR, NOTE FROM ORDINE ORDER BY ANNO, NR, ID;";
        QCOMPARE(rows(*desk.dir.open(), all), rows(*laptop.dir.open(), all));
    }

    // The office's lists reach every agent once; a change and a withdrawal at the office follow;
    // the agent's own lists stay as they are.
    void priceListsReachEveryAgent() {
        const QString db =
            synckit::agencyWithCatalogue({QStringLiteral("Anna"), QStringLiteral("Bruno")});
        TestDir office(TestDir::Content::Demo);
        officeWithList(office);
        QCOMPARE(loadOffice(office, db), QString());
        const QString code = value(*office.open(), "SELECT min(CODICE) FROM PREZZO_LISTINO;");
        const QByteArray ofCode = " WHERE CODICE = '" + code.toUtf8() + "';";
        const double price =
            value(*office.open(), ("SELECT PREZZO FROM PREZZO_LISTINO" + ofCode).constData())
                .toDouble();
        const int count = value(*office.open(), "SELECT count(*) FROM PREZZO_LISTINO;").toInt();
        QVERIFY(count > 2);

        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        Machine bruno(pgkit::agent(db, QStringLiteral("Bruno")));
        // Two lists of Anna's own.
        exec(*anna.dir.open(), "INSERT INTO MANDANTE (NOME) VALUES ('Propria');");
        for (const char* own : {"PROPRIO", "ALTRO"})
            exec(*anna.dir.open(),
                 QByteArray("INSERT INTO LISTINO (ID_MANDANTE, VALIDO_DAL) VALUES ((SELECT ID"
                            " FROM MANDANTE WHERE NOME = 'Propria'), '2026-01-01');"
                            "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL,"
                            " ID_LISTINO) VALUES ('%1', (SELECT ID FROM MANDANTE WHERE NOME ="
                            " 'Propria'), 9, '2026-01-01', (SELECT max(ID) FROM LISTINO));")
                     .replace("%1", own)
                     .constData());
        for (Machine* m : {&anna, &bruno}) {
            auto r = synckit::sync(*m);
            QVERIFY2(r, qPrintable(failure(r)));
            QCOMPARE(r->pricesReceived, count);
            QCOMPARE(synckit::disagreement(*m), QString());
            QCOMPARE(proposed(*m, code), QStringLiteral("%1 Oleificio").arg(price));
        }
        auto again = synckit::sync(anna);
        QVERIFY2(again, qPrintable(failure(again)));
        QCOMPARE(again->pricesReceived, 0);
        QCOMPARE(value(*anna.dir.open(), "SELECT count(*) FROM PREZZO_LISTINO;").toInt(),
                 count + 2);
        // Undoing the last list takes back Anna's own, never the office's.
        auto undone = pricelists::undoLast(*anna.dir.open());
        QVERIFY2(undone, qPrintable(undone ? QString() : undone.error().text));
        QCOMPARE(undone->prices, 1);
        QCOMPARE(synckit::disagreement(anna), QString());

        exec(*office.open(), ("UPDATE PREZZO_LISTINO SET PREZZO = 99.5" + ofCode).constData());
        QCOMPARE(loadOffice(office, db), QString());
        auto changed = synckit::sync(anna);
        QVERIFY2(changed, qPrintable(failure(changed)));
        QCOMPARE(changed->pricesReceived, 1);
        QCOMPARE(proposed(anna, code), QStringLiteral("99.5 Oleificio"));

        // The office takes its list back.
        QVERIFY(pricelists::undoLast(*office.open()));
        QCOMPARE(loadOffice(office, db), QString());
        for (Machine* m : {&anna, &bruno}) {
            auto r = synckit::sync(*m);
            QVERIFY2(r, qPrintable(failure(r)));
            QCOMPARE(synckit::disagreement(*m), QString());
            QCOMPARE(proposed(*m, code), QString());
        }
        QCOMPARE(rows(*anna.dir.open(), "SELECT m.NOME, p.CODICE FROM PREZZO_LISTINO p JOIN"
                                        " LISTINO l ON l.ID = p.ID_LISTINO JOIN MANDANTE m"
                                        " ON m.ID = l.ID_MANDANTE;"),
                 (QList<QStringList>{{"Propria", "PROPRIO"}}));
        QCOMPARE(value(*bruno.dir.open(), "SELECT count(*) FROM LISTINO;"), QStringLiteral("0"));
    }

    // A principal's address for orders that the office's file does not hold never blanks the
    // agent's, on the server or in the agent's file; the office sets it with its tool, and the
    // agents take it at their next sync.
    void aPrincipalsOrderAddress() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        TestDir office(TestDir::Content::Demo);
        exec(*office.open(), "INSERT INTO MANDANTE (NOME, EMAIL) VALUES ('Oleificio', NULL),"
                             " ('Cantina', '');");
        QCOMPARE(loadOffice(office, db), QString());
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        exec(*anna.dir.open(), "INSERT INTO MANDANTE (NOME, EMAIL) VALUES"
                               " ('Oleificio', 'ordini@oleificio.it'),"
                               " ('Cantina', 'vino@cantina.it');");
        const char* addresses = "SELECT NOME, EMAIL FROM MANDANTE ORDER BY NOME;";
        QVERIFY(synckit::sync(anna));
        QCOMPARE(rows(*anna.dir.open(), addresses),
                 (QList<QStringList>{{"Cantina", "vino@cantina.it"},
                                     {"Oleificio", "ordini@oleificio.it"}}));

        const QStringList on{QStringLiteral("--database"), db, QStringLiteral("mandante")};
        const pgkit::Run bad = pgkit::sede(on + QStringList{"Oleificio", "ordini.oleificio.it"});
        QCOMPARE(bad.err, QStringLiteral("\"ordini.oleificio.it\" non è un indirizzo di posta "
                                         "valido: l'indirizzo della mandante non è cambiato."));
        QCOMPARE(bad.code, 1);
        const pgkit::Run set = pgkit::sede(on + QStringList{"oleificio", "ordini@nuovo.it"});
        QCOMPARE(set.err, QString());
        QCOMPARE(set.out, QStringLiteral("Indirizzo degli ordini della mandante \"oleificio\": "
                                         "ordini@nuovo.it. Gli agenti lo avranno alla prossima "
                                         "sincronizzazione."));
        const pgkit::Run unknown = pgkit::sede(on + QStringList{"Frantoio", "olio@frantoio.it"});
        QCOMPARE(unknown.err, QStringLiteral("La mandante \"Frantoio\" non è nel catalogo della "
                                             "sede: l'indirizzo non è stato impostato."));
        // The office's file, still without the address, loaded again: the server keeps it.
        QCOMPARE(loadOffice(office, db), QString());
        QCOMPARE(pgkit::rows(*pgkit::connect(pgkit::admin(db)),
                             "SELECT nome, coalesce(email, '') FROM mandante ORDER BY nome"),
                 (QStringList{"Cantina|", "Oleificio|ordini@nuovo.it"}));
        auto r = synckit::sync(anna);
        QVERIFY2(r, qPrintable(failure(r)));
        QCOMPARE(
            rows(*anna.dir.open(), addresses),
            (QList<QStringList>{{"Cantina", "vino@cantina.it"}, {"Oleificio", "ordini@nuovo.it"}}));
        QCOMPARE(synckit::disagreement(anna), QString());
    }

    // A first pull of the office's lists cut at points through its bytes: nothing half-taken,
    // and the next sync takes every price once.
    void pullCutThenCompleted() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        TestDir office(TestDir::Content::Demo);
        officeWithList(office);
        QCOMPARE(loadOffice(office, db), QString());
        const int port = pgkit::server().value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
        std::int64_t whole = 0;
        {
            Machine first(pgkit::agent(db, QStringLiteral("Anna")));
            CutProxy open(port, std::int64_t(1) << 40);
            pg::Settings through = first.settings;
            through.port = open.port();
            QVERIFY(synckit::sync(first, &through));
            whole = open.passed();
        }
        int failed = 0;
        for (int eighth : {2, 4, 6, 7}) {
            Machine m(pgkit::agent(db, QStringLiteral("Anna")));
            CutProxy cut(port, whole * eighth / 8);
            pg::Settings through = m.settings;
            through.port = cut.port();
            if (auto r = synckit::sync(m, &through); !r) {
                ++failed;
                QVERIFY2(r.error().text.startsWith(QStringLiteral("Il ")),
                         qPrintable(r.error().text));
                QCOMPARE(value(*m.dir.open(), "SELECT count(*) FROM PREZZO_LISTINO;"),
                         QStringLiteral("0"));
            }
            auto done = synckit::sync(m);
            QVERIFY2(done, qPrintable(failure(done)));
            QCOMPARE(synckit::disagreement(m), QString());
        }
        QVERIFY(failed >= 3);
    }

    void twoAgentsAtOnce() {
        const QString db =
            synckit::agencyWithCatalogue({QStringLiteral("Anna"), QStringLiteral("Bruno")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        Machine bruno(pgkit::agent(db, QStringLiteral("Bruno")));
        for (int round = 0; round < 4; ++round) {
            for (Machine* m : {&anna, &bruno}) {
                auto file = m->dir.open();
                synckit::addOrders(*file, round * 100 + 1, 20, 3);
                exec(*file, "UPDATE ORDINE SET SCONTO = 5 WHERE CAST(NR AS INTEGER) % 7 = 0;");
            }
            Result<agencysync::Report> a = makeError({}), b = makeError({});
            std::thread ta([&] { a = synckit::sync(anna); });
            std::thread tb([&] { b = synckit::sync(bruno); });
            ta.join();
            tb.join();
            QVERIFY2(a, qPrintable(failure(a)));
            QVERIFY2(b, qPrintable(failure(b)));
        }
        QCOMPARE(synckit::disagreement(anna), QString());
        QCOMPARE(synckit::disagreement(bruno), QString());
        // Both numbered their orders alike; on the server each keeps its own.
        auto admin = pgkit::connect(pgkit::admin(db));
        QCOMPARE(pgkit::rows(*admin, "SELECT agente, count(*) FROM ordine GROUP BY agente"
                                     " ORDER BY agente"),
                 (QStringList{"anna|80", "bruno|80"}));
    }

    // A sync killed at any point: the next one finishes it, each change applied once.
    void killedAtRandomPoints() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        auto child = [&](QProcess& p) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("GESTIONE_SYNC_DB"), db);
            env.insert(QStringLiteral("GESTIONE_SYNC_USER"), QStringLiteral("Anna"));
            env.insert(QStringLiteral("GESTIONE_SYNC_FILE"), anna.dir.dbPath());
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationFilePath(), {});
        };
        int nr = 0;
        auto addSome = [&] {
            auto file = anna.dir.open();
            synckit::addOrders(*file, nr + 1, 100, 4);
            nr += 100;
            exec(*file, "UPDATE ORDINE SET QOMAGGIO = coalesce(QOMAGGIO, 0) + 1"
                        " WHERE CAST(NR AS INTEGER) % 11 = 0;");
            exec(*file, "DELETE FROM ORDINE WHERE CAST(NR AS INTEGER) % 13 = 0;");
        };
        // How long one whole sync of a round's changes takes here, in a child.
        addSome();
        QElapsedTimer t;
        t.start();
        QProcess whole;
        child(whole);
        QVERIFY(whole.waitForFinished(60000));
        QCOMPARE(whole.exitCode(), 0);
        const int span = int(t.elapsed()) + 1;
        auto* rng = QRandomGenerator::global();
        for (int round = 0; round < 8; ++round) {
            addSome();
            QProcess p;
            child(p);
            QVERIFY(p.waitForStarted());
            QTest::qWait(int(rng->bounded(span)));
            p.kill();
            p.waitForFinished();
        }
        auto last = synckit::sync(anna);
        QVERIFY2(last, qPrintable(failure(last)));
        QCOMPARE(synckit::disagreement(anna), QString());
    }

    void serverStoppedMidSync() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        int nr = 0;
        for (int delay : {0, 60}) {
            synckit::addOrders(*anna.dir.open(), nr + 1, 300, 4);
            nr += 300;
            Result<agencysync::Report> r = makeError({});
            std::thread t([&] { r = synckit::sync(anna); });
            QThread::msleep(delay);
            pgkit::stopServer();
            t.join();
            using namespace serverfailure;
            if (!r)
                QVERIFY2(is(r.error(), Cut) || is(r.error(), Uncertain) ||
                             is(r.error(), Stopping) || is(r.error(), Unreachable),
                         qPrintable(r.error().text));
            auto refused = synckit::sync(anna);
            QVERIFY(!refused);
            QVERIFY2(refused.error().text.startsWith(
                         QStringLiteral("Il server 127.0.0.1 (porta %1) non risponde: è spento, "
                                        "non raggiungibile dalla rete o non in ascolto su quella "
                                        "porta. Dettaglio: ")
                             .arg(anna.settings.port)),
                     qPrintable(refused.error().text));
            pgkit::startServer();
            auto done = synckit::sync(anna);
            QVERIFY2(done, qPrintable(failure(done)));
            QCOMPARE(synckit::disagreement(anna), QString());
        }
    }

    // The agent writes while a sync runs: the sync reads the file in a snapshot and records
    // what went up in short transactions, so the agent's write never waits for it; what was
    // written meanwhile goes up with the next sync, once.
    void agentWritesDuringSync() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        synckit::addOrder(*anna.dir.open(), 1, 2);
        QVERIFY(synckit::sync(anna));
        auto agent = anna.dir.open();
        synckit::addOrders(*agent, 2, 40, 3);
        // The agent is writing: its transaction holds the file's write lock all along.
        exec(*agent, "BEGIN IMMEDIATE;");
        exec(*agent, "INSERT INTO ORDINE (ANNO, NR, ID_CL, ARTICOLO) VALUES ('2026', '50', '1',"
                     " 'scritto durante');");
        Result<agencysync::Report> r = makeError({});
        std::thread t([&] { r = synckit::sync(anna); });
        auto server = pgkit::connect(anna.settings);
        QTRY_COMPARE_WITH_TIMEOUT(
            pgkit::rows(*server, "SELECT count(*) FROM ordine WHERE nr = '41'"), QStringList{"1"},
            10000);
        exec(*agent, "UPDATE ORDINE SET NOTE = 'cambiato durante' WHERE NR = '41';");
        exec(*agent, "COMMIT;");
        t.join();
        QVERIFY2(r, qPrintable(failure(r)));
        QCOMPARE(r->ordersSent, 40);
        QCOMPARE(agencysync::pendingOrders(*agent).value(), 2);
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(next->ordersSent, 2);
        // The change to 41 builds on what this file itself sent: no conflict, no copy.
        QCOMPARE(next->conflicts, QStringList());
        QCOMPARE(synckit::disagreement(anna), QString());
        QCOMPARE(pgkit::rows(*server, "SELECT nr, versione FROM ordine WHERE nr IN ('41', '50')"
                                      " ORDER BY nr"),
                 (QStringList{"41|2", "50|1"}));
    }

    // The agent changes an order after the push has recorded it as sent, while the pull still
    // reads the server (held here by a lock on the catalogue): the pull finds the server as the
    // file last knew it and must leave the change pending, not mark it as sent.
    void agentWritesBetweenPushAndPull() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        auto agent = anna.dir.open();
        synckit::addOrders(*agent, 1, 3, 2);
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->begin());
        QVERIFY(admin->command("LOCK TABLE articolo IN ACCESS EXCLUSIVE MODE"));
        Result<agencysync::Report> r = makeError({});
        std::thread t([&] { r = synckit::sync(anna); });
        QTRY_COMPARE_WITH_TIMEOUT(agencysync::pendingOrders(*agent).value(), std::int64_t(0),
                                  10000);
        exec(*agent, "UPDATE ORDINE SET NOTE = 'cambiato dopo' WHERE NR = '2';");
        admin->rollback();
        t.join();
        QVERIFY2(r, qPrintable(failure(r)));
        QCOMPARE(r->ordersSent, 3);
        QCOMPARE(agencysync::pendingOrders(*agent).value(), 1);
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(next->ordersSent, 1);
        QCOMPARE(synckit::disagreement(anna), QString());
    }

    void networkCut() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        const int port = pgkit::server().value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
        int nr = 0;
        // The bytes of one whole sync through the relay, measured first.
        synckit::addOrder(*anna.dir.open(), ++nr, 4);
        std::int64_t whole = 0;
        {
            CutProxy open(port, std::int64_t(1) << 40);
            pg::Settings through = anna.settings;
            through.port = open.port();
            QVERIFY(synckit::sync(anna, &through));
            whole = open.passed();
        }
        int failed = 0;
        for (int step = 1; step <= 12; ++step) {
            {
                auto file = anna.dir.open();
                synckit::addOrders(*file, nr + 1, 5, 3);
                nr += 5;
                exec(*file,
                     "UPDATE ORDINE SET PREZZO = PREZZO + 1 WHERE CAST(NR AS INTEGER) % 3 = 0;");
            }
            CutProxy cut(port, whole * step / 12);
            pg::Settings through = anna.settings;
            through.port = cut.port();
            auto r = synckit::sync(anna, &through);
            if (!r) {
                ++failed;
                QVERIFY2(r.error().text.startsWith(QStringLiteral("Il ")),
                         qPrintable(r.error().text));
            }
        }
        QVERIFY(failed > 3);
        QVERIFY(synckit::sync(anna));
        QCOMPARE(synckit::disagreement(anna), QString());
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("GESTIONE_SYNC_FILE")) {
        QCoreApplication app(argc, argv);
        return childSync();
    }
    QApplication app(argc, argv);
    TestSync t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_sync.moc"
