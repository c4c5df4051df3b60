// The agent panel behind the access code: the code box, the loading of the agent's row and its
// save.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "masterdata/AgentDialog.h"
#include "masterdata/AgentPanel.h"
#include "masterdata/CustomerPanel.h"
#include "ui/Titles.h"
#include "ui/widgets/ClickLabel.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace boxes;

namespace {

const QString kPrompt = QStringLiteral("Inserisci il Codice di Controllo");
const QString kWrongTitle = QStringLiteral("Gestioni Ordini..................");
const QString kAskSave = QStringLiteral("Vuoi Inserire questi dati  ?");

} // namespace

class TestAgent : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    AgentPanel* panel() { return app->window->Frame8; }
    QString boxesSeen() { return app->dialogs.describe(); }
    QString storedAgent() {
        return rows(app->db(), "SELECT ID, UTENTE, VIA, CAP, CITTA, PR FROM UTENTE;")
            .value(0)
            .join(QLatin1Char('|'));
    }
    void open(const QString& code = QStringLiteral("7391")) {
        app->dialogs.answerInput(code);
        ui::menu(app->window.get(), "MUtente");
    }
    QString fields() {
        return QStringList{panel()->Text7->text(), panel()->Text2->text(), panel()->Text3->text(),
                           panel()->Text4->text(), panel()->Text5->text(), panel()->Text6->text()}
            .join(QLatin1Char('|'));
    }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        exec(app->db(), "UPDATE UTENTE SET UTENTE = 'ROSSI AGENTE', VIA = 'VIA ROMA 1', "
                        "CAP = '24100', CITTA = 'BERGAMO', PR = 'BG';");
    }
    void cleanup() {
        QVERIFY2(app->dialogs.unexpected.isEmpty(),
                 qPrintable(app->dialogs.unexpected.join(QLatin1String(" | "))));
        app.reset();
    }

    void theRightCodeOpensThePanelInFrontLoaded_data() {
        QTest::addColumn<QString>("code");
        QTest::newRow("plain") << "7391";
        QTest::newRow("blanks") << " 7391 ";
        QTest::newRow("zeros") << "007391";
    }
    void theRightCodeOpensThePanelInFrontLoaded() {
        QFETCH(QString, code);
        ui::menu(app->window.get(), "CNuovo");
        app->dialogs.clear();
        open(code);
        QCOMPARE(boxesSeen(), input(kPrompt, titles::t13()));
        QVERIFY(panel()->isVisible());
        QCOMPARE(fields(), QStringLiteral("1|ROSSI AGENTE|VIA ROMA 1|24100|BERGAMO|BG"));
        QCOMPARE(QApplication::focusWidget(), panel()->Text2);
        // The customer panel stays behind it, as it was.
        QVERIFY(app->window->Frame1->isVisible());
        QVERIFY(panel()->Text2->isReadOnly());
    }

    void aWrongCodeIsWarnedAndEmptyOrCancelledCloses_data() {
        QTest::addColumn<std::optional<QString>>("code");
        QTest::addColumn<bool>("warned");
        QTest::newRow("other number") << std::optional<QString>("7392") << true;
        QTest::newRow("not a number") << std::optional<QString>("codice") << true;
        QTest::newRow("number and text") << std::optional<QString>("7391x") << true;
        QTest::newRow("empty") << std::optional<QString>("") << false;
        QTest::newRow("blanks") << std::optional<QString>("   ") << false;
        QTest::newRow("cancelled") << std::optional<QString>() << false;
    }
    void aWrongCodeIsWarnedAndEmptyOrCancelledCloses() {
        QFETCH(std::optional<QString>, code);
        QFETCH(bool, warned);
        app->dialogs.answerInput(code);
        ui::menu(app->window.get(), "MUtente");
        QStringList expected{input(kPrompt, titles::t13())};
        if (warned)
            expected << message(" Codice di Controllo errato", kWrongTitle, BoxIcon::Exclamation);
        QCOMPARE(boxesSeen(), seq(expected));
        QVERIFY(panel()->isHidden());
    }

    void saveWritesTheFieldsAndKeepsThePanelOpen() {
        open();
        ui::retype(panel()->Text3, QStringLiteral("via dante 7"));
        ui::retype(panel()->Text4, QStringLiteral("20a121"));
        ui::retype(panel()->Text5, QStringLiteral("milano"));
        ui::retype(panel()->Text6, QStringLiteral("mix"));
        QCOMPARE(fields(), QStringLiteral("1|ROSSI AGENTE|VIA DANTE 7|20121|MILANO|MI"));
        app->dialogs.clear();
        app->dialogs.answerYes();
        ui::click(panel()->Cmd6);
        QCOMPARE(boxesSeen(), seq({question(kAskSave, titles::t38()),
                                   message("Inserimento effettuato", titles::t18())}));
        QCOMPARE(storedAgent(), QStringLiteral("1|ROSSI AGENTE|VIA DANTE 7|20121|MILANO|MI"));
        QVERIFY(panel()->isVisible());
        QCOMPARE(fields(), QStringLiteral("1|ROSSI AGENTE|VIA DANTE 7|20121|MILANO|MI"));
    }

    void answeringNoStoresNothing() {
        open();
        ui::retype(panel()->Text5, QStringLiteral("COMO"));
        app->dialogs.answerNo();
        ui::click(panel()->Cmd6);
        QCOMPARE(storedAgent(), QStringLiteral("1|ROSSI AGENTE|VIA ROMA 1|24100|BERGAMO|BG"));
        QCOMPARE(panel()->Text5->text(), QStringLiteral("COMO"));
    }

    void anEmptyNameRefusesTheSave() {
        exec(app->db(), "UPDATE UTENTE SET UTENTE = NULL, VIA = NULL;");
        open();
        QCOMPARE(fields(), QStringLiteral("1|||24100|BERGAMO|BG"));
        app->dialogs.clear();
        ui::click(panel()->Cmd6);
        QCOMPARE(boxesSeen(), message(" Il campo UTENTE deve essere compilato  ", titles::t20(),
                                      BoxIcon::Information));
    }

    void aSaveWithoutTheAgentRowSaysNothingWasSaved() {
        open();
        exec(app->db(), "DELETE FROM UTENTE;");
        app->dialogs.clear();
        ui::click(panel()->Cmd6);
        QCOMPARE(boxesSeen(), message("Non è stato salvato nulla: nell'archivio non ci sono i "
                                      "dati dell'utente da aggiornare.\nIl file del database "
                                      "deve contenere la riga dell'utente.",
                                      titles::t18(), BoxIcon::Exclamation));
        QCOMPARE(value(app->db(), "SELECT count(*) FROM UTENTE;"), QStringLiteral("0"));
        // Opening again on the empty table keeps what the fields showed.
        open();
        QCOMPARE(fields(), QStringLiteral("1|ROSSI AGENTE|VIA ROMA 1|24100|BERGAMO|BG"));
    }

    void aLongRowKeyIsKeptWhole() {
        exec(app->db(), "UPDATE UTENTE SET ID = 123;");
        open();
        // The field keeps its two-character limit; the save still finds the whole key.
        QCOMPARE(panel()->Text7->text(), QStringLiteral("12"));
        ui::retype(panel()->Text6, QStringLiteral("BS"));
        app->dialogs.answerYes();
        ui::click(panel()->Cmd6);
        QCOMPARE(storedAgent(), QStringLiteral("123|ROSSI AGENTE|VIA ROMA 1|24100|BERGAMO|BS"));
    }

    void theCloseLabelsHideWithoutSaving_data() {
        QTest::addColumn<QString>("label");
        QTest::newRow("L43") << "L43";
        QTest::newRow("Label32") << "Label32";
    }
    void theCloseLabelsHideWithoutSaving() {
        QFETCH(QString, label);
        open();
        ui::retype(panel()->Text3, QStringLiteral("VIA NUOVA"));
        ui::click(app->find<ClickLabel>(label.toLatin1().constData()));
        QVERIFY(panel()->isHidden());
        QCOMPARE(storedAgent(), QStringLiteral("1|ROSSI AGENTE|VIA ROMA 1|24100|BERGAMO|BG"));
        // Every opening reloads from the database.
        open();
        QCOMPARE(panel()->Text3->text(), QStringLiteral("VIA ROMA 1"));
    }

    // "Nome dell'agente…": the access code, then the dialog, whose name is required and upper
    // case; the open agent panel shows what was saved.
    void theNameIsChangedBehindTheCode_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<QString>("stored");
        const QString before = QStringLiteral("1|ROSSI AGENTE|VIA ROMA 1|24100|BERGAMO|BG");
        const QString ask = input(kPrompt, titles::t13());
        QTest::newRow("wrong code")
            << "1234"
            << "verdi"
            << ask + " " + message(" Codice di Controllo errato", kWrongTitle, BoxIcon::Exclamation)
            << before;
        QTest::newRow("saved") << "7391"
                               << "verdi paola" << ask
                               << "1|VERDI PAOLA|VIA ROMA 1|24100|BERGAMO|BG";
        QTest::newRow("no name")
            << "7391"
            << "  "
            << ask + " " +
                   message(
                       "Il nome dell'agente deve essere compilato: compare in testa a ogni foglio "
                       "d'ordine.",
                       "Dati dell'agente", BoxIcon::Information)
            << before;
    }
    void theNameIsChangedBehindTheCode() {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, seen);
        QFETCH(QString, stored);
        open();
        app->dialogs.clear();
        app->dialogs.answerInput(code);
        bool shown = false;
        QTimer later;
        later.setSingleShot(true);
        connect(&later, &QTimer::timeout, [&] {
            auto* d = qobject_cast<AgentDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            shown = true;
            QCOMPARE(d->NomeAgente->text(), QStringLiteral("ROSSI AGENTE"));
            ui::retype(d->NomeAgente, name);
            ui::click(d->SalvaAgente);
            if (d->isVisible())
                d->reject();
        });
        later.start(0);
        ui::menu(app->window.get(), "NomeAgente");
        QCOMPARE(shown, code == QLatin1String("7391"));
        QCOMPARE(boxesSeen(), seen);
        QCOMPARE(storedAgent(), stored);
        QCOMPARE(panel()->Text2->text(), stored.section(QLatin1Char('|'), 1, 1));
    }
};

QTEST_MAIN(TestAgent)
#include "tst_agent.moc"
