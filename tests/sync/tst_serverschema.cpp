// The agency server's schema, its rules for the agents' logins, and the office's tool, on the
// real server the fixture started.

#include "PgKit.h"
#include "support/Fixture.h"
#include "sync/ServerSchema.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using pgkit::Run;
using pgkit::sede;

class TestServerSchema : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void migrationRunsOnce() {
        const QString db = pgkit::freshDatabase();
        auto admin = pgkit::connect(pgkit::admin(db));
        auto first = serverschema::migrate(*admin);
        QVERIFY2(first, qPrintable(first ? QString() : first.error().text));
        QCOMPARE(*first, 0);
        auto again = serverschema::migrate(*admin);
        QVERIFY(again);
        QCOMPARE(*again, serverschema::currentVersion());
        QCOMPARE(pgkit::rows(*admin, "SELECT versione FROM versione_schema"),
                 (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    }

    // What an agent's login may not do, the server refuses; what it may not see, it does not.
    void agentLoginIsKeptToItsOwn() {
        const QString db = pgkit::freshDatabase();
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(serverschema::migrate(*admin));
        QVERIFY(
            serverschema::createAgent(*admin, QStringLiteral("Anna"), QStringLiteral("AnnaAnna")));
        QVERIFY(serverschema::createAgent(*admin, QStringLiteral("Bruno"),
                                          QStringLiteral("BrunoBruno")));
        QVERIFY(admin->command("INSERT INTO articolo (codice, articolo) VALUES ('A1', 'Olio')"));
        auto anna = pgkit::connect(pgkit::agent(db, QStringLiteral("Anna")));
        auto bruno = pgkit::connect(pgkit::agent(db, QStringLiteral("Bruno")));
        QVERIFY(anna->command("INSERT INTO ordine (anno, nr, impronta, cambiato_il)"
                              " VALUES ('2026', '1', 'x', now());"
                              "INSERT INTO ordine_riga (anno, nr, riga, codice)"
                              " VALUES ('2026', '1', 1, 'A1')"));

        // Bruno sees none of Anna's orders, and cannot touch them.
        QCOMPARE(pgkit::rows(*bruno, "SELECT count(*) FROM ordine"), QStringList{"0"});
        QCOMPARE(pgkit::rows(*bruno, "SELECT count(*) FROM ordine_riga"), QStringList{"0"});
        QCOMPARE(pgkit::rows(*bruno, "UPDATE ordine SET impronta = 'y' RETURNING 1"),
                 QStringList{});
        QCOMPARE(pgkit::rows(*bruno, "DELETE FROM ordine_riga RETURNING 1"), QStringList{});
        const char* refused[] = {
            "INSERT INTO ordine (agente, anno, nr, impronta, cambiato_il)"
            " VALUES ('anna', '2026', '2', 'x', now())",
            "UPDATE articolo SET articolo = 'Aceto'",
            "INSERT INTO articolo (codice) VALUES ('B2')",
            "DELETE FROM articolo",
            "INSERT INTO mandante (nome) VALUES ('Ditta')",
            "SELECT * FROM agente",
            "CREATE TABLE mia (x int)",
            "DROP TABLE ordine",
        };
        for (const char* sql : refused) {
            auto r = bruno->query(sql, pg::Shape::any());
            QVERIFY2(!r, sql);
            QVERIFY2(
                r.error().text == QStringLiteral("Il server 127.0.0.1 non consente questa "
                                                 "operazione all'utente \"bruno\".") ||
                    r.error().text.startsWith(QStringLiteral("Il server 127.0.0.1 non consente "
                                                             "questa operazione all'utente "
                                                             "\"bruno\". Dettaglio: ")),
                qPrintable(r.error().text));
        }
        // The catalogue is the office's, and reads the same for every agent.
        QCOMPARE(pgkit::rows(*bruno, "SELECT codice, articolo FROM articolo"),
                 QStringList{"A1|Olio"});
        QCOMPARE(pgkit::rows(*admin, "SELECT agente, codice FROM ordine_riga"),
                 QStringList{"anna|A1"});
    }

    // "agente NOME" makes a login only for a name that is no role yet, and gives a new password
    // only to a login it made as an agent: the administrator, the database's groups and roles
    // made by hand are refused by name, each left as it was.
    void theToolTakesOverNoOtherRole() {
        const QString db = pgkit::freshDatabase();
        const QStringList on{QStringLiteral("--database"), db};
        QCOMPARE(sede(on + QStringList{QStringLiteral("schema")}).code, 0);
        auto admin = pgkit::connect(pgkit::admin(db));
        const QString tag = QString::number(QCoreApplication::applicationPid());
        const QString boss = QStringLiteral("capo_") + tag;
        const QString stranger = QStringLiteral("estraneo_") + tag;
        QVERIFY(admin->command(("CREATE ROLE " + boss +
                                " SUPERUSER LOGIN PASSWORD 'CapoCapo1';"
                                "CREATE ROLE " +
                                stranger + " LOGIN PASSWORD 'Estraneo1';")
                                   .toLatin1()
                                   .constData()));
        // What the server keeps of a role: its powers, its password's form, its groups.
        auto role = [&](const QString& name) {
            return pgkit::rows(*admin,
                               "SELECT rolsuper, rolcanlogin, coalesce(rolpassword, ''),"
                               " (SELECT string_agg(g.rolname, ',' ORDER BY g.rolname) FROM"
                               " pg_auth_members m JOIN pg_roles g ON g.oid = m.roleid WHERE"
                               " m.member = a.oid) FROM pg_authid a WHERE rolname = $1",
                               pg::Params().add(name));
        };
        for (const QString& name : {pgkit::admin(db).user, db + QStringLiteral("_sede"),
                                    db + QStringLiteral("_agenti"), boss, stranger}) {
            const QStringList before = role(name);
            QCOMPARE(before.size(), 1);
            const Run refused =
                sede(on + QStringList{QStringLiteral("agente"), name}, "Presa-di-ruolo-1\n");
            QCOMPARE(refused.code, 1);
            QCOMPARE(refused.err, QStringLiteral("Il ruolo \"%1\" esiste già sul server e non è "
                                                 "l'accesso di un agente creato da questo "
                                                 "programma: non è stato cambiato.")
                                      .arg(name));
            QCOMPARE(role(name), before);
        }
        QVERIFY(pg::Connection::open(pgkit::admin(db)));
        QCOMPARE(pgkit::rows(*admin, "SELECT nome FROM agente"), QStringList{});

        // An agent of the program: the second time, a new password.
        const QString agent = QStringLiteral("agente_") + tag;
        QCOMPARE(sede(on + QStringList{QStringLiteral("agente"), agent}, "Prima-password-1\n").out,
                 QStringLiteral("Accesso dell'agente \"%1\" pronto.").arg(agent));
        const Run again =
            sede(on + QStringList{QStringLiteral("agente"), agent}, "Seconda-password-2\n");
        QCOMPARE(again.err, QString());
        QCOMPARE(again.out,
                 QStringLiteral("Nuova password dell'agente \"%1\" impostata.").arg(agent));
        pg::Settings login = pgkit::admin(db);
        login.user = agent;
        login.password = QStringLiteral("Seconda-password-2");
        QVERIFY(pg::Connection::open(login));
        const QString made = role(agent).value(0);
        QCOMPARE(made.section('|', 0, 1) + '|' + made.section('|', 3), "f|t|" + db + "_agenti");
    }

    void officeTool() {
        const QString db = pgkit::freshDatabase();
        const QStringList on{QStringLiteral("--database"), db};
        Run help = sede({QStringLiteral("--aiuto")});
        QCOMPARE(help.code, 0);
        QVERIFY2(help.out.contains(QStringLiteral("Uso:")) &&
                     help.out.contains(QStringLiteral("agente NOME")),
                 qPrintable(help.out));

        Run notReady = sede(on + QStringList{QStringLiteral("agente"), QStringLiteral("Carla")},
                            "CarlaCarla\n");
        QCOMPARE(notReady.code, 1);
        QCOMPARE(notReady.err, QStringLiteral("Lo schema del server non è pronto (versione 0, "
                                              "serve la 3): eseguire prima \"gestione-sede "
                                              "schema\"."));
        Run schema = sede(on + QStringList{QStringLiteral("schema")});
        QCOMPARE(schema.err, QString());
        QCOMPARE(schema.out, QStringLiteral("Schema del server portato dalla versione 0 alla 3."));
        QCOMPARE(sede(on + QStringList{QStringLiteral("schema")}).out,
                 QStringLiteral("Lo schema del server è già alla versione 3."));

        Run badName = sede(on + QStringList{QStringLiteral("agente"), QStringLiteral("x; drop")});
        QCOMPARE(badName.code, 1);
        QCOMPARE(badName.err, QStringLiteral("Il nome \"x; drop\" non va bene per un accesso: "
                                             "usare lettere, cifre e trattino basso, iniziando "
                                             "con una lettera, al massimo 40 caratteri."));
        Run shortPassword =
            sede(on + QStringList{QStringLiteral("agente"), QStringLiteral("Carla")}, "corta\n");
        QCOMPARE(shortPassword.err,
                 QStringLiteral("La password dell'agente deve avere almeno 8 caratteri."));
        Run agent = sede(on + QStringList{QStringLiteral("agente"), QStringLiteral("Carla")},
                         "CarlaCarla\n");
        QCOMPARE(agent.err, QString());
        QCOMPARE(agent.out, QStringLiteral("Accesso dell'agente \"carla\" pronto."));
        QVERIFY(pg::Connection::open(pgkit::agent(db, QStringLiteral("Carla"))));
        pg::Settings wrong = pgkit::agent(db, QStringLiteral("Carla"));
        wrong.password = QStringLiteral("sbagliata");
        auto refused = pg::Connection::open(wrong);
        QVERIFY(!refused);
        QVERIFY2(refused.error().text.startsWith(QStringLiteral("Il server 127.0.0.1 ha rifiutato "
                                                                "l'utente \"carla\" o la sua "
                                                                "password.")),
                 qPrintable(refused.error().text));

        // The catalogue from a file of the program: its articles, one per code.
        TestDir file(TestDir::Content::Demo);
        {
            auto local = file.open();
            exec(*local, "INSERT INTO MANDANTE (NOME, EMAIL) VALUES ('Oleificio', 'o@x.it');");
        }
        Run catalogue = sede(on + QStringList{QStringLiteral("catalogo"), file.dbPath()});
        QCOMPARE(catalogue.err, QString());
        QVERIFY2(catalogue.out.startsWith(QStringLiteral("Catalogo caricato: ")),
                 qPrintable(catalogue.out));
        auto admin = pgkit::connect(pgkit::admin(db));
        auto local = file.open();
        QStringList expected;
        for (const QStringList& r :
             ::rows(*local, "SELECT CODICE, ARTICOLO FROM ARTICOLO a WHERE CODICE IS NOT NULL"
                            " AND trim(CODICE) <> '' AND ID = (SELECT max(ID) FROM ARTICOLO b"
                            " WHERE b.CODICE = a.CODICE) ORDER BY CODICE COLLATE BINARY;"))
            expected << r.join(QLatin1Char('|'));
        QVERIFY(!expected.isEmpty());
        QCOMPARE(pgkit::rows(*admin, "SELECT codice, coalesce(articolo, '') FROM articolo"
                                     " WHERE NOT cancellato ORDER BY codice COLLATE \"C\""),
                 expected);
        QCOMPARE(pgkit::rows(*admin, "SELECT nome, email FROM mandante"),
                 QStringList{"Oleificio|o@x.it"});
        QCOMPARE(catalogue.out, QStringLiteral("Catalogo caricato: %1 articoli, 1 mandanti, 0 "
                                               "prezzi di listino.")
                                    .arg(expected.size()));

        // A second load of the same file writes nothing: the agents' next sync takes nothing.
        const QStringList before = pgkit::rows(*admin, "SELECT codice, xv::text FROM articolo"
                                                       " ORDER BY codice");
        QCOMPARE(sede(on + QStringList{QStringLiteral("catalogo"), file.dbPath()}).code, 0);
        QCOMPARE(pgkit::rows(*admin, "SELECT codice, xv::text FROM articolo ORDER BY codice"),
                 before);

        Run badPort = sede(QStringList{QStringLiteral("--porta"), QStringLiteral("99999"),
                                       QStringLiteral("schema")});
        QCOMPARE(badPort.code, 1);
        QCOMPARE(badPort.err,
                 QStringLiteral("La porta \"99999\" non è valida: serve un numero da 1 a 65535."));
    }

    // A principal's price list loaded by the office's tool through the program's own import:
    // new and changed articles and the list's prices reach the server; articles the list does
    // not name stay; each list keeps its own number.
    void officeToolLoadsAPriceList() {
        const QString db = pgkit::freshDatabase();
        const QStringList on{QStringLiteral("--database"), db};
        QCOMPARE(sede(on + QStringList{QStringLiteral("schema")}).code, 0);
        auto admin = pgkit::connect(pgkit::admin(db));
        QVERIFY(admin->command("INSERT INTO articolo (codice, articolo) VALUES ('A1', 'Olio'),"
                               " ('B2', 'Aceto')"));
        QTemporaryDir dir;
        auto write = [&](const char* name, const QByteArray& text) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
                qFatal("the list was not written");
            return f.fileName();
        };
        const QString first = write("olio.csv", "Codice;Descrizione;Prezzo\n"
                                                "A1;Olio extra;12,50\n"
                                                "ZZ9;Sale;3\n"
                                                "Q7;Pepe;non so\n");
        const QString second = write("olio2.csv", "Codice;Descrizione;Prezzo\n"
                                                  "A1;Olio extra;13\n");

        struct Case {
            QStringList args;
            int code;
            QString out;
            QString err;
        };
        const Case cases[] = {
            {{QStringLiteral("catalogo"), first},
             1,
             {},
             QStringLiteral("Per caricare il listino \"%1\" serve la sua mandante "
                            "(--mandante NOME).")
                 .arg(first)},
            {{QStringLiteral("catalogo"), first, QStringLiteral("--mandante"),
              QStringLiteral("Oleificio"), QStringLiteral("--valido-dal"),
              QStringLiteral("31/02/2027")},
             1,
             {},
             QStringLiteral("La data \"31/02/2027\" non è valida: scriverla come GG/MM/AAAA.")},
            {{QStringLiteral("catalogo"), first, QStringLiteral("--mandante"),
              QStringLiteral("Oleificio"), QStringLiteral("--valido-dal"),
              QStringLiteral("01/01/2027")},
             0,
             QStringLiteral("Listino caricato: 1 articoli nuovi, 1 articoli aggiornati, 2 prezzi "
                            "registrati, 1 righe scartate."),
             {}},
            {{QStringLiteral("catalogo"), second, QStringLiteral("--mandante"),
              QStringLiteral("oleificio"), QStringLiteral("--valido-dal"),
              QStringLiteral("01/03/2027")},
             0,
             QStringLiteral("Listino caricato: 0 articoli nuovi, 0 articoli aggiornati, 1 prezzi "
                            "registrati, 0 righe scartate."),
             {}},
        };
        for (const Case& c : cases) {
            Run r = sede(on + c.args);
            QCOMPARE(r.err, c.err);
            QCOMPARE(r.out, c.out);
            QCOMPARE(r.code, c.code);
        }
        QCOMPARE(pgkit::rows(*admin, "SELECT codice, articolo, cancellato FROM articolo"
                                     " ORDER BY codice"),
                 (QStringList{"A1|OLIO EXTRA|f", "B2|Aceto|f", "ZZ9|SALE|f"}));
        QCOMPARE(pgkit::rows(*admin, "SELECT mandante, file, valido_dal FROM listino ORDER BY id"),
                 (QStringList{"Oleificio|olio.csv|2027-01-01", "Oleificio|olio2.csv|2027-03-01"}));
        QCOMPARE(pgkit::rows(*admin, "SELECT p.codice, p.prezzo, l.file FROM prezzo_listino p"
                                     " JOIN listino l ON l.id = p.id_listino"
                                     " WHERE NOT p.cancellato ORDER BY p.id"),
                 (QStringList{"A1|12.5|olio.csv", "ZZ9|3|olio.csv", "A1|13|olio2.csv"}));
    }
};

QTEST_MAIN(TestServerSchema)
#include "tst_serverschema.moc"
