// The customer register through the window: the three modes, the list, the refresh of the
// combos, and the actions refused because they would lose or confuse orders.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "masterdata/CustomerPanel.h"
#include "ui/Titles.h"
#include "ui/widgets/ReportList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <sys/stat.h>

using namespace boxes;

namespace {

const QString kValidation =
    QStringLiteral(" Il campo CODICE - CITTA'- PROVINCIA- DENOMINAZIONE devono essere  compilati ");
const QString kAskInsert = QStringLiteral("Vuoi Inserire questi dati  ?");
const QString kAskModify = QStringLiteral("Vuoi Modificare questi dati  ?");
const QString kAskDelete =
    QStringLiteral("Sei sicuro di voler eliminare la prestazione  selezionata ? ");

} // namespace

class TestCustomers : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    CustomerPanel* panel() { return app->window->Frame1; }
    QLineEdit* T1() { return panel()->T1; }
    QLineEdit* T2() { return panel()->T2; }
    QComboBox* Cbo8() { return panel()->Cbo8; }
    QComboBox* Cbo1() { return panel()->Cbo1; }
    ReportView* list() { return panel()->ListView2; }
    QString boxesSeen() { return app->dialogs.describe(); }

    int rowOf(const QString& code) { return ui::rowOf(list(), 1, code); }
    void fill(const QString& code, const QString& name, const QString& town,
              const QString& province) {
        ui::retype(T1(), code);
        ui::retype(T2(), name);
        ui::retype(Cbo8(), town);
        ui::retype(Cbo1(), province);
    }
    QList<QStringList> stored() {
        return rows(app->db(),
                    "SELECT ID, CODICE, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE ORDER BY ID;");
    }
    void press() { ui::click(panel()->Cmd1); }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        exec(app->db(), "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
                        "('10001', 'ROSSI MARIO', 'MILANO', 'MI'),"
                        "('10002', 'ÀTTILA SRL', 'COMO', 'CO'),"
                        "('10003', 'BIANCHI', 'MILANO', 'MI'),"
                        "('10004', NULL, 'LODI', 'LO');");
    }
    void cleanup() {
        QVERIFY2(app->dialogs.unexpected.isEmpty(),
                 qPrintable(app->dialogs.unexpected.join(QLatin1String(" | "))));
        app.reset();
    }

    void menuCommandsOpenThePanelInTheirMode_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("CNuovo") << "CNuovo"
                                << "Nuovo Cliente"
                                << "Inserisci"
                                << "Elenco dei Clienti Inseriti";
        QTest::newRow("CAggiorna") << "CAggiorna"
                                   << "Aggiorna Cliente"
                                   << "Modifica"
                                   << "Seleziona la riga del Cliente che si vuole Modificare";
        QTest::newRow("CElimina") << "CElimina"
                                  << "Elimina Cliente"
                                  << "Elimina"
                                  << "Seleziona la riga del Cliente che si vuole Eliminare";
    }
    void menuCommandsOpenThePanelInTheirMode() {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        QFETCH(QString, button);
        QFETCH(QString, title);
        // What a previous visit left in the fields goes.
        panel()->T1->setText(QStringLiteral("99"));
        panel()->T2->setText(QStringLiteral("VECCHIO"));
        Cbo8()->setEditText(QStringLiteral("X"));
        ui::menu(app->window.get(), command.toLatin1().constData());
        QVERIFY(panel()->isVisible());
        QCOMPARE(panel()->title(), caption);
        QCOMPARE(panel()->Cmd1->text(), button);
        QCOMPARE(panel()->L2->text(), title);
        QVERIFY(panel()->L2->width() >= panel()->L2->sizeHint().width());
        QCOMPARE(T1()->text(), QString());
        QCOMPARE(T2()->text(), QString());
        QCOMPARE(Cbo8()->currentText(), QString());
        QCOMPARE(Cbo1()->currentText(), QString());
        QCOMPARE(QApplication::focusWidget(), T1());
        QCOMPARE(ui::items(Cbo8()), (QStringList{"COMO", "LODI", "MILANO"}));
        QCOMPARE(ui::items(Cbo1()), (QStringList{"CO", "LO", "MI"}));

        // The list: hidden key, bold name, sorted by name with accents beside their letters.
        ReportModel* m = list()->report();
        QStringList headings;
        for (int c = 0; c < m->columnCount(); ++c)
            headings << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headings, (QStringList{"ID", "CODICE", "CLIENTE", "CITTA'", "PROVINCIA"}));
        QVERIFY(list()->isColumnHidden(0));
        QVERIFY(!list()->isColumnHidden(2));
        QVERIFY(m->data(m->index(0, 2), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!m->data(m->index(0, 1), Qt::FontRole).isValid());
        QCOMPARE(m->rows(), 4);
        QStringList order;
        for (int r = 0; r < m->rows(); ++r)
            order << m->cell(r, 1) + QLatin1Char('=') + m->cell(r, 2);
        // A customer without a name still lists, with an empty name.
        QCOMPARE(order,
                 (QStringList{"10004=", "10002=ÀTTILA SRL", "10003=BIANCHI", "10001=ROSSI MARIO"}));
        QCOMPARE(m->cell(rowOf("10001"), 0), QStringLiteral("1"));
        QCOMPARE(m->cell(rowOf("10001"), 3), QStringLiteral("MILANO"));
        QCOMPARE(m->cell(rowOf("10001"), 4), QStringLiteral("MI"));
        QVERIFY(app->dialogs.boxes.isEmpty());
    }

    // The toolkit cuts a text longer than a field's limit without a word: a paste that long is
    // refused and the field left as it was.
    void aTextTooLongForAFieldIsRefused() {
        ui::menu(app->window.get(), "CNuovo");
        ui::type(T2(), QStringLiteral("rossi"));
        QGuiApplication::clipboard()->setText(QString(40000, QLatin1Char('A')));
        T2()->paste();
        QCOMPARE(boxesSeen(), message("Il testo è troppo lungo: un campo contiene al massimo "
                                      "32.767 caratteri.\nIl campo è rimasto com'era.",
                                      panel()->title(), BoxIcon::Exclamation));
        QCOMPARE(T2()->text(), QStringLiteral("ROSSI"));
    }

    void insertStoresUpperCaseAndRefreshesListAndCombos() {
        ui::menu(app->window.get(), "CNuovo");
        QVERIFY(!ui::items(Cbo8()).contains("BERGAMO"));
        ui::type(T1(), QStringLiteral("20001"));
        ui::type(T2(), QStringLiteral("d'amico nicolò"));
        ui::type(Cbo8(), QStringLiteral("bergamo"));
        ui::type(Cbo1(), QStringLiteral("bg"));
        QCOMPARE(T2()->text(), QStringLiteral("D'AMICO NICOLÒ"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), seq({question(kAskInsert, titles::t38()),
                                   message("Inserimento effettuato", titles::t18())}));
        QCOMPARE(value(app->db(), "SELECT CODICE || '|' || SOGGETTO || '|' || CITTA || '|' || "
                                  "PROVINCIA FROM CLIENTE WHERE ID = 5;"),
                 QStringLiteral("20001|D'AMICO NICOLÒ|BERGAMO|BG"));
        // Fields emptied, mode kept, the new town and province offered, the row listed.
        QCOMPARE(T1()->text(), QString());
        QCOMPARE(T2()->text(), QString());
        QCOMPARE(Cbo8()->currentText(), QString());
        QCOMPARE(Cbo1()->currentText(), QString());
        QCOMPARE(panel()->Cmd1->text(), QStringLiteral("Inserisci"));
        QCOMPARE(ui::items(Cbo8()), (QStringList{"BERGAMO", "COMO", "LODI", "MILANO"}));
        QCOMPARE(ui::items(Cbo1()), (QStringList{"BG", "CO", "LO", "MI"}));
        QCOMPARE(list()->report()->rows(), 5);
        QCOMPARE(list()->report()->cell(rowOf("20001"), 2), QStringLiteral("D'AMICO NICOLÒ"));
    }

    // With the suggestions of a combo open, the first click reaches the button or field it was
    // aimed at (through the window, as a real click comes), and the keys typed next land there.
    void aClickBesideOpenSuggestionsReachesItsTarget_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("button") << "Cmd1";
        QTest::newRow("field") << "Cbo1";
    }
    void aClickBesideOpenSuggestionsReachesItsTarget() {
        QFETCH(QString, target);
        ui::menu(app->window.get(), "CNuovo");
        fill("30003", "VERDI", "", target == QLatin1String("Cmd1") ? "MI" : "");
        Cbo8()->lineEdit()->setFocus();
        QTest::keyClicks(Cbo8()->lineEdit(), "MIL");
        QAbstractItemView* suggestions = Cbo8()->completer()->popup();
        QVERIFY(suggestions->isVisible());
        QWidget* aim = target == QLatin1String("Cmd1") ? static_cast<QWidget*>(panel()->Cmd1)
                                                       : Cbo1()->lineEdit();
        QWindow* window = app->window->windowHandle();
        app->dialogs.answerNo();
        QTest::mouseClick(window, Qt::LeftButton, {},
                          window->mapFromGlobal(aim->mapToGlobal(aim->rect().center())));
        QVERIFY(!suggestions->isVisible());
        if (target == QLatin1String("Cmd1")) {
            QCOMPARE(boxesSeen(), question(kAskInsert, titles::t38()));
            return;
        }
        app->dialogs.answers.clear();
        // The combo holds the focus for its edit field.
        QCOMPARE(QApplication::focusWidget(), Cbo1());
        QTest::keyClicks(QApplication::focusWidget(), "CO");
        QCOMPARE(Cbo8()->currentText(), QStringLiteral("MIL"));
        QCOMPARE(Cbo1()->currentText(), QStringLiteral("CO"));
    }

    void answeringNoChangesNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("ask");
        QTest::newRow("insert") << "CNuovo" << kAskInsert;
        QTest::newRow("modify") << "CAggiorna" << kAskModify;
        QTest::newRow("delete") << "CElimina" << kAskDelete;
    }
    void answeringNoChangesNothing() {
        QFETCH(QString, command);
        QFETCH(QString, ask);
        const auto before = stored();
        ui::menu(app->window.get(), command.toLatin1().constData());
        if (command != QLatin1String("CNuovo"))
            ui::clickRow(list(), rowOf("10003"));
        fill("30003", "VERDI", "PAVIA", "PV");
        app->dialogs.answerNo();
        press();
        QCOMPARE(boxesSeen(), question(ask, command == QLatin1String("CElimina") ? titles::t20()
                                                                                 : titles::t38()));
        // A stray Return deletes nothing.
        QCOMPARE(app->dialogs.questionDefaults(),
                 QStringList{command == QLatin1String("CElimina") ? "No" : "Sì"});
        QCOMPARE(stored(), before);
        QCOMPARE(T1()->text(), QStringLiteral("30003"));
        QCOMPARE(T2()->text(), QStringLiteral("VERDI"));
        QCOMPARE(Cbo8()->currentText(), QStringLiteral("PAVIA"));
        QCOMPARE(Cbo1()->currentText(), QStringLiteral("PV"));
    }

    void anEmptyFieldGetsTheValidationBoxInEveryMode_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("empty");
        for (const char* c : {"CNuovo", "CAggiorna", "CElimina"})
            for (int f = 0; f < 4; ++f)
                QTest::addRow("%s-%d", c, f) << QString::fromLatin1(c) << f;
    }
    void anEmptyFieldGetsTheValidationBoxInEveryMode() {
        QFETCH(QString, command);
        QFETCH(int, empty);
        const auto before = stored();
        ui::menu(app->window.get(), command.toLatin1().constData());
        if (command != QLatin1String("CNuovo"))
            ui::clickRow(list(), rowOf("10001"));
        QStringList values{"40004", "NERI", "LECCO", "LC"};
        values[empty].clear();
        fill(values[0], values[1], values[2], values[3]);
        // Yes closes the box like No: nothing goes on.
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), question(kValidation, titles::t18()));
        QCOMPARE(stored(), before);
        QCOMPARE(T2()->text(), values[1]);
    }

    void theCodeFieldTakesDigitsCommaAndMinusUpToElevenCharacters() {
        ui::menu(app->window.get(), "CNuovo");
        ui::type(T1(), QStringLiteral("1a2.3-x4"));
        QCOMPARE(T1()->text(), QStringLiteral("12,3-4"));
        ui::retype(T1(), QStringLiteral("123456789012345"));
        QCOMPARE(T1()->text(), QStringLiteral("12345678901"));
    }

    void aClickInInsertModeDoesNothing() {
        ui::menu(app->window.get(), "CNuovo");
        ui::type(T2(), QStringLiteral("NUOVO"));
        ui::clickRow(list(), rowOf("10001"));
        QCOMPARE(panel()->L1->text(), QStringLiteral("L1"));
        QCOMPARE(T1()->text(), QString());
        QCOMPARE(T2()->text(), QStringLiteral("NUOVO"));
        QCOMPARE(Cbo8()->currentText(), QString());
    }

    void modifyWritesTheClickedCustomerAndL1KeepsIt() {
        ui::menu(app->window.get(), "CAggiorna");
        ui::clickRow(list(), rowOf("10003"));
        QCOMPARE(panel()->L1->text(), QStringLiteral("3"));
        QCOMPARE(T1()->text(), QStringLiteral("10003"));
        QCOMPARE(T2()->text(), QStringLiteral("BIANCHI"));
        QCOMPARE(Cbo8()->currentText(), QStringLiteral("MILANO"));
        QCOMPARE(Cbo1()->currentText(), QStringLiteral("MI"));
        ui::retype(T2(), QStringLiteral("bianchi luigi"));
        ui::retype(Cbo8(), QStringLiteral("cremona"));
        ui::retype(Cbo1(), QStringLiteral("cr"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), seq({question(kAskModify, titles::t38()),
                                   message("Aggiornamento effettuato", titles::t18())}));
        QCOMPARE(stored()[2], (QStringList{"3", "10003", "BIANCHI LUIGI", "CREMONA", "CR"}));
        QCOMPARE(T1()->text(), QString());
        QCOMPARE(T2()->text(), QString());
        QCOMPARE(panel()->L1->text(), QStringLiteral("3"));
        QCOMPARE(ui::items(Cbo8()), (QStringList{"COMO", "CREMONA", "LODI", "MILANO"}));

        // No command and no action clears L1: typing the fields again writes the same customer.
        ui::menu(app->window.get(), "CNuovo");
        ui::menu(app->window.get(), "CAggiorna");
        QCOMPARE(panel()->L1->text(), QStringLiteral("3"));
        app->dialogs.clear();
        fill("10003", "BIANCHI SNC", "CREMONA", "CR");
        app->dialogs.answerYes();
        press();
        QCOMPARE(stored()[2], (QStringList{"3", "10003", "BIANCHI SNC", "CREMONA", "CR"}));
        QCOMPARE(stored().size(), 4);
    }

    void deleteRemovesTheRowAndItsLastTownFromTheCombo() {
        ui::menu(app->window.get(), "CElimina");
        ui::clickRow(list(), rowOf("10004"));
        // Its name is empty in the table; the validation wants one even to delete.
        ui::type(T2(), QStringLiteral("GIALLI"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(),
                 seq({question(kAskDelete, titles::t20()),
                      message("Eliminazione  effettuata", titles::t20(), BoxIcon::Information)}));
        QCOMPARE(value(app->db(), "SELECT count(*) FROM CLIENTE WHERE ID = 4;"),
                 QStringLiteral("0"));
        QCOMPARE(stored().size(), 3);
        QCOMPARE(ui::items(Cbo8()), (QStringList{"COMO", "MILANO"}));
        QCOMPARE(ui::items(Cbo1()), (QStringList{"CO", "MI"}));
        QCOMPARE(list()->report()->rows(), 3);
        QCOMPARE(T1()->text(), QString());
        QCOMPARE(panel()->L1->text(), QStringLiteral("4"));
        QCOMPARE(panel()->Cmd1->text(), QStringLiteral("Elimina"));

        // L1 still names the deleted row: modify and delete say that nothing was done.
        app->dialogs.clear();
        const auto before = stored();
        fill("10004", "GIALLI", "LODI", "LO");
        press();
        ui::menu(app->window.get(), "CAggiorna");
        fill("10004", "GIALLI", "LODI", "LO");
        press();
        const QString gone = QStringLiteral(
            ": il cliente scelto non è più nell'archivio.\nScegli di nuovo la riga del cliente "
            "nell'elenco.");
        QCOMPARE(boxesSeen(), seq({message("Non è stato eliminato nulla" + gone, titles::t18(),
                                           BoxIcon::Exclamation),
                                   message("Non è stato modificato nulla" + gone, titles::t18(),
                                           BoxIcon::Exclamation)}));
        QCOMPARE(stored(), before);
        QCOMPARE(T2()->text(), QStringLiteral("GIALLI"));
    }

    void modifyOrDeleteWithoutAClickedRowIsRefused_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        QTest::newRow("modify") << "CAggiorna"
                                << "Non è stato modificato nulla: scegli prima nell'elenco la "
                                   "riga del cliente da modificare.";
        QTest::newRow("delete") << "CElimina"
                                << "Non è stato eliminato nulla: scegli prima nell'elenco la "
                                   "riga del cliente da eliminare.";
    }
    void modifyOrDeleteWithoutAClickedRowIsRefused() {
        QFETCH(QString, command);
        QFETCH(QString, text);
        const auto before = stored();
        ui::menu(app->window.get(), command.toLatin1().constData());
        QCOMPARE(panel()->L1->text(), QStringLiteral("L1"));
        fill("10001", "ROSSI MARIA", "MILANO", "MI");
        press();
        QCOMPARE(boxesSeen(), message(text, titles::t18(), BoxIcon::Exclamation));
        QCOMPARE(stored(), before);
        QCOMPARE(T2()->text(), QStringLiteral("ROSSI MARIA"));
    }

    void aCustomerWithOrdersCannotBeDeletedNorChangeItsCode() {
        exec(app->db(), "INSERT INTO ORDINE (ANNO, NR, ID_CL) VALUES ('2026', '1', '10001'),"
                        "('2026', '1', '10001'), ('2026', '2', '10001'), ('2025', '1', '10001'),"
                        "('2026', '3', '10003');");
        const auto before = stored();
        ui::menu(app->window.get(), "CElimina");
        ui::clickRow(list(), rowOf("10001"));
        press();
        ui::menu(app->window.get(), "CElimina");
        ui::clickRow(list(), rowOf("10003"));
        press();
        ui::menu(app->window.get(), "CAggiorna");
        ui::clickRow(list(), rowOf("10001"));
        ui::retype(T1(), QStringLiteral("10009"));
        press();
        QCOMPARE(boxesSeen(),
                 seq({message("Non è stato eliminato nulla: il cliente ROSSI MARIO (codice "
                              "10001) è usato da 3 ordini.\nSenza il cliente quegli ordini non "
                              "si potrebbero più aprire, stampare né eliminare: elimina prima "
                              "gli ordini.",
                              titles::t18(), BoxIcon::Exclamation),
                      message("Non è stato eliminato nulla: il cliente BIANCHI (codice 10003) "
                              "è usato da 1 ordine.\nSenza il cliente quegli ordini non si "
                              "potrebbero più aprire, stampare né eliminare: elimina prima gli "
                              "ordini.",
                              titles::t18(), BoxIcon::Exclamation),
                      message("Non è stato modificato nulla: il codice 10001 è usato da 3 "
                              "ordini di questo cliente, che con un altro codice non si "
                              "troverebbero più.\nIl codice non si può cambiare finché il "
                              "cliente ha ordini.",
                              titles::t18(), BoxIcon::Exclamation)}));
        QCOMPARE(stored(), before);

        // Its other details may change.
        app->dialogs.clear();
        ui::retype(T1(), QStringLiteral("10001"));
        ui::retype(T2(), QStringLiteral("ROSSI MARIO SRL"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(stored()[0], (QStringList{"1", "10001", "ROSSI MARIO SRL", "MILANO", "MI"}));
    }

    void aCodeAnotherCustomerHasIsRefused() {
        const auto before = stored();
        ui::menu(app->window.get(), "CNuovo");
        fill("10002", "NUOVO", "COMO", "CO");
        press();
        ui::menu(app->window.get(), "CAggiorna");
        ui::clickRow(list(), rowOf("10001"));
        ui::retype(T1(), QStringLiteral("10003"));
        press();
        QCOMPARE(boxesSeen(),
                 seq({message("Non è stato inserito nulla: il codice 10002 è già del cliente "
                              "ÀTTILA SRL.\nOgni cliente deve avere un codice diverso dagli "
                              "altri.",
                              titles::t18(), BoxIcon::Exclamation),
                      message("Non è stato modificato nulla: il codice 10003 è già del "
                              "cliente BIANCHI.\nOgni cliente deve avere un codice diverso "
                              "dagli altri.",
                              titles::t18(), BoxIcon::Exclamation)}));
        QCOMPARE(stored(), before);
        QCOMPARE(T1()->text(), QStringLiteral("10003"));
    }

    void aWriteTheDatabaseRefusesIsReportedAndTheFieldsStay() {
        ui::menu(app->window.get(), "CNuovo");
        fill("50005", "ROSA", "COMO", "CO");
        QVERIFY(::chmod(QFile::encodeName(app->dir.dbPath()).constData(), 0444) == 0);
        app->dialogs.answerYes();
        press();
        QVERIFY(::chmod(QFile::encodeName(app->dir.dbPath()).constData(), 0644) == 0);
        QCOMPARE(boxesSeen(), seq({question(kAskInsert, titles::t38()),
                                   message("8:\r\nil file del database è di sola lettura", "Errore",
                                           BoxIcon::Critical)}));
        QCOMPARE(stored().size(), 4);
        QCOMPARE(T1()->text(), QStringLiteral("50005"));
        QCOMPARE(T2()->text(), QStringLiteral("ROSA"));
        QCOMPARE(list()->report()->rows(), 4);
    }

    // A customer of the office, taken from the agency's server, is read-only here: a change
    // becomes a request to the office, its code and its deletion are refused.
    void anOfficeCustomerChangesOnlyThroughARequest() {
        exec(app->db(), "INSERT INTO SYNC_CLIENTE (ID, SEDE, CODICE, VERSIONE) VALUES"
                        " (1, 1, '10001', 3);");
        const auto before = stored();
        ui::menu(app->window.get(), "CAggiorna");
        ui::clickRow(list(), rowOf("10001"));
        ui::retype(T1(), QStringLiteral("10009"));
        press();
        ui::clickRow(list(), rowOf("10001"));
        press();
        ui::clickRow(list(), rowOf("10001"));
        ui::retype(T2(), QStringLiteral("rossi mario srl"));
        ui::retype(Cbo8(), QStringLiteral("monza"));
        ui::retype(Cbo1(), QStringLiteral("mb"));
        app->dialogs.answerYes();
        press();
        ui::menu(app->window.get(), "CElimina");
        ui::clickRow(list(), rowOf("10001"));
        press();
        QCOMPARE(boxesSeen(),
                 seq({message("Non è stato modificato nulla: il cliente ROSSI MARIO (codice "
                              "10001) è della sede, e il suo codice non si può cambiare.",
                              titles::t18(), BoxIcon::Exclamation),
                      message("Non è stato modificato nulla: i dati sono già quelli che la sede "
                              "ha dato per il cliente ROSSI MARIO (codice 10001).",
                              titles::t18(), BoxIcon::Exclamation),
                      question("Il cliente ROSSI MARIO (codice 10001) è della sede: qui non si "
                               "può modificare.\nVuoi chiedere alla sede di modificarlo così? La "
                               "richiesta partirà alla prossima sincronizzazione.",
                               titles::t38()),
                      message("Richiesta registrata: sarà inviata alla sede alla prossima "
                              "sincronizzazione. Il cliente cambierà quando la sede l'avrà "
                              "accettata.",
                              titles::t18(), BoxIcon::Information),
                      message("Non è stato eliminato nulla: il cliente ROSSI MARIO (codice "
                              "10001) è della sede e si può eliminare solo in sede.",
                              titles::t18(), BoxIcon::Exclamation)}));
        QCOMPARE(stored(), before);
        QCOMPARE(rows(app->db(), "SELECT CODICE, SOGGETTO, CITTA, PROVINCIA, INVIATA, STATO"
                                 " FROM SYNC_RICHIESTA;"),
                 (QList<QStringList>{{"10001", "ROSSI MARIO SRL", "MONZA", "MB", "0", "aperta"}}));
    }
};

QTEST_MAIN(TestCustomers)
#include "tst_customers.moc"
