// "Invia ordine…" from the window, to the real test server: the dialog's fields, the sending
// off the window's thread, the boxes, and the record; a failure leaves the order "Non inviato".
#include "MailKit.h"
#include "app/Gestione.h"
#include "mail/MailSettings.h"
#include "mail/MailSettingsDialog.h"
#include "mail/OrderMailCommands.h"
#include "mail/PendingOrdersDialog.h"
#include "mail/SendOrderDialog.h"
#include "mail/SendRecord.h"
#include "orders/OrderPanel.h"
#include "orders/YearPanel.h"
#include "search/SearchWindow.h"
#include "sheets/SheetKit.h"
#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"
#include "ui/widgets/ReportList.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

using namespace mail;

class TestSendOrder : public QObject {
    Q_OBJECT
    SmtpFixture fx = SmtpFixture::load();

public:
    // The sending a killed program leaves: the window on a fresh file sends order 12 under
    // `subject` to the server on `port`. It tells its folder and its home, then that it sends,
    // then that the sending ended, and leaves both behind for the test that kills it.
    int sendToBeKilled(int port, const QString& subject) {
        App app;
        prepare(app);
        sendUnder(app, port, subject, [] {
            std::printf("invio\n");
            std::fflush(stdout);
        });
        OrderMailCommands* c = app.window->mailCommands;
        std::printf("%s\n%s\n", qPrintable(app.dir.path()), qgetenv("HOME").constData());
        std::fflush(stdout);
        c->sendOrder("2026", "12");
        std::printf("fine\n");
        std::fflush(stdout);
        std::_Exit(0);
    }

private:
    // The window with order 12 of customer 101 chosen in "Stampa Ordine", its principal, the
    // customer's card and the settings of the test server.
    void prepare(App& app, const char* password = "Segreta-123",
                 settings::Way way = settings::Way::Smtp) {
        exec(app.db(), "INSERT OR IGNORE INTO CLIENTE (CODICE, SOGGETTO) VALUES ('101', "
                       "'ALIMENTARI D''ANGELO');");
        exec(app.db(), "INSERT INTO MANDANTE (NOME, EMAIL) VALUES ('Dolciaria Spa', "
                       "'ordini@mandante.it');");
        exec(app.db(), "INSERT INTO SCHEDA_CLIENTE (CODICE, EMAIL) VALUES ('101', "
                       "'angelo@cliente.it');");
        kit::Header h;
        h.nr = "12";
        h.datao = "2026-12-08";
        kit::storeOrder(app.db(), h, {{"CAFFÈ", "1001", 1.0, 3.0, 10.0, ""}});
        settings::Settings s = *settings::load(app.db());
        s.server = fx.server("starttls");
        s.senderAddress = QStringLiteral("agente@prova.it");
        s.way = way;
        QVERIFY(settings::save(app.db(), s));
        QVERIFY(
            app.ctx.secrets.keep(app.db(), secrets::Account::Mail, QString::fromUtf8(password)));
        app.window->mailCommands->caFile = fx.ca();
        ui::menu(app.window.get(), "StampaOrdine");
        QVERIFY(ui::choose(app.window->Frame7->Cbo7, "2026"));
        ui::clickRow(app.window->Frame3->ListView5, 0);
    }

    // The orders go to the plain server on `port`, their message under `subject`; `atDialog`
    // runs as the message's dialog is accepted.
    void sendUnder(App& app, int port, const QString& subject,
                   const std::function<void()>& atDialog = {}) {
        MailServer server = fx.server("plain");
        server.port = port;
        pointAt(app, server);
        app.window->mailCommands->runDialog = [subject, atDialog](QDialog& d) {
            static_cast<SendOrderDialog&>(d).InvioOggetto->setText(subject);
            if (atDialog)
                atDialog();
            return true;
        };
    }
    // The settings' server replaced by `server`.
    static void pointAt(App& app, const MailServer& server) {
        settings::Settings s = *settings::load(app.db());
        s.server = server;
        QVERIFY(settings::save(app.db(), s));
    }
    // The subject of the next message, marked so that the server's arrivals can be counted.
    static QString markSubject(SendOrderDialog& d) {
        const QString subject =
            QStringLiteral("Ordine %1 %2")
                .arg(d.windowTitle(), QString::number(QDateTime::currentMSecsSinceEpoch()));
        d.InvioOggetto->setText(subject);
        return subject;
    }
    // The busy box of the sending, when it is there.
    static QDialog* busyBox(App& app) {
        return app.window->findChild<QDialog*>(QStringLiteral("InvioInCorso"));
    }
    static QString uncertainAdvice(const char* order) {
        return QStringLiteral("L'ordine %1 risulta \"Invio incerto\" e non sarà inviato di nuovo "
                              "da solo: chiedere al mandante se l'ha ricevuto, poi scegliere "
                              "\"Segna come inviato\" o \"Invia di nuovo\" in \"Ordini da "
                              "inviare…\".")
            .arg(QLatin1String(order));
    }
    // "Ordini da inviare…" driven by `steps` while its dialog is open.
    static void withPendingOrders(App& app,
                                  const std::function<void(PendingOrdersDialog&)>& steps) {
        OrderMailCommands* c = app.window->mailCommands;
        const auto before = c->runDialog;
        // The message dialogs of the orders it sends are run as before.
        c->runDialog = [&](QDialog& d) {
            auto* list = qobject_cast<PendingOrdersDialog*>(&d);
            if (!list)
                return before(d);
            steps(*list);
            return true;
        };
        c->OrdiniDaInviare->trigger();
        c->runDialog = before;
    }
    static QStringList shown(QTreeWidget* list) {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(1);
        return out;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY2(fx.ok(), "the test SMTP server is not running"); }

    // The program killed at random moments of a sending to a server slow at every step: at the
    // next start the order is sent, not sent or uncertain as the server saw it (an attempt cut
    // short is told), and "Ordini da inviare…" sends it only when it was not sent.
    void killedWhileSending() {
        QMap<QString, int> seen;
        const int rounds = 6;
        for (int round = 0; round < rounds; ++round) {
            const int port = fx.scripted(R"({"delay": {"greeting": 0.1, "ehlo": 0.1, )"
                                         R"("mail": 0.1, "rcpt": 0.1, "data": 0.1, "end": 0.6}})");
            QVERIFY(port > 0);
            const QString subject = QStringLiteral("Ordine ucciso %1 %2")
                                        .arg(round)
                                        .arg(QDateTime::currentMSecsSinceEpoch());
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--invio-ucciso"), QString::number(port), subject});
            QByteArray said;
            auto readUntil = [&](const QByteArray& line) {
                while (!said.contains(line) && child.waitForReadyRead(20000))
                    said += child.readAllStandardOutput();
                return said.contains(line);
            };
            QVERIFY(readUntil("\ninvio\n"));
            const QList<QByteArray> told = said.split('\n');
            const QString folder = QString::fromLocal8Bit(told.value(0));
            const QString home = QString::fromLocal8Bit(told.value(1));
            QVERIFY(!folder.isEmpty() && !home.isEmpty());
            // Spread over the whole sending (about a second and a half), a little at random.
            const int wait = round * 300 + int(QRandomGenerator::global()->bounded(200));
            QTest::qWait(wait);
            child.kill();
            child.waitForFinished(10000);
            said += child.readAllStandardOutput();
            // What the killed program's connection still carried reaches the server.
            QTest::qWait(300);
            const int arrived = fx.arrivals(subject);
            QVERIFY2(arrived <= 1, qPrintable(subject));

            bool leftInProgress = false;
            App app(TestDir::Content::None, [&](App& a) {
                for (const char* name : {"/Ordine.mdb", "/Ordine.mdb-wal"})
                    if (QFile::exists(folder + QLatin1String(name)))
                        QVERIFY(QFile::copy(folder + QLatin1String(name),
                                            a.dir.path() + QLatin1String(name)));
                auto db = a.dir.open();
                leftInProgress = value(*db, "SELECT COUNT(*) FROM INVIO WHERE ESITO = 'in "
                                            "corso';") != "0";
            });
            QDir(folder).removeRecursively();
            QDir(home).removeRecursively();
            QVERIFY(app.started);
            const QString state = *sendrecord::stateText(app.db(), "2026", "12");
            const QString kind = state.startsWith("Inviato")         ? "inviato"
                                 : state.startsWith("Invio incerto") ? "incerto"
                                                                     : "non inviato";
            seen[kind] += 1;
            const QString where = QStringLiteral("after %1 ms: %2, %3 at the server, %4")
                                      .arg(wait)
                                      .arg(state)
                                      .arg(arrived)
                                      .arg(app.dialogs.describe());
            if (kind == "inviato")
                QVERIFY2(arrived == 1, qPrintable(where));
            if (kind == "non inviato")
                QVERIFY2(arrived == 0 && state == "Non inviato", qPrintable(where));
            QCOMPARE(app.dialogs.boxes.size(), leftInProgress ? 1 : 0);
            if (leftInProgress)
                QVERIFY2(app.dialogs.boxes.first().text.contains(
                             "si è interrotto con la chiusura del programma: esito incerto: il "
                             "server potrebbe averlo ricevuto."),
                         qPrintable(where));
            QVERIFY2(!leftInProgress || kind == "incerto", qPrintable(where));

            // The round sends it only when it was not sent; never an uncertain one.
            app.dialogs.clear();
            sendUnder(app, port, subject);
            withPendingOrders(app, [&](PendingOrdersDialog& w) {
                QCOMPARE(shown(w.DaInviareLista),
                         kind == "non inviato" ? QStringList{"12/2026"} : QStringList());
                QCOMPARE(shown(w.DaInviareIncerti),
                         kind == "incerto" ? QStringList{"12/2026"} : QStringList());
            });
            QCOMPARE(fx.arrivals(subject), arrived);
        }
        qInfo() << "outcomes of the kills:" << seen;
    }

    void sentFromTheWindow() {
        App app;
        OrderMailCommands* c = app.window->mailCommands;
        QVERIFY(!c->InviaOrdine->isEnabled());
        prepare(app);
        QVERIFY(c->InviaOrdine->isEnabled());
        QCOMPARE(c->InviaOrdine->shortcut(), QKeySequence("Ctrl+E"));
        QVERIFY(app.window->Frame3->actions().contains(c->InviaOrdine));

        QString subject;
        c->runDialog = [&](QDialog& d) {
            auto& dialog = static_cast<SendOrderDialog&>(d);
            [&] {
                QCOMPARE(dialog.InvioA->currentText(), QStringLiteral("ordini@mandante.it"));
                QCOMPARE(dialog.InvioCc->text(), QStringLiteral("angelo@cliente.it"));
                QCOMPARE(dialog.InvioOggetto->text(),
                         QStringLiteral("Ordine n. 12 del 08/12/2026 - ALIMENTARI D'ANGELO"));
                QCOMPARE(dialog.InvioAllegati->text(),
                         QStringLiteral("Ordine 2026-12.pdf, Ordine 2026-12.xlsx"));
                QVERIFY(dialog.InvioTesto->toPlainText().contains(
                    QStringLiteral("per un totale di 30,00 euro.")));
            }();
            subject =
                QStringLiteral("Ordine 12 ") + QString::number(QDateTime::currentMSecsSinceEpoch());
            dialog.InvioOggetto->setText(subject);
            return true;
        };
        c->InviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message(QStringLiteral("Ordine 12/2026 inviato a ordini@mandante.it, "
                                               "angelo@cliente.it."),
                                "Invia ordine", BoxIcon::Information));
        QVERIFY(fx.anyWithSubject(subject));
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"),
                 QStringLiteral("Inviato il 08/12/2026 alle 10:30 a ordini@mandante.it, "
                                "angelo@cliente.it"));
    }

    // The state on the order panel's label and in the search window, which sends the order
    // chosen among those found (context menu, Ctrl+E).
    void stateInPanelAndSearch() {
        App app;
        prepare(app);
        OrderMailCommands* c = app.window->mailCommands;
        QCOMPARE(c->LStatoInvio->text(), QStringLiteral("Non inviato"));
        QVERIFY(c->LStatoInvio->isVisible());
        SearchWindow* w = app.window->Cerca;
        w->present();
        QCOMPARE(w->CercaInviaOrdine->shortcut(), QKeySequence("Ctrl+E"));
        QVERIFY(w->ListaOrdini->actions().contains(w->CercaInviaOrdine));
        w->CercaInviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Scegliere prima l'ordine da inviare tra gli ordini trovati o "
                                "nello storico di un cliente.",
                                "Invia ordine", BoxIcon::Exclamation));
        app.dialogs.clear();
        ui::type(w->TestoCerca, QStringLiteral("ANGELO"));
        QVERIFY(w->ListaOrdini->report()->rows() > 0);
        ui::clickRow(w->ListaOrdini, 0);
        QCOMPARE(w->StatoInvio->text(), QStringLiteral("Ordine 12/2026: Non inviato"));
        c->runDialog = [](QDialog&) { return true; };
        w->CercaInviaOrdine->trigger();
        const QString sent = QStringLiteral(
            "Inviato il 08/12/2026 alle 10:30 a ordini@mandante.it, angelo@cliente.it");
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Ordine 12/2026 inviato a ordini@mandante.it, angelo@cliente.it.",
                                "Invia ordine", BoxIcon::Information));
        QCOMPARE(w->StatoInvio->text(), QStringLiteral("Ordine 12/2026: ") + sent);
        QCOMPARE(c->LStatoInvio->text(), sent);
        exec(app.db(), "UPDATE ORDINE SET QVENDITA = 2 WHERE NR = '12';");
        w->showSendingState();
        QCOMPARE(w->StatoInvio->text(),
                 QStringLiteral("Ordine 12/2026: ") + sent + ", modificato dopo l'invio");
    }

    // The PDF and the workbook of a large order are written while the window's events go on:
    // a timer ticks between the choice of the command and the dialog.
    void filesAreWrittenOffTheWindowsThread() {
        App app;
        prepare(app);
        QList<kit::Line> lines;
        for (int i = 0; i < 200; ++i)
            lines.append({QStringLiteral("ARTICOLO %1").arg(i), QString::number(2000 + i), 1.0, 2.0,
                          3.5, ""});
        kit::Header h;
        h.nr = "14";
        kit::storeOrder(app.db(), h, lines);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(0);
        int atDialog = -1;
        QString attached;
        OrderMailCommands* c = app.window->mailCommands;
        c->runDialog = [&](QDialog& d) {
            atDialog = ticks;
            attached = static_cast<SendOrderDialog&>(d).InvioAllegati->text();
            return false;
        };
        QVERIFY(!c->sendOrder("2026", "14"));
        QCOMPARE(attached, QStringLiteral("Ordine 2026-14.pdf, Ordine 2026-14.xlsx"));
        QVERIFY2(atDialog > 0, qPrintable(QString::number(atDialog)));
    }

    // A refusal: its box in Italian, naming the step and quoting the server, and the order
    // stays "Non inviato" (the attempt is kept as not sent).
    void failureLeavesItUnsent_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected");
        QTest::newRow("password sbagliata")
            << QByteArray()
            << "Il server di posta ha rifiutato il nome utente o la password (535 "
               "5.7.8 Authentication credentials invalid): messaggio non "
               "inviato.\nControllare utente e password in \"Impostazioni "
               "invio\".";
        QTest::newRow("server occupato")
            << QByteArray(R"({"reply": {"greeting": "421 4.3.2 Troppe connessioni"}})")
            << "Il server di posta è occupato (421 4.3.2 Troppe connessioni): riprovare più "
               "tardi. Messaggio non inviato.";
        QTest::newRow("mittente rinviato")
            << QByteArray(R"({"reply": {"mail": "451 4.3.0 Riprovare"}})")
            << "Il server di posta non accetta per ora il mittente agente@prova.it (451 4.3.0 "
               "Riprovare): riprovare più tardi. Messaggio non inviato.";
        QTest::newRow("messaggio rifiutato")
            << QByteArray(R"({"reply": {"end": "554 5.7.1 Virus trovato"}})")
            << "Il server di posta ha rifiutato il messaggio (554 5.7.1 Virus trovato): messaggio "
               "non inviato.";
    }
    void failureLeavesItUnsent() {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        App app;
        prepare(app, "Sbagliata");
        if (!script.isEmpty())
            pointAt(app, fx.scriptedServer(script));
        OrderMailCommands* c = app.window->mailCommands;
        c->runDialog = [](QDialog&) { return true; };
        c->InviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message(expected, "Invia ordine", BoxIcon::Critical));
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"), QStringLiteral("Non inviato"));
        QCOMPARE(c->LStatoInvio->text(), QStringLiteral("Non inviato"));
        QCOMPARE(value(app.db(), "SELECT GROUP_CONCAT(ESITO) FROM INVIO;"),
                 QStringLiteral("non inviato"));
    }

    // While the server takes its time over the reply to the end of the message, the busy box
    // with "Annulla" stays, and the order cannot be sent again meanwhile: one message, one
    // record. A server that stops reading in the middle of the message leaves the box too, and
    // its "Annulla" ends the sending, which is certainly not sent.
    void busyUntilTheServerReplies() {
        App app;
        prepare(app);
        pointAt(app, fx.scriptedServer(R"({"delay": {"end": 2}})"));
        OrderMailCommands* c = app.window->mailCommands;
        QString subject;
        c->runDialog = [&](QDialog& d) {
            subject = markSubject(static_cast<SendOrderDialog&>(d));
            return true;
        };
        QStringList seen;
        bool again = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            QDialog* box = busyBox(app);
            if (!box || !box->isVisible())
                return;
            const QString step = box->findChild<QLabel*>("InvioFase")->text();
            if (seen.isEmpty() || seen.last() != step)
                seen << step;
            if (step.contains(QLatin1String("conferma")) && !again) {
                again = true;
                c->InviaOrdine->trigger();
            }
        });
        watch.start(50);
        c->InviaOrdine->trigger();
        watch.stop();
        QVERIFY(again);
        QCOMPARE(seen.last(), QStringLiteral("Il messaggio è al server di posta: attesa della sua "
                                             "conferma (può richiedere alcuni minuti).\nAnnullando "
                                             "ora, non si saprà se il server l'ha ricevuto."));
        QVERIFY(!busyBox(app) || !busyBox(app)->isVisible());
        QCOMPARE(app.dialogs.describe(),
                 boxes::seq({boxes::message("L'ordine 12/2026 è già in corso di invio: attendere "
                                            "la risposta del server di posta.",
                                            "Invia ordine", BoxIcon::Exclamation),
                             boxes::message("Ordine 12/2026 inviato a ordini@mandante.it, "
                                            "angelo@cliente.it.",
                                            "Invia ordine", BoxIcon::Information)}));
        QCOMPARE(fx.arrivals(subject), 1);
        QCOMPARE(value(app.db(), "SELECT GROUP_CONCAT(ESITO) FROM INVIO;"), "inviato");

        // A server that stops reading half-way: the box's "Annulla".
        app.dialogs.clear();
        pointAt(app, fx.scriptedServer(R"({"stall_after": 20000})"));
        kit::Header h;
        h.nr = "15";
        QList<kit::Line> lines;
        for (int i = 0; i < 200; ++i)
            lines.append({QStringLiteral("ARTICOLO %1").arg(i), QString::number(2000 + i), 1.0, 2.0,
                          3.5, ""});
        kit::storeOrder(app.db(), h, lines);
        QTimer cancel;
        QElapsedTimer shownFor;
        connect(&cancel, &QTimer::timeout, [&] {
            QDialog* box = busyBox(app);
            if (!box || !box->isVisible())
                return;
            if (!shownFor.isValid())
                shownFor.start();
            else if (shownFor.elapsed() > 2500)
                QTest::mouseClick(box->findChild<QPushButton*>("InvioInCorsoAnnulla"),
                                  Qt::LeftButton);
        });
        cancel.start(100);
        QVERIFY(!c->sendOrder("2026", "15"));
        cancel.stop();
        QVERIFY(shownFor.isValid());
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Invio annullato dall'utente: messaggio non inviato.",
                                "Invia ordine", BoxIcon::Critical));
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "15"), QStringLiteral("Non inviato"));
    }

    // The server keeps the message and drops the line before replying: nobody knows whether it
    // took it. The order says so, is left out of "Ordini da inviare…" and of a new "Invia ordine…"
    // unless the agent says so, until it is marked as sent or sent again.
    void uncertainOutcome() {
        App app;
        prepare(app);
        kit::Header h;
        h.nr = "13";
        h.datao = "2026-12-07";
        kit::storeOrder(app.db(), h, {{"ZUCCHERO", "1002", 1.0, 2.0, 5.0, ""}});
        pointAt(app, fx.scriptedServer(R"({"drop_after_store": true})"));
        OrderMailCommands* c = app.window->mailCommands;
        QStringList subjects;
        c->runDialog = [&](QDialog& d) {
            subjects << markSubject(static_cast<SendOrderDialog&>(d));
            return true;
        };
        const QString port = QString::number(settings::load(app.db())->server.port);
        const QString dropped =
            "La connessione con il server di posta 127.0.0.1 (porta " + port +
            ") si è interrotta dopo l'invio del messaggio, prima della conferma: esito incerto: il "
            "server potrebbe averlo ricevuto.\n";
        for (const char* nr : {"12", "13"})
            QVERIFY(!c->sendOrder("2026", nr));
        QCOMPARE(app.dialogs.describe(),
                 boxes::seq({boxes::message(dropped + uncertainAdvice("12/2026"), "Invia ordine",
                                            BoxIcon::Exclamation),
                             boxes::message(dropped + uncertainAdvice("13/2026"), "Invia ordine",
                                            BoxIcon::Exclamation)}));
        const QString uncertain = QStringLiteral(
            "Invio incerto del 08/12/2026 alle 10:30 a ordini@mandante.it, angelo@cliente.it");
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"), uncertain);
        QCOMPARE(c->LStatoInvio->text(), uncertain);
        QCOMPARE(fx.arrivals(subjects[0]), 1);
        app.dialogs.clear();

        // "Invia ordine…" asks first; No sends nothing.
        pointAt(app, fx.server("plain"));
        app.dialogs.answerNo();
        c->InviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::one(ScriptedDialogs::Kind::Question,
                            "L'invio dell'ordine 12/2026 del 08/12/2026 alle 10:30 ha esito "
                            "incerto: il server potrebbe averlo ricevuto.\nInviarlo di nuovo? Se "
                            "il mandante l'ha già ricevuto, lo riceverà due volte.",
                            "Invia ordine", BoxIcon::Exclamation));
        QCOMPARE(app.dialogs.questionDefaults(), QStringList{"No"});
        QCOMPARE(subjects.size(), 2);
        app.dialogs.clear();

        // Apart in "Ordini da inviare…", never in the round; marked, or sent again.
        withPendingOrders(app, [&](PendingOrdersDialog& w) {
            QCOMPARE(shown(w.DaInviareLista), QStringList());
            QCOMPARE(shown(w.DaInviareIncerti), QStringList({"12/2026", "13/2026"}));
            QCOMPARE(w.DaInviareIncerti->topLevelItem(0)->text(3), "08/12/2026 10:30");
            QTest::mouseClick(w.DaInviareInvia, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::message("Nel periodo scelto non ci sono ordini da inviare.",
                                    "Ordini da inviare", BoxIcon::Information));
            app.dialogs.clear();
            w.DaInviareIncerti->setCurrentItem(w.DaInviareIncerti->topLevelItem(1));
            app.dialogs.answerYes();
            QTest::mouseClick(w.DaInviareSegna, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::question("Segnare l'ordine 13/2026 come inviato? Farlo solo se il "
                                     "mandante l'ha ricevuto.",
                                     "Ordini da inviare"));
            QCOMPARE(shown(w.DaInviareIncerti), QStringList({"12/2026"}));
            app.dialogs.clear();
            w.DaInviareIncerti->setCurrentItem(w.DaInviareIncerti->topLevelItem(0));
            QTest::mouseClick(w.DaInviareDiNuovo, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::message("Ordine 12/2026 inviato a ordini@mandante.it, "
                                    "angelo@cliente.it.",
                                    "Invia ordine", BoxIcon::Information));
            QCOMPARE(shown(w.DaInviareIncerti), QStringList());
        });
        QCOMPARE(fx.arrivals(subjects[2]), 1);
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"),
                 QStringLiteral("Inviato il 08/12/2026 alle 10:30 a ordini@mandante.it, "
                                "angelo@cliente.it"));
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "13"),
                 QStringLiteral("Inviato il 08/12/2026 alle 10:30 a ordini@mandante.it, "
                                "angelo@cliente.it (segnato come inviato)"));
        QCOMPARE(value(app.db(), "SELECT GROUP_CONCAT(ESITO) FROM INVIO;"),
                 "incerto,segnato,inviato");
    }

    // A sent order deleted keeps its sending as history; the next order given its number is
    // not sent, and is offered to be sent. A line deleted from a sent order leaves it sent,
    // changed since.
    void reusedNumberIsNotSent() {
        App app;
        prepare(app);
        OrderMailCommands* c = app.window->mailCommands;
        c->runDialog = [](QDialog&) { return true; };
        kit::Header h;
        h.nr = "12";
        h.datao = "2026-12-08";
        kit::storeOrder(app.db(), h, {{"ZUCCHERO", "1002", 1.0, 2.0, 5.0, ""}});
        QVERIFY(c->sendOrder("2026", "12"));
        exec(app.db(), "DELETE FROM ORDINE WHERE ANNO = '2026' AND NR = '12' AND CODICE = '1002';");
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"),
                 QStringLiteral("Inviato il 08/12/2026 alle 10:30 a ordini@mandante.it, "
                                "angelo@cliente.it, modificato dopo l'invio"));
        exec(app.db(), "DELETE FROM ORDINE WHERE ANNO = '2026' AND NR = '12';");
        kit::storeOrder(app.db(), h, {{"FARINA", "1003", 1.0, 2.0, 5.0, ""}});
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"), QStringLiteral("Non inviato"));
        QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM INVIO;"), "1");
        QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM IDENTITA_ORDINE WHERE CANCELLATO_IL IS NOT "
                                 "NULL;"),
                 "1");
        app.dialogs.clear();
        withPendingOrders(app, [&](PendingOrdersDialog& w) {
            QCOMPARE(shown(w.DaInviareLista), QStringList({"12/2026"}));
        });
    }

    // Every order not sent of the period chosen, newest first; the round sends those checked,
    // one after another.
    void pendingOfAPeriod() {
        App app;
        prepare(app);
        OrderMailCommands* c = app.window->mailCommands;
        c->runDialog = [](QDialog&) { return true; };
        QVERIFY(c->sendOrder("2026", "12"));
        for (const auto& [nr, date] :
             QList<std::pair<const char*, const char*>>{{"13", "2026-12-01"},
                                                        {"14", "2026-11-20"},
                                                        {"15", "2026-06-01"},
                                                        {"16", "2026-11-20"}}) {
            kit::Header h;
            h.nr = nr;
            h.datao = date;
            kit::storeOrder(app.db(), h, {{"ZUCCHERO", "1002", 1.0, 2.0, 5.0, ""}});
        }
        kit::Header old;
        old.anno = "2025";
        old.nr = "40";
        old.datao = "2025-12-20";
        kit::storeOrder(app.db(), old, {{"ZUCCHERO", "1002", 1.0, 2.0, 5.0, ""}});
        app.dialogs.clear();
        withPendingOrders(app, [&](PendingOrdersDialog& w) {
            QCOMPARE(w.DaInviarePeriodo->currentText(), "Ultimo mese");
            QCOMPARE(shown(w.DaInviareLista), QStringList({"13/2026", "16/2026", "14/2026"}));
            QCOMPARE(w.DaInviareLista->topLevelItem(0)->text(0), "01/12/2026");
            QCOMPARE(w.DaInviareLista->topLevelItem(0)->text(2), "ALIMENTARI D'ANGELO");
            w.DaInviarePeriodo->setCurrentText("Quest'anno");
            QCOMPARE(shown(w.DaInviareLista),
                     QStringList({"13/2026", "16/2026", "14/2026", "15/2026"}));
            w.DaInviarePeriodo->setCurrentText("Tutti");
            QCOMPARE(shown(w.DaInviareLista),
                     QStringList({"13/2026", "16/2026", "14/2026", "15/2026", "40/2025"}));
            w.DaInviarePeriodo->setCurrentText("Ultima settimana");
            QCOMPARE(shown(w.DaInviareLista), QStringList());
            w.DaInviarePeriodo->setCurrentText("Ultimo mese");
            w.DaInviareLista->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
            app.dialogs.answerYes();
            QTest::mouseClick(w.DaInviareInvia, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::seq({boxes::question("Inviare ora 2 ordini, uno dopo l'altro?\n"
                                                 "13/2026, 14/2026",
                                                 "Ordini da inviare"),
                                 boxes::message("Ordini inviati: 13/2026, 14/2026.",
                                                "Ordini da inviare", BoxIcon::Information)}));
            QCOMPARE(shown(w.DaInviareLista), QStringList({"16/2026"}));
        });
        QCOMPARE(value(app.db(), "SELECT GROUP_CONCAT(NR) FROM INVIO;"), "12,13,14");
    }

    // The record of the attempt cannot be written (a full disk): nothing goes. The record of
    // the outcome cannot be written after the server took the message: the box says it was
    // sent, and the order stays uncertain rather than unsent.
    void recordThatCannotBeWritten() {
        App app;
        prepare(app);
        OrderMailCommands* c = app.window->mailCommands;
        QString subject;
        c->runDialog = [&](QDialog& d) {
            subject = markSubject(static_cast<SendOrderDialog&>(d));
            return true;
        };
        exec(app.db(), "CREATE TEMP TRIGGER PIENO BEFORE INSERT ON INVIO BEGIN "
                       "SELECT RAISE(ABORT, 'database or disk is full'); END;");
        QVERIFY(!c->sendOrder("2026", "12"));
        const QString refused = app.dialogs.describe();
        QVERIFY2(refused.startsWith("[message|L'invio non si può registrare (") &&
                     refused.endsWith("): messaggio non inviato.|Invia ordine|3]"),
                 qPrintable(refused));
        QCOMPARE(fx.arrivals(subject), 0);
        QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM INVIO;"), "0");
        exec(app.db(), "DROP TRIGGER PIENO;");
        exec(app.db(), "CREATE TEMP TRIGGER PIENO BEFORE UPDATE ON INVIO BEGIN "
                       "SELECT RAISE(ABORT, 'database or disk is full'); END;");
        app.dialogs.clear();
        QVERIFY(c->sendOrder("2026", "12"));
        const QString kept = app.dialogs.describe();
        QVERIFY2(kept.startsWith("[message|L'ordine è stato inviato ma l'invio non è stato "
                                 "registrato: ") &&
                     kept.endsWith("\nL'ordine risulta \"Invio incerto\": sceglierne \"Segna "
                                   "come inviato\" in \"Ordini da inviare…\".|Invia ordine|2]"),
                 qPrintable(kept));
        QCOMPARE(fx.arrivals(subject), 1);
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"),
                 QStringLiteral("Invio incerto del 08/12/2026 alle 10:30 a ordini@mandante.it, "
                                "angelo@cliente.it"));
    }

    // "Impostazioni invio": "Prova" sends to the agent with what the fields say; a malformed
    // sender is refused and nothing stored; a server without protection only after the warning.
    void settingsDialog() {
        App app;
        OrderMailCommands* c = app.window->mailCommands;
        c->caFile = fx.ca();
        const QString warning = QStringLiteral(
            "Senza protezione il nome utente, la password e gli ordini viaggiano in chiaro e "
            "possono essere letti da altri sulla rete.\nUsare comunque il server senza "
            "protezione?");
        auto steps = [&](MailSettingsDialog& w) {
            w.ImpServer->setText("127.0.0.1");
            w.ImpSicurezza->setCurrentIndex(1);
            w.ImpPorta->setValue(fx.port("starttls"));
            w.ImpUtente->setText("agente");
            w.ImpPassword->setText("Segreta-123");
            w.ImpMittente->setText("agente@prova.it");
            QTest::mouseClick(w.ImpProva, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::message("Messaggio di prova inviato a agente@prova.it.",
                                    "Impostazioni invio", BoxIcon::Information));
            app.dialogs.clear();
            w.ImpMittente->setText("agente@prova");
            QTest::mouseClick(w.ImpSalva, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::message("L'indirizzo del mittente \"agente@prova\" non è un "
                                    "indirizzo e-mail valido.",
                                    "Impostazioni invio", BoxIcon::Critical));
            QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM IMPOSTAZIONE_INVIO;"), "0");
            app.dialogs.clear();
            w.ImpMittente->setText("agente@prova.it");
            w.ImpSicurezza->setCurrentIndex(2);
            app.dialogs.answerNo();
            QTest::mouseClick(w.ImpSalva, Qt::LeftButton);
            QCOMPARE(app.dialogs.describe(),
                     boxes::one(ScriptedDialogs::Kind::Question, warning, "Impostazioni invio",
                                BoxIcon::Exclamation));
            QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM IMPOSTAZIONE_INVIO;"), "0");
            app.dialogs.clear();
            w.ImpSicurezza->setCurrentIndex(1);
            QTest::mouseClick(w.ImpSalva, Qt::LeftButton);
        };
        c->runDialog = [&](QDialog& d) {
            steps(static_cast<MailSettingsDialog&>(d));
            return d.result() == QDialog::Accepted;
        };
        c->ImpostazioniInvio->trigger();
        QVERIFY2(app.dialogs.boxes.isEmpty(), qPrintable(app.dialogs.describe()));
        const settings::Settings s = *settings::load(app.db());
        QCOMPARE(s.server.port, fx.port("starttls"));
        QCOMPARE(s.server.security, Security::StartTls);
        // The password went to the keyring, not into the file.
        QCOMPARE(s.server.password, QString());
        QCOMPARE(app.keyring.entries.values(), QStringList{"Segreta-123"});
        QCOMPARE(s.senderAddress, QStringLiteral("agente@prova.it"));
    }

    // A server with an authority of its own: without it, the box names the certificate's
    // issuer and the way forward; its file chosen in "Impostazioni invio" (the desktop's file
    // chooser), the order goes.
    void serverWithItsOwnAuthority() {
        App app;
        prepare(app);
        OrderMailCommands* c = app.window->mailCommands;
        c->caFile.clear();
        MailServer server = fx.server("starttls");
        server.caFile.clear();
        pointAt(app, server);
        c->runDialog = [](QDialog&) { return true; };
        QVERIFY(!c->sendOrder("2026", "12"));
        QCOMPARE(app.dialogs.describe(),
                 boxes::message(
                     "Il certificato del server di posta 127.0.0.1 non è valido o non è "
                     "riconosciuto: messaggio non inviato.\nIl certificato del server è "
                     "rilasciato da \"Gestione Test CA\", un'autorità che questo computer non "
                     "conosce. Se è il server dell'ufficio, con un'autorità propria, farsi dare il "
                     "certificato dell'autorità (un file .crt o .pem) e sceglierlo in "
                     "\"Impostazioni invio\", \"Certificato dell'autorità (CA)…\".\nDettaglio: "
                     "SSL certificate problem: unable to get local issuer certificate",
                     "Invia ordine", BoxIcon::Critical));
        app.dialogs.clear();
        c->runDialog = [&](QDialog& d) {
            auto& w = static_cast<MailSettingsDialog&>(d);
            [&] {
                QCOMPARE(w.ImpScegliCertificato->text(), "Certificato dell'autorità (CA)…");
                app.dialogs.answerChoice(fx.ca());
                QTest::mouseClick(w.ImpScegliCertificato, Qt::LeftButton);
                QCOMPARE(w.ImpCertificato->text(), fx.ca());
                QTest::mouseClick(w.ImpSalva, Qt::LeftButton);
            }();
            return d.result() == QDialog::Accepted;
        };
        c->ImpostazioniInvio->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::one(ScriptedDialogs::Kind::Choice, "Certificato dell'autorità (CA)",
                            QDir::homePath()));
        QCOMPARE(settings::load(app.db())->server.caFile, fx.ca());
        app.dialogs.clear();
        c->runDialog = [](QDialog&) { return true; };
        QVERIFY(c->sendOrder("2026", "12"));
    }

    // The desktop's mail program: Thunderbird's composer with both files when it is there,
    // else xdg-email, whose failure is told; stand-ins on the PATH record what they are given.
    void desktopMailProgram() {
        QTemporaryDir bin;
        const QString record = bin.filePath("args");
        auto standIn = [&](const char* name, int exitCode) {
            QFile f(bin.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '%1.tmp'\n"
                                   "mv '%1.tmp' '%1'\nexit %2\n")
                        .arg(record)
                        .arg(exitCode)
                        .toUtf8());
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ExeOwner);
        };
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ":/usr/bin:/bin");
        App app;
        prepare(app, "Segreta-123", settings::Way::Desktop);
        OrderMailCommands* c = app.window->mailCommands;
        c->runDialog = [](QDialog&) { return true; };
        const QString files = QDir::home().filePath("Documents/Gestione Ordini/Ordini/2026/");

        standIn("thunderbird", 0);
        c->InviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Il messaggio dell'ordine 12/2026 è aperto in Thunderbird: "
                                "inviarlo da lì.",
                                "Invia ordine", BoxIcon::Information));
        QTRY_VERIFY(QFile::exists(record));
        QFile args(record);
        QVERIFY(args.open(QIODevice::ReadOnly));
        const QString all = QString::fromUtf8(args.readAll());
        QCOMPARE(all.section('\n', 1, 1), QStringLiteral("-compose"));
        const QString folder = QString::fromLatin1(QUrl::fromLocalFile(files).toEncoded());
        QVERIFY2(QRegularExpression("attachment='" + QRegularExpression::escape(folder) +
                                    "Ordine%202026-12[^,']*\\.pdf," +
                                    QRegularExpression::escape(folder) +
                                    "Ordine%202026-12[^,']*\\.xlsx'\n$")
                     .match(all)
                     .hasMatch(),
                 qPrintable(all));
        QVERIFY(all.contains("to='ordini@mandante.it',cc='angelo@cliente.it',subject='Ordine n. "
                             "12 del 08/12/2026 - ALIMENTARI D’ANGELO',body='"));
        QVERIFY(QFile::remove(bin.filePath("thunderbird")));
        QVERIFY(QFile::remove(record));
        app.dialogs.clear();

        standIn("xdg-email", 3);
        c->InviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Il programma di posta non ha aperto il messaggio (xdg-email: "
                                "manca il programma di posta predefinito).",
                                "Invia ordine", BoxIcon::Critical));
        QFile x(record);
        QVERIFY(x.open(QIODevice::ReadOnly));
        const QStringList xa = QString::fromUtf8(x.readAll()).split('\n');
        QCOMPARE(xa.mid(1, 3), QStringList({"--cc", "angelo@cliente.it", "--subject"}));
        QVERIFY(xa.contains("--attach"));
        QCOMPARE(xa.at(xa.size() - 2), QStringLiteral("ordini@mandante.it"));
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"), QStringLiteral("Non inviato"));
        qputenv("PATH", oldPath);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestSendOrder t;
    if (argc == 4 && QByteArray(argv[1]) == "--invio-ucciso")
        return t.sendToBeKilled(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]));
    return QTest::qExec(&t, argc, argv);
}

#include "tst_sendorder.moc"
