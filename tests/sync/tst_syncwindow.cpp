// "Sincronizza" and "Server dell'agenzia…" in the window, against the fixture's server: the
// settings kept in the file, the sync off the window's thread, every outcome in a box and the
// status bar.

#include "PgKit.h"
#include "SyncKit.h"
#include "data/Schema.h"
#include "masterdata/OfficeCustomer.h"
#include "support/Ui.h"
#include "sync/ServerSchema.h"
#include "sync/SyncSettings.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// Fills the settings dialog each time it shows, from the given values in turn, and presses OK.
class DialogFiller : public QObject {
public:
    explicit DialogFiller(QList<syncsettings::Settings> values) : m_values(std::move(values)) {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this]() { poll(); });
        m_timer.start();
    }

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->objectName() != QLatin1String("ServerAgenziaDialog") || m_values.isEmpty())
            return;
        const syncsettings::Settings s = m_values.takeFirst();
        w->findChild<QLineEdit*>(QStringLiteral("SyncServer"))->setText(s.server.host);
        w->findChild<QLineEdit*>(QStringLiteral("SyncPorta"))
            ->setText(QString::number(s.server.port));
        w->findChild<QLineEdit*>(QStringLiteral("SyncDatabase"))->setText(s.server.database);
        w->findChild<QLineEdit*>(QStringLiteral("SyncUtente"))->setText(s.server.user);
        w->findChild<QLineEdit*>(QStringLiteral("SyncPassword"))->setText(s.server.password);
        w->findChild<QLineEdit*>(QStringLiteral("SyncCA"))->setText(s.server.caFile);
        w->findChild<QSpinBox*>(QStringLiteral("SyncMinuti"))->setValue(s.minutes);
        QTest::mouseClick(w->findChild<QDialogButtonBox*>(QStringLiteral("SyncPulsanti"))
                              ->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }
    QList<syncsettings::Settings> m_values;
    QTimer m_timer;
};

// The window's file syncs with Anna's login on the database, only when asked.
// Anna's server in the settings, her password where the secrets are kept.
void annaOn(App& app, const QString& db) {
    syncsettings::Settings s;
    s.server = pgkit::agent(db, QStringLiteral("Anna"));
    s.minutes = 0;
    if (Status saved = syncsettings::save(app.db(), s); !saved)
        qFatal("%s", qPrintable(saved.error().text));
    if (auto kept = app.ctx.secrets.keep(app.db(), secrets::Account::Server, s.server.password);
        !kept)
        qFatal("%s", qPrintable(kept.error().text));
}

} // namespace

class TestSyncWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void syncFromTheMenu() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        App app;
        QVERIFY(app.started);
        const QString title = QStringLiteral("Sincronizzazione");
        ui::menu(app.window.get(), "Sincronizza");
        QCOMPARE(app.dialogs.take().value(0).text,
                 QStringLiteral("Il server dell'agenzia non è impostato: indicarlo in \"Server "
                                "dell'agenzia…\" del menu Archivio."));

        syncsettings::Settings good;
        good.server = pgkit::agent(db, QStringLiteral("Anna"));
        good.minutes = 0;
        syncsettings::Settings noHost = good;
        noHost.server.host.clear();
        syncsettings::Settings wrong = good;
        wrong.server.password = QStringLiteral("sbagliata");
        {
            DialogFiller filler({noHost, wrong});
            ui::menu(app.window.get(), "ServerAgenzia");
        }
        auto boxes = app.dialogs.take();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("Impostazioni non salvate: Manca l'indirizzo del server."));
        QCOMPARE(boxes[1].text, QStringLiteral("Impostazioni del server salvate."));
        // The password is kept in the keyring, never in the file.
        QCOMPARE(app.keyring.entries.values(), QStringList{"sbagliata"});
        QCOMPARE(value(app.db(), "SELECT count(*) FROM SYNC_STATO WHERE VALORE = 'sbagliata';"),
                 QStringLiteral("0"));

        synckit::addOrder(app.db(), 40, 2);
        exec(app.db(),
             "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('C1', 'UNO'), ('C2', 'DUE');");
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_VERIFY_WITH_TIMEOUT(!app.dialogs.boxes.isEmpty(), 30000);
        boxes = app.dialogs.take();
        QCOMPARE(boxes[0].icon, BoxIcon::Critical);
        QCOMPARE(app.window->statusBar()->currentMessage(),
                 QStringLiteral("Ultima sincronizzazione: mai; ordini da inviare: 1; clienti da "
                                "inviare: 2"));
        QCOMPARE(boxes[0].text,
                 QStringLiteral("Sincronizzazione non riuscita: Il server 127.0.0.1 ha rifiutato "
                                "l'utente \"anna\" o la sua password. Dettaglio: password "
                                "authentication failed for user \"anna\""));
        QCOMPARE(agencysync::pendingOrders(app.db()).value(), 1);

        QVERIFY(syncsettings::save(app.db(), good));
        QVERIFY(app.ctx.secrets.keep(app.db(), secrets::Account::Server, good.server.password));
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_VERIFY_WITH_TIMEOUT(!app.dialogs.boxes.isEmpty(), 30000);
        boxes = app.dialogs.take();
        const QString articles =
            pgkit::rows(*pgkit::connect(pgkit::admin(db)), "SELECT count(*) FROM articolo")
                .value(0);
        QCOMPARE(boxes.value(0).text,
                 QStringLiteral("Sincronizzazione completata: 1 ordini inviati, 0 ordini "
                                "ricevuti, %1 articoli e 0 mandanti aggiornati. Clienti: 2 "
                                "inviati, 0 ricevuti.")
                     .arg(articles));
        QCOMPARE(boxes.value(0).title, title);
        QCOMPARE(agencysync::pendingOrders(app.db()).value(), 0);
        QVERIFY2(app.window->statusBar()->currentMessage().startsWith(
                     QStringLiteral("Ultima sincronizzazione: ")),
                 qPrintable(app.window->statusBar()->currentMessage()));
        QVERIFY(app.window->statusBar()->currentMessage().endsWith(
            QStringLiteral("; ordini da inviare: 0")));

        // Nothing moved: the sentence alone. Then an office customer received, and a change to
        // it sent to the office as a request.
        auto syncBox = [&] {
            ui::menu(app.window.get(), "Sincronizza");
            QTRY_VERIFY_WITH_TIMEOUT(!app.dialogs.boxes.isEmpty(), 30000);
        };
        const QString nothing = QStringLiteral("Sincronizzazione completata: 0 ordini inviati, 0 "
                                               "ordini ricevuti, 0 articoli e 0 mandanti "
                                               "aggiornati.");
        syncBox();
        QCOMPARE(app.dialogs.take().value(0).text, nothing);
        QVERIFY(pgkit::connect(pgkit::admin(db))
                    ->command("INSERT INTO cliente (proprietario, codice, soggetto)"
                              " VALUES ('', 'S1', 'SEDE')"));
        syncBox();
        QCOMPARE(app.dialogs.take().value(0).text,
                 nothing + QStringLiteral(" Clienti: 0 inviati, 1 ricevuti."));
        const auto office = value(app.db(), "SELECT ID FROM CLIENTE WHERE CODICE = 'S1';");
        auto asked = officecustomer::request(
            app.db(), office.toLongLong(),
            {QStringLiteral("S1"), QStringLiteral("SEDE SPA"), QString(), QString()});
        QVERIFY(asked && !*asked);
        syncBox();
        QCOMPARE(app.dialogs.take().value(0).text,
                 nothing + QStringLiteral(" Richieste di modifica inviate alla sede: 1."));
        QVERIFY(app.dialogs.unexpected.isEmpty());
    }

    // The office holds the orders locked and the sync waits: "Sincronizza" offers to cancel it,
    // "Annulla sincronizzazione" does it, and "Chiudi" does not wait for it; nothing of it stays
    // on the server, and the file is free.
    void aWaitingSyncIsCancelledAndTheEndDoesNotWaitForIt() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        App app;
        QVERIFY(app.started);
        annaOn(app, db);
        synckit::addOrders(app.db(), 1, 3, 2);
        auto office = pgkit::connect(pgkit::admin(db));
        auto watch = pgkit::connect(pgkit::admin(db));
        QVERIFY(office->begin());
        QVERIFY(office->command("LOCK TABLE ordine IN EXCLUSIVE MODE"));
        auto sessions = [&](const char* extra) {
            return pgkit::rows(*watch, (QByteArray("SELECT count(*) FROM pg_stat_activity WHERE"
                                                   " usename = 'anna'") +
                                        extra)
                                           .constData());
        };
        auto* cancel = app.find<QAction>("AnnullaSincronizzazione");
        QVERIFY(cancel && !cancel->isEnabled());
        const QString running = QStringLiteral("Una sincronizzazione è già in corso: annullarla?");
        const QString cancelled = QStringLiteral("Sincronizzazione annullata: quello che non è "
                                                 "stato inviato o ricevuto lo sarà con la "
                                                 "prossima.");
        for (const char* how : {"Sincronizza", "AnnullaSincronizzazione"}) {
            ui::menu(app.window.get(), "Sincronizza");
            QTRY_COMPARE_WITH_TIMEOUT(sessions(" AND wait_event_type = 'Lock'"), QStringList{"1"},
                                      10000);
            QVERIFY(cancel->isEnabled());
            if (QByteArray(how) == "Sincronizza") {
                app.dialogs.answerNo();
                ui::menu(app.window.get(), "Sincronizza");
                QCOMPARE(app.dialogs.take().value(0).text, running);
                QCOMPARE(sessions(" AND wait_event_type = 'Lock'"), QStringList{"1"});
                app.dialogs.answerYes();
            }
            ui::menu(app.window.get(), how);
            QTRY_VERIFY_WITH_TIMEOUT(
                !app.dialogs.boxes.isEmpty() && app.dialogs.boxes.last().text == cancelled, 10000);
            QVERIFY(!cancel->isEnabled());
            QTRY_COMPARE(sessions(""), QStringList{"0"});
            app.dialogs.take();
        }
        QCOMPARE(agencysync::pendingOrders(app.db()).value(), 3);

        // The end of the program, a sync waiting.
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_COMPARE_WITH_TIMEOUT(sessions(" AND wait_event_type = 'Lock'"), QStringList{"1"},
                                  10000);
        app.dialogs.answerYes();
        QElapsedTimer ending;
        ending.start();
        ui::menu(app.window.get(), "Chiudi");
        QVERIFY2(ending.elapsed() < 10000, qPrintable(QString::number(ending.elapsed())));
        QVERIFY(!app.ctx.connected());
        QTRY_COMPARE(sessions(""), QStringList{"0"});
        QCOMPARE(app.dialogs.take().size(), 1);
        QVERIFY(Database::open(app.dir.dbPath(), schema::password()));
        office->rollback();
        QVERIFY(app.dialogs.unexpected.isEmpty());
    }

    // An order whose data the server refuses is named in a box of its own after the sync's.
    void anOrderTheServerRefusesIsNamed() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        App app;
        QVERIFY(app.started);
        annaOn(app, db);
        synckit::addOrders(app.db(), 1, 3, 1, QStringLiteral("VIETATO"));
        synckit::addOrders(app.db(), 4, 1, 1);
        QVERIFY(pgkit::connect(pgkit::admin(db))
                    ->command("ALTER TABLE ordine_riga ADD CONSTRAINT nota"
                              " CHECK (note IS NULL OR note <> 'VIETATO')"));
        ui::menu(app.window.get(), "Sincronizza");
        QTRY_COMPARE_WITH_TIMEOUT(app.dialogs.boxes.size(), 2, 30000);
        const auto boxes = app.dialogs.take();
        QVERIFY2(boxes[0].text.startsWith(QStringLiteral("Sincronizzazione completata: 1 ordini "
                                                         "inviati,")),
                 qPrintable(boxes[0].text));
        QString refused;
        for (int nr = 1; nr <= 3; ++nr)
            refused += QStringLiteral("\nl'ordine %1/2026 non è stato inviato: il server non ne "
                                      "accetta i dati. Dettaglio: new row for relation "
                                      "\"ordine_riga\" violates check constraint \"nota\"")
                           .arg(nr);
        QCOMPARE(boxes[1].text, QStringLiteral("Sincronizzazione completata tranne 3 ordini, che "
                                               "restano da inviare:") +
                                    refused);
        QCOMPARE(boxes[1].icon, BoxIcon::Exclamation);
        QCOMPARE(agencysync::pendingOrders(app.db()).value(), 3);
    }

    // Orders changed on two machines of the agent: the copies kept on the server are listed with
    // their computer and lines; one is dismissed, the other taken as the order and sent up.
    void copiesOfConflictingOrders() {
        const QString db = synckit::agencyWithCatalogue({QStringLiteral("Anna")});
        App app;
        QVERIFY(app.started);
        syncsettings::Settings desk;
        desk.server = pgkit::agent(db, QStringLiteral("Anna"));
        desk.minutes = 0;
        QVERIFY(syncsettings::save(app.db(), desk));
        QVERIFY(app.ctx.secrets.keep(app.db(), secrets::Account::Server, desk.server.password));
        ui::menu(app.window.get(), "CopieInConflitto");
        QCOMPARE(app.dialogs.take().value(0).text,
                 QStringLiteral("Sul server non ci sono copie in conflitto."));

        synckit::Machine laptop(pgkit::agent(db, QStringLiteral("Anna")));
        exec(*laptop.dir.open(), "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('macchina',"
                                 " 'portatile');");
        exec(app.db(), "INSERT INTO SYNC_STATO (CHIAVE, VALORE) VALUES ('macchina', 'scrivania');");
        synckit::addOrders(app.db(), 10, 2, 2);
        auto deskSync = [&] { return agencysync::run(app.db(), *pgkit::connect(desk.server)); };
        QVERIFY(deskSync());
        QVERIFY(synckit::sync(laptop));
        // The laptop's change is the earlier one: the desk's wins, the laptop's becomes a copy.
        exec(*laptop.dir.open(), "UPDATE ORDINE SET NOTE = 'dal portatile' WHERE NR IN ('10',"
                                 " '11');");
        QTest::qWait(20);
        exec(app.db(), "UPDATE ORDINE SET NOTE = 'dalla scrivania' WHERE NR IN ('10', '11');");
        QVERIFY(deskSync());
        auto lost = synckit::sync(laptop);
        QVERIFY(lost && lost->conflicts.size() == 2);

        ui::menu(app.window.get(), "CopieInConflitto");
        QWidget* w = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("CopieConflitto") && top->isVisible())
                w = top;
        QVERIFY(w);
        auto* list = w->findChild<QTableWidget*>(QStringLiteral("CopieElenco"));
        auto* lines = w->findChild<QTableWidget*>(QStringLiteral("CopieRighe"));
        QCOMPARE(list->rowCount(), 2);
        auto cells = [](QTableWidget* t, int row) {
            QStringList out;
            for (int c = 0; c < t->columnCount(); ++c)
                out << t->item(row, c)->text();
            return out;
        };
        const QStringList first = cells(list, 0);
        QCOMPARE(first.value(0) + first.value(1) + first.value(3) + first.value(4),
                 QStringLiteral("102026portatile2"));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d$"))
                     .match(first.value(2))
                     .hasMatch(),
                 qPrintable(first.value(2)));
        QCOMPARE(lines->rowCount(), 2);
        QCOMPARE(cells(lines, 1), (QStringList{"C1", "Articolo\t1\n", "0,666666666666667", "",
                                               "0,3", "", "dal portatile"}));

        // Order 11's copy: dismissed once the agent agrees.
        list->selectRow(1);
        const QString copy11 =
            QStringLiteral("la copia dell'ordine 11 dell'anno 2026 cambiata il %1 su portatile")
                .arg(cells(list, 1).value(2));
        app.dialogs.answerNo();
        ui::click(w->findChild<QPushButton*>(QStringLiteral("CopiaScarta")));
        app.dialogs.answerYes();
        ui::click(w->findChild<QPushButton*>(QStringLiteral("CopiaScarta")));
        QCOMPARE(app.dialogs.questionDefaults(), (QStringList{"No", "No"}));
        auto boxes = app.dialogs.take();
        QCOMPARE(boxes.size(), 2);
        for (const auto& b : boxes)
            QCOMPARE(
                b.text,
                QStringLiteral("Scartare %1? La copia non si potrà più recuperare.").arg(copy11));
        QCOMPARE(list->rowCount(), 1);
        auto admin = pgkit::connect(pgkit::admin(db));
        QCOMPARE(pgkit::rows(*admin, "SELECT nr FROM ordine_copia"), QStringList{"10"});

        // Order 10's copy: taken as the order, it goes up and wins.
        list->selectRow(0);
        app.dialogs.answerYes();
        ui::click(w->findChild<QPushButton*>(QStringLiteral("CopiaUsa")));
        boxes = app.dialogs.take();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("L'ordine 10 dell'anno 2026 di questo computer sarà sostituito da "
                                "la copia dell'ordine 10 dell'anno 2026 cambiata il %1 su "
                                "portatile. Continuare?")
                     .arg(first.value(2)));
        QCOMPARE(boxes[1].text, QStringLiteral("L'ordine 10 dell'anno 2026 ora è quello della "
                                               "copia: sarà inviato al server con la "
                                               "sincronizzazione."));
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(value(app.db(), "SELECT group_concat(DISTINCT NOTE) FROM ORDINE WHERE NR = '10';"),
                 QStringLiteral("dal portatile"));
        QTRY_COMPARE_WITH_TIMEOUT(
            pgkit::rows(*admin, "SELECT DISTINCT note, o.macchina FROM ordine_riga r JOIN ordine o"
                                " USING (agente, anno, nr) WHERE nr = '10'"),
            QStringList{"dal portatile|scrivania"}, 30000);
        QTRY_VERIFY(
            !app.window->statusBar()->currentMessage().contains(QStringLiteral("in corso")));
        QVERIFY(synckit::sync(laptop));
        QCOMPARE(synckit::disagreement(laptop), QString());
        QCOMPARE(pgkit::rows(*admin, "SELECT count(*) FROM ordine_copia"), QStringList{"0"});
        QVERIFY2(app.dialogs.boxes.isEmpty() && app.dialogs.unexpected.isEmpty(),
                 qPrintable(app.dialogs.describe()));
    }
};

QTEST_MAIN(TestSyncWindow)
#include "tst_syncwindow.moc"
