// The window around the work: the menu tree, which panels each command shows and hides, the
// title clock, the standard boxes, and the only way out.

#include "support/Fixture.h"

#include "orders/OrderPanel.h"
#include "support/Ui.h"

#include "app/TitleClock.h"
#include "app/Translation.h"
#include "ui/QtDialogs.h"
#include "ui/widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

const char* const kPanels[] = {"Frame1", "Frame2", "Frame3", "Frame7", "Frame8"};

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;

    QGroupBox* panel(const char* name) { return app->find<QGroupBox>(name); }
    void showAll() {
        for (const char* p : kPanels)
            panel(p)->show();
    }
    QStringList shown() {
        QStringList out;
        for (const char* p : kPanels)
            if (panel(p)->isVisible())
                out << QLatin1String(p);
        return out;
    }

private Q_SLOTS:
    void init() { app = std::make_unique<App>(TestDir::Content::Demo); }
    void cleanup() { app.reset(); }

    void menuTreeWithItsAltLetters() {
        QMenuBar* bar = app->window->menuBar();
        QStringList top;
        for (QAction* a : bar->actions())
            top << a->text();
        QCOMPARE(top, (QStringList{"&Chiudi", "&Gestione Cliente", "&Gestione Articoli",
                                   "&Gestione Ordine", "&Utente", "&Archivio", "C&erca",
                                   "&Statistiche", "&Visualizza", "A&iuto"}));
        auto entries = [&](const char* menu) {
            QStringList out;
            for (QAction* a : app->find<QMenu>(menu)->actions())
                out << a->objectName() + QLatin1Char('=') + a->text();
            return out;
        };
        QCOMPARE(entries("GCliente"),
                 (QStringList{"CNuovo=Nuovo", "CAggiorna=Aggiorna", "CElimina=Elimina",
                              "StampaClienti=Stampa Elenco", "SchedaCliente=Scheda cliente…"}));
        QCOMPARE(entries("GArticoli"),
                 (QStringList{"ANuovo=Nuovo", "AAggiorna=Aggiorna", "AElimina=Elimina",
                              "StampaArticolo=Stampa Articolo", "ImportaListino=Importa listino…",
                              "AnnullaListino=Annulla ultimo listino", "Mandanti=Mandanti…"}));
        QCOMPARE(entries("GOrdine"),
                 (QStringList{"Nordine=Nuovo Ordine", "Aordine=Aggiorna/Elimina Ordine e Articoli",
                              "Eordine=Elimina Ordini", "StampaOrdine=Stampa Ordine", "=",
                              "AnteprimaOrdine=Anteprima di stampa…",
                              "StampanteOrdine=Stampa su stampante…", "PdfOrdine=Salva come PDF",
                              "InviaOrdine=Invia ordine…", "OrdiniDaInviare=Ordini da inviare…",
                              "ImpostazioniInvio=Impostazioni invio…"}));
        QCOMPARE(
            entries("GArchivio"),
            (QStringList{
                "CopiaSicurezza=Copia di sicurezza…", "Ripristina=Ripristina da copia…",
                "PasswordPersonale=Password personale…", "BloccoInattivita=Blocco dopo inattività…",
                "Sincronizza=Sincronizza", "AnnullaSincronizzazione=Annulla sincronizzazione",
                "ServerAgenzia=Server dell'agenzia…", "CopieInConflitto=Copie in conflitto…"}));
        QVERIFY(app->find<QAction>("Chiudi"));
        QVERIFY(app->find<QAction>("MUtente"));
    }

    void commandsShowAndHideTheirPanels_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("after");
        // Every panel is shown before the command; the ones it does not name stay shown.
        QTest::newRow("CNuovo") << "CNuovo" << QStringList{"Frame1"};
        QTest::newRow("CAggiorna") << "CAggiorna" << QStringList{"Frame1"};
        QTest::newRow("CElimina") << "CElimina" << QStringList{"Frame1"};
        QTest::newRow("ANuovo") << "ANuovo" << QStringList{"Frame2"};
        QTest::newRow("AAggiorna") << "AAggiorna" << QStringList{"Frame2"};
        QTest::newRow("AElimina") << "AElimina" << QStringList{"Frame2"};
        QTest::newRow("Nordine") << "Nordine" << QStringList{"Frame7"};
        QTest::newRow("Aordine") << "Aordine" << QStringList{"Frame7"};
        QTest::newRow("Eordine") << "Eordine" << QStringList{"Frame7"};
        QTest::newRow("StampaOrdine") << "StampaOrdine" << QStringList{"Frame7"};
    }
    void commandsShowAndHideTheirPanels() {
        QFETCH(QString, command);
        QFETCH(QStringList, after);
        showAll();
        ui::menu(app->window.get(), qPrintable(command));
        QCOMPARE(shown(), after);
        QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
    }

    void closeLabelsHideOnlyTheirPanel_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("hidden");
        QTest::newRow("Label4") << "Label4"
                                << "Frame1";
        QTest::newRow("Label5") << "Label5"
                                << "Frame2";
        QTest::newRow("L12") << "L12"
                             << "Frame7";
        QTest::newRow("L43") << "L43"
                             << "Frame8";
        QTest::newRow("Label32") << "Label32"
                                 << "Frame8";
    }
    void closeLabelsHideOnlyTheirPanel() {
        QFETCH(QString, label);
        QFETCH(QString, hidden);
        showAll();
        ui::click(app->find<QLabel>(qPrintable(label)));
        QStringList expected;
        for (const char* p : kPanels)
            if (hidden != QLatin1String(p))
                expected << QLatin1String(p);
        QCOMPARE(shown(), expected);
    }

    void printEntriesChangeNoPanel() {
        panel("Frame2")->show();
        ui::menu(app->window.get(), "StampaArticolo");
        ui::menu(app->window.get(), "StampaClienti");
        QCOMPARE(shown(), QStringList{"Frame2"});
    }

    void orderCommandsSetCaptionYearsAndListPlace_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("frameHeight");
        QTest::addColumn<int>("listHeight");
        QTest::addColumn<bool>("listShown");
        QTest::newRow("Nordine") << "Nordine"
                                 << "1-Seleziona Anno" << 3615 << 2640 << false;
        QTest::newRow("Aordine") << "Aordine"
                                 << "2-Seleziona Anno" << 3375 << 3000 << true;
        QTest::newRow("Eordine") << "Eordine"
                                 << "3-Seleziona Anno" << 3375 << 3000 << true;
        QTest::newRow("StampaOrdine") << "StampaOrdine"
                                      << "4-Seleziona Anno" << 3375 << 3100 << true;
    }
    void orderCommandsSetCaptionYearsAndListPlace() {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        QFETCH(int, frameHeight);
        QFETCH(int, listHeight);
        QFETCH(bool, listShown);
        QWidget* frame5 = app->find<QWidget>("Frame5");
        QWidget* c1 = app->find<QWidget>("C1");
        // A top set earlier stays for the commands that leave it unchanged.
        frame5->move(frame5->x(), twips::px(600));
        ui::menu(app->window.get(), qPrintable(command));
        QCOMPARE(panel("Frame7")->title(), caption);
        auto* years = app->find<QComboBox>("Cbo7");
        QCOMPARE(years->count(), 7);
        QCOMPARE(years->itemText(0), QStringLiteral("2023"));
        QCOMPARE(years->itemText(6), QStringLiteral("2029"));
        QVERIFY(panel("Frame3")->isHidden());
        QCOMPARE(frame5->height(), twips::px(frameHeight));
        // As long as the tables say, cut at the sub-panel's lower border.
        QWidget* list = app->find<QWidget>("ListView5");
        QCOMPARE(list->height(),
                 qMin(twips::px(listHeight),
                      frame5->height() - list->y() - twips::px(OrderPanel::kListBottomMargin)));
        QCOMPARE(!frame5->isHidden(), listShown);
        QCOMPARE(frame5->y(), twips::px(command == QLatin1String("Nordine") ? 4800 : 600));
        if (listShown)
            QVERIFY(c1->isHidden());
    }

    void yearPanelCloseEmptiesTheYearAndTheNextCommandRefills() {
        ui::menu(app->window.get(), "Aordine");
        auto* years = app->find<QComboBox>("Cbo7");
        years->setEditText(QStringLiteral("2025"));
        ui::click(app->find<QLabel>("L12"));
        QCOMPARE(years->currentText(), QString());
        QVERIFY(panel("Frame7")->isHidden());
        ui::menu(app->window.get(), "StampaOrdine");
        QCOMPARE(panel("Frame7")->title(), QStringLiteral("4-Seleziona Anno"));
        QCOMPARE(years->count(), 7);
    }

    void orderCommandHidesTheAgentPanel() {
        panel("Frame8")->show();
        ui::menu(app->window.get(), "Eordine");
        QVERIFY(panel("Frame8")->isHidden());
        QVERIFY(panel("Frame7")->isVisible());
    }

    void anEmptyYearTableStillOpensTheYearPanel() {
        exec(app->db(), "DELETE FROM ANNO;");
        ui::menu(app->window.get(), "Nordine");
        QVERIFY(panel("Frame7")->isVisible());
        QCOMPARE(app->find<QComboBox>("Cbo7")->count(), 0);
    }

    void exitAnsweredNoChangesNothing() {
        panel("Frame2")->show();
        app->dialogs.answerNo();
        ui::menu(app->window.get(), "Chiudi");
        QCOMPARE(app->dialogs.boxes.size(), 1);
        const auto box = app->dialogs.boxes.first();
        QCOMPARE(box.kind, ScriptedDialogs::Kind::Question);
        QCOMPARE(box.text, QStringLiteral(" Vuoi uscrire dall'applicativo ? "));
        QCOMPARE(box.title, QStringLiteral("Gestione Ordini...................."));
        QVERIFY(app->window->isVisible());
        QVERIFY(panel("Frame2")->isVisible());
        QVERIFY(app->ctx.connected());
        QCOMPARE(value(app->db(), "SELECT count(*) FROM UTENTE;"), QStringLiteral("1"));
    }

    void exitAnsweredYesClosesTheConnectionAndTheWindow() {
        app->dialogs.answerYes();
        ui::menu(app->window.get(), "Chiudi");
        QVERIFY(!app->ctx.connected());
        QVERIFY(!app->window->isVisible());
        QVERIFY(app->window->ending());
    }

    void everyOtherCloseIsRefused() {
        for (const char* p : kPanels) {
            for (const char* q : kPanels)
                panel(q)->hide();
            panel(p)->show();
            QVERIFY(!app->window->close());
            QVERIFY(app->window->isVisible());
            QVERIFY(panel(p)->isVisible());
        }
        QVERIFY(app->ctx.connected());
        QVERIFY(app->dialogs.boxes.isEmpty());
    }

    void titleShowsTheDateAndTimeInTheSystemForms() {
        QCOMPARE(app->window->windowTitle(), testoTitolo(app->clock.time, QLocale::system()));
        // The test runs with an Italian system locale.
        QCOMPARE(app->window->windowTitle(),
                 QStringLiteral("Gestione Ordini   -  Benvenuto, oggi è il 08/12/26 e sono le "
                                "ore 10:30:15"));
        const QDateTime t(QDate(2027, 1, 2), QTime(7, 5, 9));
        QCOMPARE(testoTitolo(t, QLocale(QLocale::English, QLocale::UnitedStates)),
                 QStringLiteral("Gestione Ordini   -  Benvenuto, oggi è il 1/2/27 e sono le ore "
                                "7:05:09 AM"));
    }

    void clockRewritesTheTitleEveryTick() {
        auto* timer = app->window->findChild<QTimer*>("Timer1");
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 1500);
        QVERIFY(timer->isActive());
        app->clock.time = app->clock.time.addSecs(61);
        QMetaObject::invokeMethod(timer, "timeout");
        QVERIFY(app->window->windowTitle().endsWith(QStringLiteral("10:31:16")));
    }

    void standardBoxesReadInItalian() {
        QVERIFY(installItalianTranslation(*qApp));
        QtDialogs real;
        auto yesNo = real.makeMessage(QStringLiteral("Vuoi Inserire questi dati  ?"),
                                      QStringLiteral("Gestione Ordini"), BoxIcon::None, true);
        QCOMPARE(yesNo->button(QMessageBox::Yes)->text().remove(QLatin1Char('&')),
                 QStringLiteral("Sì"));
        QCOMPARE(yesNo->button(QMessageBox::No)->text().remove(QLatin1Char('&')),
                 QStringLiteral("No"));
        QCOMPARE(yesNo->icon(), QMessageBox::NoIcon);
        QCOMPARE(yesNo->defaultButton(), yesNo->button(QMessageBox::Yes));
        // A question that deletes: Return answers No.
        auto deleting = real.makeMessage(QStringLiteral("x"), QStringLiteral("t"), BoxIcon::None,
                                         true, BoxDefault::No);
        QCOMPARE(deleting->defaultButton(), deleting->button(QMessageBox::No));
        QCOMPARE(yesNo->text(), QStringLiteral("Vuoi Inserire questi dati  ?"));
        auto info =
            real.makeMessage(QStringLiteral("x"), QStringLiteral("t"), BoxIcon::Information, false);
        QCOMPARE(info->icon(), QMessageBox::Information);
        QVERIFY(info->button(QMessageBox::Ok));
        QCOMPARE(
            real.makeMessage(QStringLiteral("x"), QStringLiteral("t"), BoxIcon::Exclamation, false)
                ->icon(),
            QMessageBox::Warning);
        auto input = real.makeInput(QStringLiteral("Inserisci il Codice di Controllo"),
                                    QStringLiteral("Gestione Ordini............."));
        QCOMPARE(input->textValue(), QString());
        QCOMPARE(input->labelText(), QStringLiteral("Inserisci il Codice di Controllo"));
        input->show();
        bool cancel = false;
        for (QPushButton* b : input->findChildren<QPushButton*>())
            cancel = cancel || b->text().remove(QLatin1Char('&')) == QLatin1String("Annulla");
        QVERIFY(cancel);
    }

    void errorBoxShowsNumberAndDescription() {
        ShowErrMsg(app->dialogs, Error{5, QStringLiteral("il file del database è bloccato")});
        QCOMPARE(app->dialogs.boxes.size(), 1);
        QCOMPARE(app->dialogs.boxes.first().text,
                 QStringLiteral("5:\r\nil file del database è bloccato"));
        QCOMPARE(app->dialogs.boxes.first().title, QStringLiteral("Errore"));
        QCOMPARE(app->dialogs.boxes.first().icon, BoxIcon::Critical);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
