// "Invia ordine…" from the window, to the real test server: the dialog's fields, the sending
// off the window's thread, the boxes, and the record; a failure leaves the order "Non inviato".
#include "MailKit.h"
#include "app/Gestione.h"
#include "app/mail/MailSettingsDialog.h"
#include "app/mail/OrderMailCommands.h"
#include "app/mail/SendOrderDialog.h"
#include "mail/MailSettings.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QUrl>

using namespace mail;

class TestSendOrder : public QObject {
    Q_OBJECT
    SmtpFixture fx = SmtpFixture::load();

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

private Q_SLOTS:
    void initTestCase() { QVERIFY2(fx.ok(), "the test SMTP server is not running"); }

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
        w->apri();
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
        w->mostraStatoInvio();
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

    // A refused password: its box, and the order stays "Non inviato".
    void failureLeavesItUnsent() {
        App app;
        prepare(app, "Sbagliata");
        OrderMailCommands* c = app.window->mailCommands;
        c->runDialog = [](QDialog&) { return true; };
        c->InviaOrdine->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message(QStringLiteral("Il server di posta ha rifiutato il nome utente o "
                                               "la password: messaggio non inviato.\nRisposta "
                                               "del server: 535 5.7.8 Authentication "
                                               "credentials invalid"),
                                "Invia ordine", BoxIcon::Critical));
        QCOMPARE(*sendrecord::stateText(app.db(), "2026", "12"), QStringLiteral("Non inviato"));
        QCOMPARE(value(app.db(), "SELECT COUNT(*) FROM INVIO;"), QStringLiteral("0"));
    }

    // "Ordini da inviare": today's orders not yet sent go one after another, once agreed to.
    void unsentOfTheDay() {
        App app;
        prepare(app);
        kit::Header h;
        h.nr = "13";
        h.datao = "2026-12-08";
        kit::storeOrder(app.db(), h, {{"ZUCCHERO", "1002", 1.0, 2.0, 5.0, ""}});
        OrderMailCommands* c = app.window->mailCommands;
        app.dialogs.answerYes();
        c->OrdiniDaInviare->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::seq({boxes::question("Ordini del 08/12/2026 non ancora inviati: 12, "
                                             "13.\nInviarli ora, uno dopo l'altro?",
                                             "Ordini da inviare"),
                             boxes::message("Ordini del 08/12/2026 inviati: 12, 13.",
                                            "Ordini da inviare", BoxIcon::Information)}));
        QCOMPARE(value(app.db(), "SELECT GROUP_CONCAT(NR) FROM INVIO;"), "12,13");
        app.dialogs.clear();
        c->OrdiniDaInviare->trigger();
        QCOMPARE(app.dialogs.describe(),
                 boxes::message("Tutti gli ordini del 08/12/2026 sono già stati inviati.",
                                "Ordini da inviare", BoxIcon::Information));
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

QTEST_MAIN(TestSendOrder)
#include "tst_sendorder.moc"
