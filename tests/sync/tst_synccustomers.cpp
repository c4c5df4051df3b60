// Customers through the agency's server, on the real server the fixture started: two agents and
// the office, each customer reaching whom it should; a change to an office customer going up as
// a request the office accepts with its tool; what an agent's login may not do. After each sync
// the file and the server agree row by row.

#include "CutProxy.h"
#include "SyncKit.h"
#include "masterdata/OfficeCustomer.h"

#include <QProcess>
#include <QTest>

#include <thread>

using synckit::Machine;

namespace {

QString failure(const Result<agencysync::Report>& r) {
    return r ? QString() : r.error().text;
}

using pgkit::Run;

// The office's tool on the test's database.
Run sede(const QString& database, const QStringList& args) {
    return pgkit::sede(QStringList{QStringLiteral("--database"), database} + args);
}

// A machine whose file holds only the given customers (code, name), in Milan.
void onlyCustomers(const Machine& m, const QStringList& customers) {
    auto file = m.dir.open();
    exec(*file, "DELETE FROM CLIENTE;");
    auto st = file->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA)"
                            " VALUES (?1, ?2, 'MILANO', 'MI');");
    for (const QString& c : customers) {
        st->reset();
        QVERIFY(st->bind(1, c.section(QLatin1Char('='), 0, 0))
                    .bind(2, c.section(QLatin1Char('='), 1))
                    .run());
    }
}

QStringList serverCustomers(const QString& database) {
    auto admin = pgkit::connect(pgkit::admin(database));
    return pgkit::rows(*admin, "SELECT proprietario, codice, soggetto, versione, cancellato"
                               " FROM cliente ORDER BY proprietario, codice");
}

// The office's customers loaded with its tool from a file of the program.
void officeCustomers(const QString& database, const QStringList& customers) {
    TestDir office;
    {
        auto file = office.open();
        exec(*file, "DELETE FROM CLIENTE;");
        auto st = file->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA)"
                                " VALUES (?1, ?2, 'ROMA', 'RM');");
        for (const QString& c : customers) {
            st->reset();
            QVERIFY(st->bind(1, c.section(QLatin1Char('='), 0, 0))
                        .bind(2, c.section(QLatin1Char('='), 1))
                        .run());
        }
    }
    Run load = sede(database, {QStringLiteral("clienti"), office.dbPath()});
    QCOMPARE(load.err, QString());
    QCOMPARE(load.out, QStringLiteral("Clienti della sede caricati: %1 nuovi, 0 aggiornati.")
                           .arg(customers.size()));
}

} // namespace

class TestSyncCustomers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The office's customers reach both agents read-only; each agent's own reach the server
    // and never the other agent; changes, a new code and a deletion go up once.
    void customersReachWhomTheyShould() {
        const QString db =
            synckit::agencyWithCatalogue({QStringLiteral("Anna"), QStringLiteral("Bruno")});
        officeCustomers(db, {"S1=SEDE UNO", "S2=SEDE DUE"});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        Machine bruno(pgkit::agent(db, QStringLiteral("Bruno")));
        // Anna's file has the office's S2 under another name: the office's wins.
        onlyCustomers(anna, {"A1=ANNA UNO", "S2=DUE DI ANNA"});
        // A name with the copy format's own characters travels as it is.
        onlyCustomers(bruno, {"B1=BRUNO UNO", "B2=TAB\tE \\N\nA CAPO 'Q\" 100%"});
        for (Machine* m : {&anna, &bruno}) {
            auto r = synckit::sync(*m);
            QVERIFY2(r, qPrintable(failure(r)));
            QCOMPARE(r->customersReceived, 2);
            QCOMPARE(synckit::customerDisagreement(*m), QString());
        }
        QCOMPARE(serverCustomers(db), (QStringList{"|S1|SEDE UNO|1|f", "|S2|SEDE DUE|1|f",
                                                   "anna|A1|ANNA UNO|1|f", "bruno|B1|BRUNO UNO|1|f",
                                                   "bruno|B2|TAB\tE \\N\nA CAPO 'Q\" 100%|1|f"}));
        QCOMPARE(rows(*anna.dir.open(), "SELECT CODICE, SOGGETTO FROM CLIENTE ORDER BY CODICE;"),
                 (QList<QStringList>{{"A1", "ANNA UNO"}, {"S1", "SEDE UNO"}, {"S2", "SEDE DUE"}}));

        // Anna changes one, adds one, then gives the first a new code and deletes the second.
        exec(*anna.dir.open(), "UPDATE CLIENTE SET SOGGETTO = 'ANNA PRIMA' WHERE CODICE = 'A1';"
                               "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('A2', 'ANNA DUE');");
        auto second = synckit::sync(anna);
        QVERIFY2(second, qPrintable(failure(second)));
        QCOMPARE(second->customersSent, 2);
        exec(*anna.dir.open(), "UPDATE CLIENTE SET CODICE = 'A3' WHERE CODICE = 'A1';"
                               "DELETE FROM CLIENTE WHERE CODICE = 'A2';");
        QVERIFY(synckit::sync(anna));
        QCOMPARE(synckit::customerDisagreement(anna), QString());
        // The office withdraws S2 and changes S1: both agents follow.
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("UPDATE cliente SET soggetto = 'SEDE UNO SPA',"
                               " versione = versione + 1 WHERE proprietario = '' AND codice = 'S1';"
                               "UPDATE cliente SET cancellato = true, versione = versione + 1"
                               " WHERE proprietario = '' AND codice = 'S2';"));
        for (Machine* m : {&anna, &bruno}) {
            auto r = synckit::sync(*m);
            QVERIFY2(r, qPrintable(failure(r)));
            QCOMPARE(r->customersReceived, 2);
            QCOMPARE(r->customersSent, 0);
            QCOMPARE(synckit::customerDisagreement(*m), QString());
        }
        QCOMPARE(
            serverCustomers(db),
            (QStringList{"|S1|SEDE UNO SPA|2|f", "|S2|SEDE DUE|2|t", "anna|A1|ANNA PRIMA|3|t",
                         "anna|A2|ANNA DUE|2|t", "anna|A3|ANNA PRIMA|1|f", "bruno|B1|BRUNO UNO|1|f",
                         "bruno|B2|TAB\tE \\N\nA CAPO 'Q\" 100%|1|f"}));

        // A push whose end the file never heard of (a kill after the server's commit) is sent
        // again: the server counts it once.
        exec(*anna.dir.open(), "UPDATE SYNC_CLIENTE SET CAMBIATO = 1 WHERE SEDE = 0;");
        auto again = synckit::sync(anna);
        QVERIFY2(again, qPrintable(failure(again)));
        QCOMPARE(serverCustomers(db).at(5), QStringLiteral("bruno|B1|BRUNO UNO|1|f"));
        QCOMPARE(serverCustomers(db).at(4), QStringLiteral("anna|A3|ANNA PRIMA|1|f"));
        QCOMPARE(synckit::customerDisagreement(anna), QString());
    }

    // The office makes a customer of a code an agent already sent as its own: the office's wins
    // in the agent's file and the agent's copy is withdrawn from the server. When the office
    // withdraws it and the agent's orders use it, the agent keeps it as its own.
    void theOfficeTakesOverACodeAndGivesItBack() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        onlyCustomers(anna, {"X1=DI ANNA"});
        QVERIFY(synckit::sync(anna));
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("INSERT INTO cliente (proprietario, codice, soggetto, citta,"
                               " provincia) VALUES ('', 'X1', 'DELLA SEDE', 'ROMA', 'RM')"));
        auto taken = synckit::sync(anna);
        QVERIFY2(taken, qPrintable(failure(taken)));
        QCOMPARE(taken->customersReceived, 1);
        QCOMPARE(synckit::customerDisagreement(anna), QString());
        QCOMPARE(serverCustomers(db), (QStringList{"|X1|DELLA SEDE|1|f", "anna|X1|DI ANNA|2|t"}));

        exec(*anna.dir.open(), "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, CODICE, QVENDITA)"
                               " VALUES ('2026', '900', 'X1', '2026-12-08', 'C1', 1);");
        QVERIFY(admin->command("UPDATE cliente SET cancellato = true, versione = versione + 1"
                               " WHERE proprietario = '' AND codice = 'X1'"));
        QVERIFY(synckit::sync(anna));
        QCOMPARE(synckit::customerDisagreement(anna), QString());
        QCOMPARE(serverCustomers(db),
                 (QStringList{"|X1|DELLA SEDE|2|t", "anna|X1|DELLA SEDE|3|f"}));
    }

    // Two machines of one agent (one login, two files): what the agent does to its own
    // customers on one reaches the other. Each sync leaves its file agreeing with the server row
    // by row, what the pull itself leaves to go up included; a sync whose record in the file was
    // lost (killed after the server's commit) changes nothing on the server when made again.
    void theAgentsOtherMachineFollows_data() {
        QTest::addColumn<QString>("onLaptop");
        QTest::addColumn<QString>("onDesk");
        QTest::addColumn<QString>("atOffice");
        QTest::addColumn<QStringList>("customers");
        QTest::addColumn<QStringList>("server");
        const QString order = "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, CODICE, QVENDITA)"
                              " VALUES ('2026', '900', 'A2', '2026-12-08', 'C1', 1);";
        QTest::newRow("changed") << "UPDATE CLIENTE SET SOGGETTO = 'UNO SPA' WHERE CODICE = 'A1';"
                                 << ""
                                 << "" << QStringList{"agente|A1|UNO SPA", "agente|A2|DUE"}
                                 << QStringList{"anna|A1|UNO SPA|2|f", "anna|A2|DUE|1|f"};
        QTest::newRow("new") << "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('A3', 'TRE');"
                             << ""
                             << "" << QStringList{"agente|A1|UNO", "agente|A2|DUE", "agente|A3|TRE"}
                             << QStringList{"anna|A1|UNO|1|f", "anna|A2|DUE|1|f",
                                            "anna|A3|TRE|1|f"};
        QTest::newRow("new code") << "UPDATE CLIENTE SET CODICE = 'A3' WHERE CODICE = 'A1';"
                                  << ""
                                  << "" << QStringList{"agente|A2|DUE", "agente|A3|UNO"}
                                  << QStringList{"anna|A1|UNO|2|t", "anna|A2|DUE|1|f",
                                                 "anna|A3|UNO|1|f"};
        QTest::newRow("deleted") << "DELETE FROM CLIENTE WHERE CODICE = 'A2';"
                                 << ""
                                 << "" << QStringList{"agente|A1|UNO"}
                                 << QStringList{"anna|A1|UNO|1|f", "anna|A2|DUE|2|t"};
        QTest::newRow("deleted, orders on the other machine use it")
            << "DELETE FROM CLIENTE WHERE CODICE = 'A2';" << order << ""
            << QStringList{"agente|A1|UNO", "agente|A2|DUE"}
            << QStringList{"anna|A1|UNO|1|f", "anna|A2|DUE|3|f"};
        QTest::newRow("changed on both, the later push wins")
            << "UPDATE CLIENTE SET SOGGETTO = 'DAL PORTATILE' WHERE CODICE = 'A1';"
            << "UPDATE CLIENTE SET SOGGETTO = 'DALLA SCRIVANIA' WHERE CODICE = 'A1';"
            << "" << QStringList{"agente|A1|DALLA SCRIVANIA", "agente|A2|DUE"}
            << QStringList{"anna|A1|DALLA SCRIVANIA|3|f", "anna|A2|DUE|1|f"};
        QTest::newRow("deleted on one, changed on the other later")
            << "DELETE FROM CLIENTE WHERE CODICE = 'A2';"
            << "UPDATE CLIENTE SET SOGGETTO = 'DALLA SCRIVANIA' WHERE CODICE = 'A2';"
            << "" << QStringList{"agente|A1|UNO", "agente|A2|DALLA SCRIVANIA"}
            << QStringList{"anna|A1|UNO|1|f", "anna|A2|DALLA SCRIVANIA|3|f"};
        QTest::newRow("made on both with one code")
            << "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('A9', 'DAL PORTATILE');"
            << "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('A9', 'DALLA SCRIVANIA');"
            << "" << QStringList{"agente|A1|UNO", "agente|A2|DUE", "agente|A9|DALLA SCRIVANIA"}
            << QStringList{"anna|A1|UNO|1|f", "anna|A2|DUE|1|f", "anna|A9|DALLA SCRIVANIA|2|f"};
        QTest::newRow("the office takes the code")
            << ""
            << ""
            << "INSERT INTO cliente (proprietario, codice, soggetto) VALUES ('', 'A1', 'SEDE')"
            << QStringList{"sede|A1|SEDE", "agente|A2|DUE"}
            << QStringList{"|A1|SEDE|1|f", "anna|A1|UNO|2|t", "anna|A2|DUE|1|f"};
    }
    void theAgentsOtherMachineFollows() {
        QFETCH(QString, onLaptop);
        QFETCH(QString, onDesk);
        QFETCH(QString, atOffice);
        QFETCH(QStringList, customers);
        QFETCH(QStringList, server);
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
        onlyCustomers(laptop, {"A1=UNO", "A2=DUE"});
        onlyCustomers(desk, {});
        auto customersOf = [](const Machine& m) {
            QStringList out;
            for (const QStringList& r :
                 rows(*m.dir.open(), "SELECT CASE WHEN s.SEDE = 1 THEN 'sede' ELSE 'agente' END,"
                                     " c.CODICE, c.SOGGETTO FROM CLIENTE c LEFT JOIN SYNC_CLIENTE"
                                     " s ON s.ID = c.ID ORDER BY c.CODICE, s.SEDE DESC;"))
                out << r.join(QLatin1Char('|'));
            return out;
        };
        auto syncAndCompare = [](const Machine& m) {
            auto r = synckit::sync(m);
            QVERIFY2(r, qPrintable(failure(r)));
            QCOMPARE(synckit::disagreement(m), QString());
        };
        syncAndCompare(desk);
        syncAndCompare(laptop);
        // The desk's file as a program that did not take the agent's own customers left it,
        // having seen the server after the laptop's: it takes them all once.
        const QString seen =
            pgkit::rows(*pgkit::connect(pgkit::admin(db)), "SELECT pg_current_snapshot()").value(0);
        {
            auto file = desk.dir.open();
            exec(*file, "DELETE FROM SYNC_STATO WHERE CHIAVE = 'clienti.propri';");
            auto st =
                file->prepare("UPDATE SYNC_STATO SET VALORE = ?1 WHERE CHIAVE = 'istantanea';");
            QVERIFY(st->bind(1, seen).run());
        }
        syncAndCompare(desk);
        QCOMPARE(customersOf(desk), (QStringList{"agente|A1|UNO", "agente|A2|DUE"}));

        exec(*laptop.dir.open(), onLaptop.toUtf8().constData());
        exec(*desk.dir.open(), onDesk.toUtf8().constData());
        if (!atOffice.isEmpty())
            QVERIFY(pgkit::connect(pgkit::admin(db))->command(atOffice.toUtf8().constData()));
        for (const Machine* m : {&laptop, &desk, &laptop}) {
            syncAndCompare(*m);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(customersOf(laptop), customers);
        QCOMPARE(customersOf(desk), customers);
        QCOMPARE(serverCustomers(db), server);

        // The desk's last sync again, as if killed after the server's commit and before the
        // file's record.
        exec(*desk.dir.open(), "UPDATE SYNC_CLIENTE SET CAMBIATO = 1 WHERE SEDE = 0;"
                               "DELETE FROM SYNC_STATO WHERE CHIAVE = 'istantanea';");
        syncAndCompare(desk);
        QCOMPARE(customersOf(desk), customers);
        QCOMPARE(serverCustomers(db), server);
    }

    // Both machines of the agent syncing at the same moment, round after round: both change
    // every customer they share, the laptop deletes some of them, each adds one of its own. No
    // sync fails (the server once found the two pushes waiting on each other), and the files
    // end as the server.
    void bothMachinesAtOnce() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
        QStringList shared;
        for (int i = 0; i < 200; ++i)
            shared << QStringLiteral("K%1=N").arg(i);
        onlyCustomers(laptop, shared);
        onlyCustomers(desk, {});
        QVERIFY(synckit::sync(laptop));
        QVERIFY(synckit::sync(desk));
        QStringList failures;
        for (int round = 1; round <= 10; ++round) {
            for (const Machine* m : {&laptop, &desk}) {
                const QString side = m == &laptop ? QStringLiteral("L") : QStringLiteral("D");
                auto file = m->dir.open();
                if (m == &laptop && round % 2)
                    exec(*file, "DELETE FROM CLIENTE WHERE CODICE IN (SELECT CODICE FROM CLIENTE"
                                " WHERE CODICE LIKE 'K%' ORDER BY CODICE LIMIT 10);");
                auto st = file->prepare("UPDATE CLIENTE SET SOGGETTO = SOGGETTO || ?1"
                                        " WHERE CODICE LIKE 'K%';");
                QVERIFY(st->bind(1, side).run());
                auto add = file->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES (?1, ?1);");
                QVERIFY(add->bind(1, side + QString::number(round)).run());
            }
            failures << synckit::syncAtOnce(laptop, desk);
        }
        QCOMPARE(failures, QStringList());
        for (const Machine* m : {&laptop, &desk, &laptop}) {
            QVERIFY(synckit::sync(*m));
            QCOMPARE(synckit::disagreement(*m), QString());
        }
        const char* all = "SELECT CODICE, SOGGETTO FROM CLIENTE ORDER BY CODICE;";
        QCOMPARE(rows(*desk.dir.open(), all), rows(*laptop.dir.open(), all));
    }

    // A sync of the desk cut at points through its traffic (its customers going up, the
    // laptop's coming down, what goes up after the pull): the next sync completes it, and the
    // server counts each change once.
    void aCutSyncIsCompletedOnce() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        onlyCustomers(laptop, {"A1=UNO", "A2=DUE"});
        QVERIFY(synckit::sync(laptop));
        auto admin = pgkit::connect(pgkit::admin(db));
        auto version = [&](const QString& code) {
            return pgkit::rows(*admin,
                               "SELECT versione FROM cliente WHERE proprietario = 'anna'"
                               " AND codice = $1",
                               pg::Params().add(code))
                .value(0)
                .toInt();
        };
        const int port = pgkit::server().value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
        std::int64_t whole = 1 << 30;
        int failed = 0;
        for (int sixteenth : {16, 3, 6, 9, 12, 15}) {
            Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
            onlyCustomers(desk, {});
            QVERIFY(synckit::sync(desk));
            const QString round = QString::number(sixteenth);
            exec(*laptop.dir.open(), "UPDATE CLIENTE SET SOGGETTO = SOGGETTO || '+'"
                                     " WHERE CODICE = 'A2';");
            QVERIFY(synckit::sync(laptop));
            {
                auto file = desk.dir.open();
                auto st = file->prepare("UPDATE CLIENTE SET SOGGETTO = ?1 WHERE CODICE = 'A1';");
                QVERIFY(st->bind(1, QStringLiteral("SCRIVANIA ") + round).run());
                auto add = file->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES (?1, ?1);");
                QVERIFY(add->bind(1, QStringLiteral("D") + round).run());
            }
            const int before = version(QStringLiteral("A1"));
            {
                CutProxy cut(port, whole * sixteenth / 16);
                pg::Settings through = desk.settings;
                through.port = cut.port();
                auto r = synckit::sync(desk, &through);
                if (sixteenth == 16) {
                    QVERIFY2(r, qPrintable(failure(r)));
                    whole = cut.passed();
                } else if (!r) {
                    ++failed;
                }
            }
            auto done = synckit::sync(desk);
            QVERIFY2(done, qPrintable(failure(done)));
            QCOMPARE(synckit::disagreement(desk), QString());
            QCOMPARE(version(QStringLiteral("A1")), before + 1);
            QCOMPARE(version(QStringLiteral("D") + round), 1);
            QVERIFY(synckit::sync(laptop));
            QCOMPARE(synckit::disagreement(laptop), QString());
        }
        QVERIFY2(failed >= 4, qPrintable(QString::number(failed)));
    }

    // A change to an office customer goes up as a request, once; the office lists and accepts
    // it with its tool, and the change reaches both agents at their next sync.
    void anAcceptedRequestReachesTheAgents() {
        const QString db =
            synckit::agencyWithCatalogue({QStringLiteral("Anna"), QStringLiteral("Bruno")});
        officeCustomers(db, {"S1=SEDE UNO"});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        Machine bruno(pgkit::agent(db, QStringLiteral("Bruno")));
        onlyCustomers(anna, {});
        onlyCustomers(bruno, {});
        QVERIFY(synckit::sync(anna));
        QVERIFY(synckit::sync(bruno));
        {
            auto file = anna.dir.open();
            const auto id =
                value(*file, "SELECT ID FROM CLIENTE WHERE CODICE = 'S1';").toLongLong();
            auto asked =
                officecustomer::request(*file, id,
                                        {QStringLiteral("S1"), QStringLiteral("SEDE UNO SRL"),
                                         QStringLiteral("TORINO"), QStringLiteral("TO")});
            QVERIFY(asked && !*asked);
        }
        auto sent = synckit::sync(anna);
        QVERIFY2(sent, qPrintable(failure(sent)));
        QCOMPARE(sent->requestsSent, 1);
        // Sent again as a kill after the server's commit would leave it: still one request.
        exec(*anna.dir.open(), "UPDATE SYNC_RICHIESTA SET INVIATA = 0;");
        QVERIFY(synckit::sync(anna));
        QCOMPARE(value(*anna.dir.open(), "SELECT SOGGETTO FROM CLIENTE WHERE CODICE = 'S1';"),
                 QStringLiteral("SEDE UNO"));

        Run listed = sede(db, {QStringLiteral("richieste")});
        QCOMPARE(listed.err, QString());
        const QString asked = QStringLiteral("Richiesta 1 dell'agente anna del ");
        QVERIFY2(listed.out.startsWith(asked), qPrintable(listed.out));
        QVERIFY2(listed.out.endsWith(QStringLiteral(": cliente S1, ora \"SEDE UNO\", ROMA (RM); "
                                                    "chiede \"SEDE UNO SRL\", TORINO (TO).")),
                 qPrintable(listed.out));
        QCOMPARE(listed.out.count(QLatin1Char('\n')), 0);
        Run accepted = sede(db, {QStringLiteral("accetta"), QStringLiteral("1")});
        QCOMPARE(accepted.out, QStringLiteral("Richiesta 1 accettata: gli agenti avranno il "
                                              "cliente cambiato alla prossima sincronizzazione."));
        Run twice = sede(db, {QStringLiteral("accetta"), QStringLiteral("1")});
        QCOMPARE(twice.code, 1);
        QCOMPARE(twice.err,
                 QStringLiteral("La richiesta 1 è già stata accettata: non è cambiato nulla."));
        QCOMPARE(sede(db, {QStringLiteral("respingi"), QStringLiteral("7")}).err,
                 QStringLiteral("La richiesta 7 non esiste."));
        QCOMPARE(sede(db, {QStringLiteral("richieste")}).out,
                 QStringLiteral("Nessuna richiesta in attesa."));

        for (Machine* m : {&anna, &bruno}) {
            auto r = synckit::sync(*m);
            QVERIFY2(r, qPrintable(failure(r)));
            QCOMPARE(r->customersReceived, 1);
            QCOMPARE(rows(*m->dir.open(),
                          "SELECT SOGGETTO, CITTA, PROVINCIA FROM CLIENTE WHERE CODICE = 'S1';"),
                     (QList<QStringList>{{"SEDE UNO SRL", "TORINO", "TO"}}));
            QCOMPARE(synckit::customerDisagreement(*m), QString());
        }
        QCOMPARE(value(*anna.dir.open(), "SELECT STATO FROM SYNC_RICHIESTA;"),
                 QStringLiteral("accettata"));
    }

    // What an agent's login may not do with customers and requests: the server refuses it, or
    // finds no row to touch, and changes nothing.
    void anAgentsLoginIsKeptToItsOwn_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("read another agent's") << "SELECT codice FROM cliente WHERE proprietario"
                                                 " <> '' AND proprietario <> current_user"
                                              << "";
        QTest::newRow("change an office customer")
            << "UPDATE cliente SET soggetto = 'MIO' WHERE codice = 'S1' RETURNING codice"
            << "";
        QTest::newRow("change another agent's")
            << "UPDATE cliente SET soggetto = 'MIO' WHERE codice = 'B1' RETURNING codice"
            << "";
        QTest::newRow("write as the office")
            << "INSERT INTO cliente (proprietario, codice, soggetto) VALUES ('', 'S1', 'MIO')"
               " ON CONFLICT (proprietario, codice) DO UPDATE SET soggetto = 'MIO'"
            << "row-level security";
        QTest::newRow("write as another agent")
            << "INSERT INTO cliente (proprietario, codice) VALUES ('bruno', 'B9')"
            << "row-level security";
        QTest::newRow("take over an office customer")
            << "UPDATE cliente SET proprietario = '' WHERE codice = 'A1'"
            << "row-level security";
        QTest::newRow("delete") << "DELETE FROM cliente"
                                << "permission denied";
        QTest::newRow("accept a request") << "UPDATE richiesta_cliente SET stato = 'accettata'"
                                          << "permission denied";
        QTest::newRow("send a request accepted")
            << "INSERT INTO richiesta_cliente (chiave, codice, soggetto, stato)"
               " VALUES ('k', 'S1', 'MIO', 'accettata')"
            << "row-level security";
        QTest::newRow("read another agent's requests")
            << "SELECT chiave FROM richiesta_cliente WHERE agente <> current_user"
            << "";
    }
    void anAgentsLoginIsKeptToItsOwn() {
        QFETCH(QString, sql);
        QFETCH(QString, outcome);
        static QString db;
        if (db.isEmpty()) {
            db = synckit::agencyWithCatalogue({QStringLiteral("Anna"), QStringLiteral("Bruno")});
            officeCustomers(db, {"S1=SEDE UNO"});
            auto bruno = pgkit::connect(pgkit::agent(db, QStringLiteral("Bruno")));
            QVERIFY(bruno->command("INSERT INTO cliente (codice, soggetto) VALUES ('B1', 'B');"
                                   "INSERT INTO richiesta_cliente (chiave, codice, soggetto)"
                                   " VALUES ('b', 'S1', 'DI BRUNO')"));
            auto anna = pgkit::connect(pgkit::agent(db, QStringLiteral("Anna")));
            QVERIFY(anna->command("INSERT INTO cliente (codice, soggetto) VALUES ('A1', 'A')"));
        }
        const QStringList before = serverCustomers(db);
        auto anna = pgkit::connect(pgkit::agent(db, QStringLiteral("Anna")));
        const QByteArray text = sql.toUtf8();
        auto r = anna->query(text.constData(), pg::Shape::any());
        if (outcome.isEmpty()) {
            QVERIFY2(r, qPrintable(r ? QString() : r.error().text));
            QCOMPARE(r->count(), 0);
        } else {
            QVERIFY(!r);
            QVERIFY2(r.error().text.contains(outcome), qPrintable(r.error().text));
        }
        QCOMPARE(serverCustomers(db), before);
        // Anna sees the office's customers and her own.
        QCOMPARE(pgkit::rows(*anna, "SELECT proprietario, codice FROM cliente ORDER BY 1, 2"),
                 (QStringList{"|S1", "anna|A1"}));
    }
};

QTEST_MAIN(TestSyncCustomers)
#include "tst_synccustomers.moc"
