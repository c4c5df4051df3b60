// Where orders are sent: the customer's card ("Scheda cliente…"), the principals
// ("Mandanti…") and the agent's own e-mail, driven from the window's menus.
#include "app/Gestione.h"
#include "mail/ContactCommands.h"
#include "mail/CustomerContactsDialog.h"
#include "mail/PrincipalsDialog.h"
#include "masterdata/AgentDialog.h"
#include "masterdata/CustomerPanel.h"
#include "sheets/SheetKit.h"
#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace boxes;

class TestContacts : public QObject {
    Q_OBJECT
    std::unique_ptr<App> app;

    // Customer 101 chosen in "Gestione Cliente", "Aggiorna".
    void chooseCustomer() {
        ui::menu(app->window.get(), "CAggiorna");
        const int row = ui::rowOf(app->window->Frame1->ListView2, 1, QStringLiteral("101"));
        QVERIFY(row >= 0);
        ui::clickRow(app->window->Frame1->ListView2, row);
    }
    // Opens the card of customer 101 and runs `fill` on it.
    void withCard(const std::function<void(CustomerContactsDialog&)>& fill) {
        chooseCustomer();
        bool opened = false;
        app->window->contactCommands->runDialog = [&](QDialog& d) {
            opened = true;
            fill(static_cast<CustomerContactsDialog&>(d));
        };
        ui::menu(app->window.get(), "SchedaCliente");
        QVERIFY(opened);
    }
    QString card() {
        return rows(app->db(), "SELECT * FROM SCHEDA_CLIENTE WHERE CODICE = '101';")
            .value(0)
            .join(QLatin1Char('|'));
    }
    void withPrincipals(const std::function<void(PrincipalsDialog&)>& use) {
        bool opened = false;
        app->window->contactCommands->runDialog = [&](QDialog& d) {
            opened = true;
            use(static_cast<PrincipalsDialog&>(d));
        };
        ui::menu(app->window.get(), "Mandanti");
        QVERIFY(opened);
    }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        exec(app->db(), "INSERT INTO CLIENTE (CODICE, SOGGETTO) VALUES ('101', 'BAR SPORT');");
        app->dialogs.clear();
    }
    void cleanup() {
        QVERIFY2(app->dialogs.unexpected.isEmpty(),
                 qPrintable(app->dialogs.unexpected.join(QLatin1String(" | "))));
        app.reset();
    }

    void theCardNeedsAChosenCustomer() {
        ui::menu(app->window.get(), "SchedaCliente");
        QCOMPARE(app->dialogs.describe(),
                 message("Scegliere prima il cliente: dal menu \"Gestione Cliente\", "
                         "\"Aggiorna\", un clic sulla sua riga nell'elenco.",
                         "Scheda cliente", BoxIcon::Information));
    }

    // Each bad field is named as it is typed and keeps "Salva" off; nothing is stored.
    void eachBadFieldIsNamedAndNothingSaved_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("told");
        QTest::newRow("e-mail") << "SchedaEmail"
                                << "bar@sport"
                                << "L'indirizzo e-mail \"bar@sport\" non è valido.";
        QTest::newRow("pec") << "SchedaPec"
                             << "pec sport.it"
                             << "L'indirizzo PEC \"pec sport.it\" non è valido.";
        QTest::newRow("telefono") << "SchedaTelefono"
                                  << "035-abc"
                                  << "Il numero di telefono \"035-abc\" non è valido.";
        QTest::newRow("cap") << "SchedaCap"
                             << "2410"
                             << "Il CAP deve essere di 5 cifre.";
        QTest::newRow("check digit")
            << "SchedaPartitaIva"
            << "01234567891"
            << "La partita IVA \"01234567891\" non è valida: servono 11 cifre con la cifra di "
               "controllo giusta.";
        QTest::newRow("codice fiscale") << "SchedaCodiceFiscale"
                                        << "RSSMRA80A01"
                                        << "Il codice fiscale \"RSSMRA80A01\" non è valido.";
    }
    void eachBadFieldIsNamedAndNothingSaved() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, told);
        withCard([&](CustomerContactsDialog& d) {
            ui::type(d.SchedaEmail, QStringLiteral("bar@sport.it"));
            QLineEdit* edit = d.findChild<QLineEdit*>(field);
            edit->clear();
            ui::type(edit, typed);
            QCOMPARE(d.SchedaErrore->text(), told);
            QVERIFY(!d.SchedaSalva->isEnabled());
            d.Salva_Click();
            QCOMPARE(app->dialogs.describe(),
                     message(told, "Scheda cliente", BoxIcon::Exclamation));
        });
        QCOMPARE(card(), QString());
    }

    void aGoodCardIsStored() {
        withCard([&](CustomerContactsDialog& d) {
            ui::type(d.SchedaEmail, QStringLiteral("bar@sport.it"));
            ui::type(d.SchedaPec, QStringLiteral("bar@pec.sport.it"));
            ui::type(d.SchedaTelefono, QStringLiteral("+39 035 123456"));
            ui::type(d.SchedaVia, QStringLiteral("Via Àlfa 3"));
            ui::type(d.SchedaCap, QStringLiteral("24100"));
            ui::type(d.SchedaPartitaIva, QStringLiteral("01234567897"));
            ui::type(d.SchedaCodiceFiscale, QStringLiteral("rssmra80a01h501u"));
            QCOMPARE(d.SchedaErrore->text(), QString());
            ui::click(d.SchedaSalva);
            QCOMPARE(d.result(), int(QDialog::Accepted));
        });
        QCOMPARE(card(), QStringLiteral("101|bar@sport.it|bar@pec.sport.it|+39 035 123456|Via "
                                        "Àlfa 3|24100|01234567897|RSSMRA80A01H501U"));
        QCOMPARE(app->dialogs.describe(), QString());
    }

    // The customer deleted, or the card changed by another program, while the card is open:
    // refused, and what is stored stays.
    void aCardChangedUnderneathIsNotWrittenOver_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("stored");
        QTest::newRow("customer deleted")
            << "DELETE FROM CLIENTE WHERE CODICE = '101';"
            << "Il cliente 101 non c'è più nell'archivio: è stato eliminato. La scheda non è "
               "stata salvata."
            << "";
        QTest::newRow("another program")
            << "INSERT INTO SCHEDA_CLIENTE (CODICE, EMAIL) VALUES ('101', 'altro@sport.it');"
            << "La scheda del cliente 101 è stata cambiata da un altro programma mentre era "
               "aperta: non è stata salvata. Chiuderla e riaprirla per vedere i dati nuovi."
            << "101|altro@sport.it||||||";
    }
    void aCardChangedUnderneathIsNotWrittenOver() {
        QFETCH(QString, meanwhile);
        QFETCH(QString, told);
        QFETCH(QString, stored);
        withCard([&](CustomerContactsDialog& d) {
            ui::type(d.SchedaEmail, QStringLiteral("bar@sport.it"));
            auto other = app->dir.open();
            QVERIFY(other);
            exec(*other, meanwhile.toUtf8().constData());
            ui::click(d.SchedaSalva);
            QCOMPARE(app->dialogs.describe(),
                     message(told, "Scheda cliente", BoxIcon::Exclamation));
            QVERIFY(d.result() != QDialog::Accepted);
        });
        QCOMPARE(card(), stored);
    }

    // Added, renamed, refused when the name is taken (any case) or the address is bad; a name
    // outside ASCII is kept as typed.
    void principalsAreAddedAndChanged() {
        withPrincipals([&](PrincipalsDialog& d) {
            ui::type(d.MandanteNome, QStringLiteral("Società Dolciaria Àlfa"));
            ui::type(d.MandanteEmail, QStringLiteral("ordini@alfa.it"));
            ui::click(d.MandanteSalva);
            ui::click(d.MandanteNuova);
            ui::type(d.MandanteNome, QStringLiteral("SOCIETÀ DOLCIARIA àLFA"));
            ui::click(d.MandanteSalva);
            ui::click(d.MandanteNuova);
            ui::type(d.MandanteNome, QStringLiteral("Beta"));
            ui::type(d.MandanteEmail, QStringLiteral("ordini@beta"));
            QCOMPARE(d.MandanteErrore->text(),
                     QStringLiteral("L'indirizzo e-mail \"ordini@beta\" non è valido."));
            ui::retype(d.MandanteEmail, QStringLiteral("ordini@beta.it"));
            ui::click(d.MandanteSalva);
            QCOMPARE(d.MandantiElenco->count(), 2);
            d.MandantiElenco->setCurrentRow(0);
            QCOMPARE(d.MandanteNome->text(), QStringLiteral("Beta"));
            ui::retype(d.MandanteEmail, QStringLiteral("acquisti@beta.it"));
            ui::click(d.MandanteSalva);
        });
        QCOMPARE(app->dialogs.describe(),
                 message("Esiste già una mandante di nome \"Società Dolciaria Àlfa\".", "Mandanti",
                         BoxIcon::Exclamation));
        QCOMPARE(rows(app->db(), "SELECT NOME, EMAIL FROM MANDANTE ORDER BY ID;"),
                 (QList<QStringList>{{"Società Dolciaria Àlfa", "ordini@alfa.it"},
                                     {"Beta", "acquisti@beta.it"}}));
    }

    // A principal is deleted only when no price list and no order relies on it.
    void aPrincipalReliedOnIsNotDeleted_data() {
        QTest::addColumn<QString>("relies");
        QTest::addColumn<QString>("told");
        QTest::newRow("nothing") << ""
                                 << "";
        QTest::newRow("price list")
            << "INSERT INTO LISTINO (ID_MANDANTE, FILE) VALUES (1, 'l.xlsx');"
            << "La mandante \"Àlfa\" non si può eliminare: ha un listino importato.";
        QTest::newRow("order")
            << "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL) "
               "VALUES ('1001', 1, 2.5, '2026-01-01');"
            << "La mandante \"Àlfa\" non si può eliminare: i suoi articoli sono in un ordine.";
    }
    void aPrincipalReliedOnIsNotDeleted() {
        QFETCH(QString, relies);
        QFETCH(QString, told);
        exec(app->db(), "INSERT INTO MANDANTE (ID, NOME, EMAIL) VALUES (1, 'Àlfa', 'o@alfa.it');");
        kit::Header h;
        h.nr = "5";
        kit::storeOrder(app->db(), h, {{"CAFFÈ", "1001", 1.0, 3.0, 10.0, ""}});
        if (!relies.isEmpty())
            exec(app->db(), relies.toUtf8().constData());
        app->dialogs.answerYes();
        withPrincipals([&](PrincipalsDialog& d) {
            d.MandantiElenco->setCurrentRow(0);
            ui::click(d.MandanteElimina);
        });
        QStringList expected{question("Eliminare la mandante \"Àlfa\"?", "Mandanti")};
        if (!told.isEmpty())
            expected << message(told, "Mandanti", BoxIcon::Exclamation);
        QCOMPARE(app->dialogs.describe(), seq(expected));
        QCOMPARE(value(app->db(), "SELECT COUNT(*) FROM MANDANTE;"),
                 told.isEmpty() ? QStringLiteral("0") : QStringLiteral("1"));
    }

    // The agent's e-mail among their details: it is the sender of the orders.
    void theAgentsEmailIsAmongTheirDetails() {
        exec(app->db(), "UPDATE UTENTE SET UTENTE = 'ROSSI';");
        AgentDialog dialog(app->ctx, app->window.get());
        QVERIFY(dialog.load());
        QCOMPARE(dialog.EmailAgente->text(), QString());
        ui::type(dialog.EmailAgente, QStringLiteral("rossi@agenzia"));
        dialog.save();
        QCOMPARE(app->dialogs.describe(),
                 message("L'e-mail dell'agente \"rossi@agenzia\" non è un indirizzo valido.",
                         "Dati dell'agente", BoxIcon::Information));
        QCOMPARE(value(app->db(), "SELECT COUNT(*) FROM IMPOSTAZIONE_INVIO;"), QStringLiteral("0"));
        ui::retype(dialog.EmailAgente, QStringLiteral("rossi@agenzia.it"));
        dialog.save();
        QCOMPARE(
            value(app->db(), "SELECT VALORE FROM IMPOSTAZIONE_INVIO WHERE CHIAVE = 'mittente';"),
            QStringLiteral("rossi@agenzia.it"));
        AgentDialog again(app->ctx, app->window.get());
        QVERIFY(again.load());
        QCOMPARE(again.EmailAgente->text(), QStringLiteral("rossi@agenzia.it"));
    }
};

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
