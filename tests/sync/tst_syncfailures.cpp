// Syncs against a server that does not behave: data another session holds locked, a statement
// that hangs, a network that stalls, a schema newer than the program's, answers of other
// columns, texts and rows the server refuses, machines whose clocks disagree, certificates and
// logins that are wrong. Each sync ends, says what happened in the program's words, writes
// nothing it should not; the next one completes, and file and server agree row by row.

#include "CutProxy.h"
#include "SyncKit.h"
#include "data/Schema.h"
#include "sync/ConflictCopies.h"
#include "sync/ServerSchema.h"
#include "sync/SyncSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

using synckit::Machine;

namespace {

QString failure(const Result<agencysync::Report>& r) {
    return r ? QString() : r.error().text;
}

// A sync on a thread of its own, so that the test sees whether it ends.
class Background {
public:
    explicit Background(std::function<Result<agencysync::Report>()> run)
        : m_thread([this, run] {
              m_result = run();
              m_ended = true;
          }) {}
    ~Background() { m_thread.join(); }
    // Whether it ended within the time given.
    bool ended(int ms) {
        QElapsedTimer t;
        t.start();
        while (!m_ended.load() && t.elapsed() < ms)
            QTest::qWait(20);
        return m_ended.load();
    }
    const Result<agencysync::Report>& result() const { return m_result; }

private:
    Result<agencysync::Report> m_result = makeError(QStringLiteral("non finita"));
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

QStringList agentSessions(pg::Connection& admin, const char* extra = "") {
    const QByteArray sql =
        QByteArray("SELECT count(*) FROM pg_stat_activity WHERE usename = 'anna'") + extra;
    return pgkit::rows(admin, sql.constData());
}

const QString kHost = QStringLiteral("127.0.0.1");

QString busy() {
    return serverfailure::make(serverfailure::Busy, {kHost, 0, {}, {}}).text;
}

} // namespace

class TestSyncFailures : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The office holds the orders locked in an open transaction of its own: the sync gives up
    // after the lock's time limit, or at once when it is cancelled, and rolls back what it had
    // begun; the next sync, once the office lets go, completes.
    void aLockHeldByTheOffice_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("time limit") << false;
        QTest::newRow("cancelled") << true;
    }
    void aLockHeldByTheOffice() {
        QFETCH(bool, cancel);
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        if (!cancel)
            anna.settings.lockTimeoutSeconds = 1;
        synckit::addOrders(*anna.dir.open(), 1, 3, 2);
        pg::Interrupt stop;
        std::optional<Background> sync;
        auto office = pgkit::connect(pgkit::admin(db));
        QVERIFY(office->begin());
        QVERIFY(office->command("LOCK TABLE ordine IN EXCLUSIVE MODE"));
        sync.emplace([&] { return synckit::sync(anna, nullptr, &stop); });
        // Watched from outside the office's transaction, whose view of the sessions stays put.
        auto watch = pgkit::connect(pgkit::admin(db));
        if (cancel) {
            QTRY_COMPARE_WITH_TIMEOUT(agentSessions(*watch, " AND wait_event_type = 'Lock'"),
                                      QStringList{"1"}, 10000);
            stop.raise();
        }
        const bool ended = sync->ended(cancel ? 5000 : 20000);
        if (!ended)
            office->rollback();
        QVERIFY(ended);
        const auto& r = sync->result();
        QVERIFY(!r);
        QCOMPARE(r.error().text, cancel ? QStringLiteral("Operazione annullata.")
                                        : busy() + QStringLiteral(" Dettaglio: canceling "
                                                                  "statement due to lock timeout"));
        // Nothing of it stays on the server: no session, no order.
        QTRY_COMPARE(agentSessions(*watch), QStringList{"0"});
        QCOMPARE(agencysync::pendingOrders(*anna.dir.open()).value(), 3);
        office->rollback();
        QCOMPARE(pgkit::rows(*office, "SELECT count(*) FROM ordine"), QStringList{"0"});
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(next->ordersSent, 3);
        QCOMPARE(synckit::disagreement(anna), QString());
    }

    // Syncs cancelled at random moments: each ends at once, cancelled or complete, never half
    // written; the next one completes.
    void cancelledAtRandomMoments() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        int nr = 0;
        auto addSome = [&] {
            auto file = anna.dir.open();
            synckit::addOrders(*file, nr + 1, 60, 3);
            nr += 60;
            exec(*file, "UPDATE ORDINE SET SCONTO = 2 WHERE CAST(NR AS INTEGER) % 7 = 0;");
            exec(*file, "INSERT INTO CLIENTE (CODICE, SOGGETTO) SELECT 'K' || max(ID), 'NUOVO'"
                        " FROM ORDINE;");
        };
        addSome();
        QElapsedTimer t;
        t.start();
        QVERIFY(synckit::sync(anna));
        const int span = int(t.elapsed()) + 1;
        int cancelled = 0;
        for (int round = 0; round < 6; ++round) {
            addSome();
            pg::Interrupt stop;
            Background sync([&] { return synckit::sync(anna, nullptr, &stop); });
            QTest::qWait(int(QRandomGenerator::global()->bounded(span)));
            stop.raise();
            QVERIFY(sync.ended(10000));
            if (!sync.result()) {
                ++cancelled;
                QCOMPARE(sync.result().error().text, QStringLiteral("Operazione annullata."));
            }
        }
        auto last = synckit::sync(anna);
        QVERIFY2(last, qPrintable(failure(last)));
        QCOMPARE(synckit::disagreement(anna), QString());
        QVERIFY(cancelled > 0);
    }

    // A statement that never ends on the server, and a network that stalls at points through a
    // sync (its connections stay open, nothing goes through): each sync ends within its limits,
    // saying the server did not answer in time; the next one completes.
    void aServerThatDoesNotAnswer() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        anna.settings.statementTimeoutSeconds = 1;
        anna.settings.connectTimeoutSeconds = 2;
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("CREATE FUNCTION dorme() RETURNS trigger LANGUAGE plpgsql AS"
                               " $$ BEGIN PERFORM pg_sleep(60); RETURN NULL; END $$;"
                               "CREATE TRIGGER dorme BEFORE INSERT ON ordine_riga"
                               " FOR EACH STATEMENT EXECUTE FUNCTION dorme();"));
        synckit::addOrders(*anna.dir.open(), 1, 2, 2);
        auto hung = synckit::sync(anna);
        QVERIFY(!hung);
        QCOMPARE(hung.error().text, QStringLiteral("Il server 127.0.0.1 non ha risposto in tempo "
                                                   "(entro un secondo). Dettaglio: canceling "
                                                   "statement due to statement timeout"));
        QVERIFY(admin->command("DROP TRIGGER dorme ON ordine_riga"));
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(synckit::disagreement(anna), QString());

        const int port = pgkit::server().value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
        std::int64_t whole = 0;
        synckit::addOrders(*anna.dir.open(), 10, 3, 2);
        {
            CutProxy open(port, std::int64_t(1) << 40);
            pg::Settings through = anna.settings;
            through.port = open.port();
            QVERIFY(synckit::sync(anna, &through));
            whole = open.passed();
        }
        int stalled = 0;
        int nr = 20;
        for (int eighth : {0, 3, 5, 7}) {
            synckit::addOrders(*anna.dir.open(), nr, 3, 2);
            nr += 3;
            {
                CutProxy stall(port, std::max<std::int64_t>(64, whole * eighth / 8),
                               CutProxy::Then::Stall);
                pg::Settings through = anna.settings;
                through.port = stall.port();
                auto r = synckit::sync(anna, &through);
                if (!r) {
                    ++stalled;
                    const QString time =
                        QStringLiteral("Il server 127.0.0.1 non ha risposto in tempo");
                    QVERIFY2(r.error().text.startsWith(time) ||
                                 serverfailure::is(r.error(), serverfailure::Uncertain),
                             qPrintable(r.error().text));
                }
            }
            // The network back: the server's end of the stalled connection is gone too.
            auto done = synckit::sync(anna);
            QVERIFY2(done, qPrintable(failure(done)));
            QCOMPARE(synckit::disagreement(anna), QString());
        }
        QVERIFY(stalled >= 3);
    }

    // The office's schema is newer than the program's: the sync says so and writes nothing, in
    // the file or on the server; a database the office never prepared is named as such.
    void aNewerSchema() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        synckit::addOrders(*anna.dir.open(), 1, 2, 2);
        exec(*anna.dir.open(), "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('C1', 'UNO');");
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("INSERT INTO versione_schema (versione) VALUES ($1::integer)",
                               pg::Params().add(serverschema::currentVersion() + 1)));
        const QString newer = QStringLiteral("Il server è stato aggiornato da una versione più "
                                             "recente del programma: aggiornare Gestione Ordini.");
        auto refused = synckit::sync(anna);
        QVERIFY(!refused);
        QCOMPARE(refused.error().text, newer);
        QCOMPARE(value(*anna.dir.open(), "SELECT (SELECT count(*) FROM SYNC_STATO) +"
                                         " (SELECT count(*) FROM SYNC_ORDINE) +"
                                         " (SELECT count(*) FROM ARTICOLO);"),
                 QStringLiteral("0"));
        QCOMPARE(pgkit::rows(*admin, "SELECT (SELECT count(*) FROM ordine) +"
                                     " (SELECT count(*) FROM cliente)"),
                 QStringList{"0"});
        auto copies = conflictcopies::list(*pgkit::connect(anna.settings));
        QVERIFY(!copies);
        QCOMPARE(copies.error().text, newer);
        const pgkit::Run tool =
            pgkit::sede({QStringLiteral("--database"), db, QStringLiteral("richieste")});
        QCOMPARE(tool.err, newer);
        QCOMPARE(tool.code, 1);

        QVERIFY(admin->command("DELETE FROM versione_schema WHERE versione > $1::integer",
                               pg::Params().add(serverschema::currentVersion())));
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(synckit::disagreement(anna), QString());

        // A database without the program's tables.
        const QString empty = pgkit::freshDatabase();
        Machine office(pgkit::admin(empty));
        auto none = synckit::sync(office);
        QVERIFY(!none);
        QCOMPARE(none.error().text,
                 QStringLiteral("Il database \"%1\" del server 127.0.0.1 non è preparato per "
                                "Gestione Ordini: la sede deve prima eseguire \"gestione-sede "
                                "schema\".")
                     .arg(empty));
    }

    // Views and a search path that give the agent's login other columns than the program reads:
    // the sync stops with a message before it takes anything, and completes once they are gone.
    void answersOfOtherColumns_data() {
        QTest::addColumn<QByteArray>("view");
        QTest::addColumn<QString>("detail");
        QTest::newRow("a weight as text")
            << QByteArray("CREATE VIEW altro.articolo AS SELECT codice, articolo, formato,"
                          " peso::text AS peso, agg, cancellato, xv FROM public.articolo")
            << QStringLiteral("la colonna 4 (\"peso\") non è di tipo numero");
        QTest::newRow("an address as a number")
            << QByteArray("CREATE VIEW altro.mandante AS SELECT nome, length(email) AS email,"
                          " cancellato, xv FROM public.mandante")
            << QStringLiteral("la colonna 2 (\"email\") non è di tipo testo");
        QTest::newRow("an order's version as text")
            << QByteArray("CREATE VIEW altro.ordine AS SELECT agente, anno, nr,"
                          " versione::text AS versione, impronta, cambiato_il, cancellato, xv,"
                          " macchina FROM public.ordine")
            << QStringLiteral("la colonna 3 (\"versione\") non è di tipo numero intero");
    }
    void answersOfOtherColumns() {
        QFETCH(QByteArray, view);
        QFETCH(QString, detail);
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        synckit::addOrders(*anna.dir.open(), 1, 2, 2);
        QVERIFY(synckit::sync(anna));
        auto admin = pgkit::connect(pgkit::admin(db));
        // Something to take, had the answers been read.
        QVERIFY(admin->command("UPDATE articolo SET articolo = 'CAMBIATO' WHERE codice ="
                               " (SELECT min(codice) FROM articolo);"
                               "UPDATE ordine SET impronta = 'altra', versione = versione + 1"
                               " WHERE nr = '1';"
                               "INSERT INTO mandante (nome, email) VALUES ('Ditta', 'a@b.it');"
                               "CREATE SCHEMA altro;"));
        QVERIFY(admin->command(view.constData()));
        QVERIFY(admin->command("GRANT USAGE ON SCHEMA altro TO anna;"
                               "GRANT SELECT ON ALL TABLES IN SCHEMA altro TO anna;"
                               "ALTER ROLE anna SET search_path = altro, public;"));
        const QString before = value(*anna.dir.open(), "SELECT group_concat(CHIAVE || VALORE)"
                                                       " FROM SYNC_STATO;");
        auto odd = synckit::sync(anna);
        QVERIFY(!odd);
        QCOMPARE(odd.error().text, QStringLiteral("Il server 127.0.0.1 ha risposto con dati "
                                                  "di una forma che questo programma non "
                                                  "conosce. Dettaglio: ") +
                                       detail);
        QCOMPARE(value(*anna.dir.open(), "SELECT group_concat(CHIAVE || VALORE) FROM SYNC_STATO;"),
                 before);
        QCOMPARE(value(*anna.dir.open(), "SELECT count(*) FROM ARTICOLO WHERE ARTICOLO ="
                                         " 'CAMBIATO';"),
                 QStringLiteral("0"));
        QVERIFY(admin->command("ALTER ROLE anna RESET search_path; DROP SCHEMA altro CASCADE;"));
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(synckit::disagreement(anna), QString());
    }

    // A NUL in a note and in a customer's name: the texts go without it, every order and
    // customer goes up, and reaches the agent's other machine.
    void aNulInANote() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
        const QString nul = QStringLiteral("prima") + QChar(0) + QStringLiteral("dopo");
        {
            auto file = laptop.dir.open();
            synckit::addOrder(*file, 12, 2, nul);
            synckit::addOrder(*file, 13, 1, QStringLiteral("normale"));
            auto st = file->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('N1', ?1);");
            QVERIFY(st->bind(1, QStringLiteral("ROSSI") + QChar(0) + QStringLiteral(" SPA")).run());
        }
        auto up = synckit::sync(laptop);
        QVERIFY2(up, qPrintable(failure(up)));
        QCOMPARE(up->ordersSent, 2);
        QCOMPARE(up->refused, QStringList());
        auto server = pgkit::connect(laptop.settings);
        QCOMPARE(pgkit::rows(*server, "SELECT DISTINCT note FROM ordine_riga WHERE nr = '12'"),
                 QStringList{"primadopo"});
        QCOMPARE(pgkit::rows(*server, "SELECT soggetto FROM cliente WHERE codice = 'N1'"),
                 QStringList{"ROSSI SPA"});
        QCOMPARE(synckit::disagreement(laptop), QString());
        QVERIFY(synckit::sync(desk));
        QCOMPARE(value(*desk.dir.open(), "SELECT DISTINCT NOTE FROM ORDINE WHERE NR = '12';"),
                 QStringLiteral("primadopo"));
        QCOMPARE(synckit::disagreement(desk), QString());
    }

    // The server refuses the data of one order (a rule the office added): that order is set aside
    // and named, and stays to be sent; every other goes, and the catalogue comes down.
    void aRowTheServerRefuses() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine anna(pgkit::agent(db, QStringLiteral("Anna")));
        {
            auto file = anna.dir.open();
            synckit::addOrders(*file, 1, 20, 2);
            exec(*file, "UPDATE ORDINE SET NOTE = 'VIETATO' WHERE NR = '12';");
            exec(*file, "DELETE FROM ORDINE WHERE NR = '5';");
        }
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("ALTER TABLE ordine_riga ADD CONSTRAINT nota"
                               " CHECK (note IS NULL OR note NOT LIKE '%VIETATO%')"));
        auto r = synckit::sync(anna);
        QVERIFY2(r, qPrintable(failure(r)));
        QCOMPARE(r->refused, QStringList{QStringLiteral(
                                 "l'ordine 12/2026 non è stato inviato: il server non ne "
                                 "accetta i dati. Dettaglio: new row for relation "
                                 "\"ordine_riga\" violates check constraint "
                                 "\"nota\"")});
        QCOMPARE(r->ordersSent, 18);
        QVERIFY(r->articlesReceived > 0);
        QCOMPARE(agencysync::pendingOrders(*anna.dir.open()).value(), 1);
        QCOMPARE(pgkit::rows(*admin, "SELECT count(*) FROM ordine WHERE nr = '12'"),
                 QStringList{"0"});
        auto again = synckit::sync(anna);
        QVERIFY(again);
        QCOMPARE(again->refused.size(), 1);
        QCOMPARE(again->ordersSent, 0);
        QVERIFY(admin->command("ALTER TABLE ordine_riga DROP CONSTRAINT nota"));
        auto next = synckit::sync(anna);
        QVERIFY2(next, qPrintable(failure(next)));
        QCOMPARE(next->ordersSent, 1);
        QCOMPARE(next->refused, QStringList());
        QCOMPARE(synckit::disagreement(anna), QString());
    }

    // One order changed on two machines whose clocks are a year apart: the change that reached
    // the server first stays, whichever clock says later; the other is kept as a copy, and the
    // box names the machine whose change was kept.
    void clocksApart_data() {
        QTest::addColumn<int>("laptopYears");
        QTest::addColumn<bool>("laptopFirst");
        QTest::newRow("the laptop a year ahead, second") << 1 << false;
        QTest::newRow("the laptop a year behind, first") << -1 << true;
    }
    void clocksApart() {
        QFETCH(int, laptopYears);
        QFETCH(bool, laptopFirst);
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        Machine desk(pgkit::agent(db, QStringLiteral("Anna")));
        exec(*laptop.dir.open(), "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('macchina',"
                                 " 'portatile');");
        exec(*desk.dir.open(), "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('macchina',"
                               " 'scrivania');");
        synckit::addOrder(*laptop.dir.open(), 10, 2);
        QVERIFY(synckit::sync(laptop));
        QVERIFY(synckit::sync(desk));
        exec(*laptop.dir.open(), "UPDATE ORDINE SET NOTE = 'dal portatile' WHERE NR = '10';");
        exec(*desk.dir.open(), "UPDATE ORDINE SET NOTE = 'dalla scrivania' WHERE NR = '10';");
        // What the laptop's clock wrote.
        const QByteArray shift =
            "UPDATE SYNC_ORDINE SET CAMBIATO_IL = strftime('%Y-%m-%dT%H:%M:%fZ',"
            " 'now', '" +
            QByteArray::number(laptopYears) + " years');";
        exec(*laptop.dir.open(), shift.constData());
        Machine& first = laptopFirst ? laptop : desk;
        Machine& second = laptopFirst ? desk : laptop;
        auto one = synckit::sync(first);
        QVERIFY2(one, qPrintable(failure(one)));
        QCOMPARE(one->conflicts, QStringList());
        auto two = synckit::sync(second);
        QVERIFY2(two, qPrintable(failure(two)));
        const QString kept =
            laptopFirst ? QStringLiteral("portatile") : QStringLiteral("scrivania");
        QCOMPARE(two->conflicts,
                 QStringList{QStringLiteral("L'ordine 10 dell'anno 2026 era stato cambiato anche "
                                            "sul computer \"%1\", che ha inviato per primo la sua "
                                            "versione: è stata tenuta quella; quella di questo "
                                            "computer è salvata come copia sul server.")
                                 .arg(kept)});
        QVERIFY(synckit::sync(first));
        const QString note =
            laptopFirst ? QStringLiteral("dal portatile") : QStringLiteral("dalla scrivania");
        for (Machine* m : {&laptop, &desk}) {
            QCOMPARE(value(*m->dir.open(), "SELECT DISTINCT NOTE FROM ORDINE WHERE NR = '10';"),
                     note);
            QCOMPARE(synckit::disagreement(*m), QString());
        }
        auto server = pgkit::connect(laptop.settings);
        const QStringList copy = pgkit::rows(*server, "SELECT macchina, righe FROM ordine_copia");
        QCOMPARE(copy.size(), 1);
        QVERIFY2(copy[0].startsWith(laptopFirst ? QStringLiteral("scrivania|")
                                                : QStringLiteral("portatile|")) &&
                     copy[0].contains(laptopFirst ? QStringLiteral("dalla scrivania")
                                                  : QStringLiteral("dal portatile")),
                 qPrintable(copy[0]));
    }

    // The certificate authorities of the system when the field is empty (never a file named
    // "system" where the program starts), and only modes that check the certificate.
    void certificates_data() {
        QTest::addColumn<QString>("bundle");
        QTest::addColumn<bool>("fileNamedSystem");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("expected");
        const QString ca = pgkit::server().value(QStringLiteral("GESTIONE_PG_CA"));
        const QString others = QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
        const QString unknown = QStringLiteral("La connessione cifrata con il server 127.0.0.1 non "
                                               "è riuscita: il suo certificato non è riconosciuto "
                                               "(non è firmato dall'autorità indicata o non è "
                                               "intestato a quel nome). Dettaglio: ");
        QTest::newRow("the system's") << ca << false << "verify-full" << QString();
        QTest::newRow("the system's, the certificate only")
            << ca << false << "verify-ca" << QString();
        QTest::newRow("a file named system") << others << true << "verify-full" << unknown;
        QTest::newRow("none on the system")
            << QStringLiteral("/nessuna/cartella/ca.crt") << false << "verify-full"
            << QStringLiteral("Su questo computer non si trovano i certificati delle autorità "
                              "del sistema: indicare il certificato dell'autorità che firma "
                              "quello del server.");
        // A value left by an older version, which checked nothing: the full check.
        QTest::newRow("require kept") << others << true << "require" << unknown;
    }
    void certificates() {
        QFETCH(QString, bundle);
        QFETCH(bool, fileNamedSystem);
        QFETCH(QString, mode);
        QFETCH(QString, expected);
        static const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        QTemporaryDir start;
        if (fileNamedSystem)
            QVERIFY(QFile::copy(pgkit::server().value(QStringLiteral("GESTIONE_PG_CA")),
                                start.filePath(QStringLiteral("system"))));
        const QString was = QDir::currentPath();
        QDir::setCurrent(start.path());
        const QByteArray before = qgetenv("SSL_CERT_FILE");
        qputenv("SSL_CERT_FILE", bundle.toUtf8());
        pg::Settings s = pgkit::agent(db, QStringLiteral("Anna"));
        s.caFile.clear();
        s.sslMode = mode;
        auto c = pg::Connection::open(s);
        qputenv("SSL_CERT_FILE", before);
        QDir::setCurrent(was);
        if (expected.isEmpty()) {
            QVERIFY2(c, qPrintable(c ? QString() : c.error().text));
            return;
        }
        QVERIFY(!c);
        if (expected.endsWith(QLatin1String("Dettaglio: ")))
            QVERIFY2(c.error().text.startsWith(expected), qPrintable(c.error().text));
        else
            QCOMPARE(c.error().text, expected);
    }

    void onlyModesThatCheckTheCertificate() {
        TestDir dir;
        auto file = dir.open();
        syncsettings::Settings s;
        s.server = pgkit::agent(QStringLiteral("agenzia"), QStringLiteral("Anna"));
        s.server.sslMode = QStringLiteral("require");
        Status refused = syncsettings::save(*file, s);
        QVERIFY(!refused);
        QCOMPARE(refused.error().text,
                 QStringLiteral("Il controllo della connessione \"require\" non è previsto: usare "
                                "verify-full o verify-ca, che verificano il certificato del "
                                "server."));
        s.server.sslMode = QStringLiteral("verify-ca");
        QVERIFY(syncsettings::save(*file, s));
        exec(*file, "UPDATE SYNC_STATO SET VALORE = 'require' WHERE CHIAVE = 'server.sslmode';");
        QCOMPARE(syncsettings::load(*file).value()->server.sslMode, QStringLiteral("verify-full"));
        const pgkit::Run tool = pgkit::sede(
            {QStringLiteral("--sslmode"), QStringLiteral("require"), QStringLiteral("schema")});
        QCOMPARE(tool.err, refused.error().text);
    }

    // The common causes of a failed connection in the program's words, the library's or the
    // server's own after "Dettaglio:", on one line.
    void connectionFailures_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QString>("expected");
        const int port = pgkit::server().value(QStringLiteral("GESTIONE_PG_PORT")).toInt();
        const QString ca = pgkit::server().value(QStringLiteral("GESTIONE_PG_CA"));
        int closed = 0;
        {
            CutProxy gone(port, 0);
            closed = gone.port();
        }
        QTest::newRow("no such database")
            << kHost << port << "nessuno"
            << "anna"
            << "AnnaAnna" << ca
            << QStringLiteral("Sul server 127.0.0.1 non c'è il database \"nessuno\": controllare "
                              "il nome del database. Dettaglio: database \"nessuno\" does not "
                              "exist");
        QTest::newRow("wrong password")
            << kHost << port << ""
            << "anna"
            << "sbagliata" << ca
            << QStringLiteral("Il server 127.0.0.1 ha rifiutato l'utente \"anna\" o la sua "
                              "password. Dettaglio: password authentication failed for user "
                              "\"anna\"");
        QTest::newRow("no password")
            << kHost << port << ""
            << "anna"
            << "" << ca
            << QStringLiteral("Il server 127.0.0.1 ha rifiutato l'utente \"anna\" o la sua "
                              "password. Dettaglio: ");
        QTest::newRow("nothing on that port")
            << kHost << closed << ""
            << "anna"
            << "AnnaAnna" << ca
            << QStringLiteral("Il server 127.0.0.1 (porta %1) non risponde: è spento, non "
                              "raggiungibile dalla rete o non in ascolto su quella porta. "
                              "Dettaglio: ")
                   .arg(closed);
        QTest::newRow("no such name")
            << "server-che-non-esiste.invalid" << port << ""
            << "anna"
            << "AnnaAnna" << ca
            << QStringLiteral("Il nome del server \"server-che-non-esiste.invalid\" non è stato "
                              "trovato: controllare l'indirizzo del server e la connessione alla "
                              "rete. Dettaglio: ");
        QTest::newRow("another authority")
            << kHost << port << ""
            << "anna"
            << "AnnaAnna"
            << "/etc/ssl/certs/ca-certificates.crt"
            << QStringLiteral("La connessione cifrata con il server 127.0.0.1 non è riuscita: il "
                              "suo certificato non è riconosciuto (non è firmato dall'autorità "
                              "indicata o non è intestato a quel nome). Dettaglio: ");
    }
    void connectionFailures() {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, caFile);
        QFETCH(QString, expected);
        static const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        pg::Settings s = pgkit::agent(db, QStringLiteral("Anna"));
        s.host = host;
        s.port = port;
        if (!database.isEmpty())
            s.database = database;
        s.user = user;
        s.password = password;
        s.caFile = caFile;
        auto c = pg::Connection::open(s);
        QVERIFY(!c);
        const QString text = c.error().text;
        QVERIFY2(!text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')),
                 qPrintable(text));
        if (expected.endsWith(QLatin1String("Dettaglio: ")))
            QVERIFY2(text.startsWith(expected) && text.size() > expected.size(), qPrintable(text));
        else
            QCOMPARE(text, expected);
    }
};

QTEST_MAIN(TestSyncFailures)
#include "tst_syncfailures.moc"
