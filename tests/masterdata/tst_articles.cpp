// The article catalogue through the window: the three modes, the date stamp, the weight as a
// number, and the ID holder L3 that every command and action empties.

#include "support/Boxes.h"
#include "support/Fixture.h"
#include "support/Ui.h"

#include "masterdata/ArticlePanel.h"
#include "ui/Titles.h"
#include "ui/widgets/ReportList.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

using namespace boxes;

namespace {

const QString kValidation =
    QStringLiteral(" Il campo CODICE - DESCRIZIONE ARTICOLO devono essere  compilati ");
const QString kAskInsert = QStringLiteral("Vuoi Inserire questi dati  ?");
const QString kAskUpdate = QStringLiteral("Vuoi Aggiornare questi dati  ?");
const QString kAskDelete =
    QStringLiteral("Sei sicuro di voler eliminare l'Articolo   selezionato ? ");

} // namespace

class TestArticles : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    ArticlePanel* panel() { return app->window->Frame2; }
    QLineEdit* T3() { return panel()->T3; }
    QComboBox* Cbo2() { return panel()->Cbo2; }
    QLineEdit* T5() { return panel()->T5; }
    QLineEdit* T6() { return panel()->T6; }
    QLabel* L3() { return panel()->L3; }
    ReportView* list() { return panel()->ListView3; }
    QString boxesSeen() { return app->dialogs.describe(); }

    int rowOf(const QString& code) { return ui::rowOf(list(), 1, code); }
    void fill(const QString& code, const QString& description, const QString& format,
              const QString& weight) {
        ui::retype(T3(), code);
        ui::retype(Cbo2(), description);
        ui::retype(T5(), format);
        ui::retype(T6(), weight);
    }
    QList<QStringList> stored() {
        return rows(app->db(), "SELECT ID, CODICE, ARTICOLO, FORMATO, PESO, AGG FROM ARTICOLO "
                               "ORDER BY ID;");
    }
    void press() { ui::click(panel()->Cmd2); }
    void expectEmptied() {
        QCOMPARE(T3()->text(), QString());
        QCOMPARE(Cbo2()->currentText(), QString());
        QCOMPARE(T5()->text(), QString());
        QCOMPARE(T6()->text(), QString());
        QCOMPARE(L3()->text(), QString());
    }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        exec(app->db(), "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG) VALUES "
                        "('F-TAL', 'TALEGGIO DOP', 'CARTONE 4 PEZZI', 8.8, '2020-01-31'),"
                        "('O-EVO', 'OLIO EXTRAVERGINE', NULL, 12.5, '2024-06-02'),"
                        "('E-CLA', 'ÉCLAIR', 'VASSOIO', NULL, NULL);");
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
        QTest::newRow("ANuovo") << "ANuovo"
                                << "Inserisci Articolo"
                                << "Inserisci"
                                << "Elenco Articoli Inseriti ";
        QTest::newRow("AAggiorna")
            << "AAggiorna"
            << "Aggiorna Articolo"
            << "Aggiorna"
            << "Seleziona  l'Articolo da Aggiornare Cliccando sulla Riga Interessata ";
        QTest::newRow("AElimina")
            << "AElimina"
            << "Elimina Articolo"
            << "Elimina"
            << "Seleziona  l' Articolo da Eliminare  Cliccando sulla Riga Interessata ";
    }
    void menuCommandsOpenThePanelInTheirMode() {
        QFETCH(QString, command);
        QFETCH(QString, caption);
        QFETCH(QString, button);
        QFETCH(QString, title);
        // A row clicked and fields typed on an earlier visit: the command empties them all.
        ui::menu(app->window.get(), "AAggiorna");
        ui::clickRow(list(), rowOf("F-TAL"));
        QCOMPARE(L3()->text(), QStringLiteral("1"));
        ui::menu(app->window.get(), command.toLatin1().constData());
        QVERIFY(panel()->isVisible());
        QCOMPARE(panel()->title(), caption);
        QCOMPARE(panel()->Cmd2->text(), button);
        QCOMPARE(panel()->Label6->text(), title);
        QVERIFY(panel()->Label6->width() >= panel()->Label6->sizeHint().width());
        expectEmptied();
        QCOMPARE(QApplication::focusWidget(), T3());

        ReportModel* m = list()->report();
        QStringList headings;
        for (int c = 0; c < m->columnCount(); ++c)
            headings << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headings,
                 (QStringList{"ID", "CODICE", "DESCRIZIONE ARTICOLO", "FORMATO", "PESO", "AGG."}));
        QVERIFY(list()->isColumnHidden(0));
        for (int c = 1; c < 6; ++c)
            QVERIFY(!m->data(m->index(0, c), Qt::FontRole).isValid());
        QStringList shown;
        for (int r = 0; r < m->rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < 6; ++c)
                cells << m->cell(r, c);
            shown << cells.join(QLatin1Char('|'));
        }
        // Sorted by description, accents beside their letters; weight and date in Italian form.
        QCOMPARE(shown, (QStringList{"3|E-CLA|ÉCLAIR|VASSOIO||",
                                     "2|O-EVO|OLIO EXTRAVERGINE||12,5|02/06/2024",
                                     "1|F-TAL|TALEGGIO DOP|CARTONE 4 PEZZI|8,8|31/01/2020"}));
        QVERIFY(app->dialogs.boxes.isEmpty());
    }

    void insertStampsTodayAndStoresUpperCase() {
        ui::menu(app->window.get(), "ANuovo");
        ui::type(T3(), QStringLiteral("s-cot"));
        ui::type(Cbo2(), QStringLiteral("prosciutto cotto qualità"));
        ui::type(T5(), QStringLiteral("intero"));
        ui::type(T6(), QStringLiteral("1.250,5"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), seq({question(kAskInsert, titles::t38()),
                                   message("Inserimento effettuato", titles::t18())}));
        QCOMPARE(stored().last(), (QStringList{"4", "S-COT", "PROSCIUTTO COTTO QUALITÀ", "INTERO",
                                               "1250.5", "2026-12-08"}));
        QCOMPARE(value(app->db(), "SELECT typeof(PESO) FROM ARTICOLO WHERE ID = 4;"),
                 QStringLiteral("real"));
        expectEmptied();
        QCOMPARE(QApplication::focusWidget(), T3());
        QCOMPARE(panel()->Cmd2->text(), QStringLiteral("Inserisci"));
        QCOMPARE(list()->report()->rows(), 4);
        QCOMPARE(list()->report()->cell(rowOf("S-COT"), 4), QStringLiteral("1250,5"));
        QCOMPARE(list()->report()->cell(rowOf("S-COT"), 5), QStringLiteral("08/12/2026"));
    }

    void aCodeAlreadyUsedAndEmptyFormatAndWeightAreAccepted() {
        ui::menu(app->window.get(), "ANuovo");
        fill("F-TAL", "TALEGGIO STAGIONATO", "", "");
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), seq({question(kAskInsert, titles::t38()),
                                   message("Inserimento effettuato", titles::t18())}));
        QCOMPARE(stored().last(),
                 (QStringList{"4", "F-TAL", "TALEGGIO STAGIONATO", "", "", "2026-12-08"}));
        QCOMPARE(value(app->db(), "SELECT count(*) FROM ARTICOLO WHERE CODICE = 'F-TAL';"),
                 QStringLiteral("2"));
    }

    void aWeightThatIsNoNumberIsToldAndNothingWritten_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("insert") << "ANuovo";
        QTest::newRow("update") << "AAggiorna";
    }
    void aWeightThatIsNoNumberIsToldAndNothingWritten() {
        QFETCH(QString, command);
        const auto before = stored();
        ui::menu(app->window.get(), command.toLatin1().constData());
        if (command == QLatin1String("AAggiorna"))
            ui::clickRow(list(), rowOf("F-TAL"));
        fill("F-TAL", "TALEGGIO DOP", "CARTONE", "8 kg");
        press();
        QCOMPARE(boxesSeen(),
                 message("Il campo Peso Collo (KG/LIT) non accetta il valore \"8 KG\": non è un "
                         "numero valido (esempi: 12 - 12,5 - 1.500,00).",
                         titles::t18(), BoxIcon::Exclamation));
        QCOMPARE(stored(), before);
        QCOMPARE(T6()->text(), QStringLiteral("8 KG"));
        QCOMPARE(T5()->text(), QStringLiteral("CARTONE"));
    }

    void anEmptyCodeOrDescriptionGetsTheValidationBox_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("emptyCode");
        for (const char* c : {"ANuovo", "AAggiorna", "AElimina"}) {
            QTest::addRow("%s-code", c) << QString::fromLatin1(c) << true;
            QTest::addRow("%s-description", c) << QString::fromLatin1(c) << false;
        }
    }
    void anEmptyCodeOrDescriptionGetsTheValidationBox() {
        QFETCH(QString, command);
        QFETCH(bool, emptyCode);
        const auto before = stored();
        ui::menu(app->window.get(), command.toLatin1().constData());
        if (command != QLatin1String("ANuovo"))
            ui::clickRow(list(), rowOf("O-EVO"));
        fill(emptyCode ? "" : "X-1", emptyCode ? "BURRO" : "", "PANETTO", "1");
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), question(kValidation, titles::t18()));
        QCOMPARE(stored(), before);
        QCOMPARE(T5()->text(), QStringLiteral("PANETTO"));
    }

    void theCodeFieldTakesThirteenCharacters() {
        ui::menu(app->window.get(), "ANuovo");
        ui::type(T3(), QStringLiteral("abcdefghijklmnopq"));
        QCOMPARE(T3()->text(), QStringLiteral("ABCDEFGHIJKLM"));
    }

    void aClickInInsertModeDoesNothing() {
        ui::menu(app->window.get(), "ANuovo");
        ui::type(T5(), QStringLiteral("BUSTA"));
        ui::clickRow(list(), rowOf("F-TAL"));
        QCOMPARE(L3()->text(), QString());
        QCOMPARE(T3()->text(), QString());
        QCOMPARE(T5()->text(), QStringLiteral("BUSTA"));
    }

    void updateStampsTheDateEvenWhenNothingElseChanged() {
        ui::menu(app->window.get(), "AAggiorna");
        ui::clickRow(list(), rowOf("F-TAL"));
        QCOMPARE(L3()->text(), QStringLiteral("1"));
        QCOMPARE(T3()->text(), QStringLiteral("F-TAL"));
        QCOMPARE(Cbo2()->currentText(), QStringLiteral("TALEGGIO DOP"));
        QCOMPARE(T5()->text(), QStringLiteral("CARTONE 4 PEZZI"));
        QCOMPARE(T6()->text(), QStringLiteral("8,8"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(), seq({question(kAskUpdate, titles::t38()),
                                   message("Aggiornamento effettuato", titles::t18())}));
        QCOMPARE(stored().first(), (QStringList{"1", "F-TAL", "TALEGGIO DOP", "CARTONE 4 PEZZI",
                                                "8.8", "2026-12-08"}));
        expectEmptied();
        QCOMPARE(panel()->Cmd2->text(), QStringLiteral("Aggiorna"));
        QCOMPARE(list()->report()->cell(rowOf("F-TAL"), 5), QStringLiteral("08/12/2026"));

        // L3 was emptied: typing the fields again without a click writes nothing.
        app->dialogs.clear();
        const auto before = stored();
        fill("F-TAL", "TALEGGIO", "", "");
        press();
        QCOMPARE(boxesSeen(), message("Non è stato aggiornato nulla: scegli prima nell'elenco "
                                      "la riga dell'articolo da aggiornare.",
                                      titles::t18(), BoxIcon::Exclamation));
        QCOMPARE(stored(), before);
        QCOMPARE(Cbo2()->currentText(), QStringLiteral("TALEGGIO"));
    }

    void updateWritesEveryField() {
        ui::menu(app->window.get(), "AAggiorna");
        ui::clickRow(list(), rowOf("E-CLA"));
        fill("d-ecl", "éclair al caffè", "", "0,25");
        app->dialogs.answerYes();
        press();
        QCOMPARE(stored()[2],
                 (QStringList{"3", "D-ECL", "ÉCLAIR AL CAFFÈ", "", "0.25", "2026-12-08"}));
    }

    void deleteRemovesTheClickedArticle() {
        ui::menu(app->window.get(), "AElimina");
        ui::clickRow(list(), rowOf("O-EVO"));
        app->dialogs.answerYes();
        press();
        QCOMPARE(boxesSeen(),
                 seq({question(kAskDelete, titles::t20()),
                      message("Eliminazione  effettuata", titles::t20(), BoxIcon::Information)}));
        QCOMPARE(stored().size(), 2);
        QCOMPARE(value(app->db(), "SELECT count(*) FROM ARTICOLO WHERE ID = 2;"),
                 QStringLiteral("0"));
        expectEmptied();
        QCOMPARE(list()->report()->rows(), 2);
        QCOMPARE(rowOf("O-EVO"), -1);

        // Again without a click: nothing is held, nothing is deleted.
        app->dialogs.clear();
        fill("F-TAL", "TALEGGIO DOP", "", "");
        press();
        QCOMPARE(boxesSeen(), message("Non è stato eliminato nulla: scegli prima nell'elenco la "
                                      "riga dell'articolo da eliminare.",
                                      titles::t18(), BoxIcon::Exclamation));
        QCOMPARE(stored().size(), 2);
    }

    void answeringNoChangesNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("ask");
        QTest::newRow("insert") << "ANuovo" << kAskInsert;
        QTest::newRow("update") << "AAggiorna" << kAskUpdate;
        QTest::newRow("delete") << "AElimina" << kAskDelete;
    }
    void answeringNoChangesNothing() {
        QFETCH(QString, command);
        QFETCH(QString, ask);
        const auto before = stored();
        ui::menu(app->window.get(), command.toLatin1().constData());
        if (command != QLatin1String("ANuovo"))
            ui::clickRow(list(), rowOf("F-TAL"));
        fill("F-TAL", "TALEGGIO", "FORMA", "9");
        app->dialogs.answerNo();
        press();
        QCOMPARE(boxesSeen(), question(ask, command == QLatin1String("AElimina") ? titles::t20()
                                                                                 : titles::t38()));
        // A stray Return deletes nothing.
        QCOMPARE(app->dialogs.questionDefaults(),
                 QStringList{command == QLatin1String("AElimina") ? "No" : "Sì"});
        QCOMPARE(stored(), before);
        QCOMPARE(Cbo2()->currentText(), QStringLiteral("TALEGGIO"));
        QCOMPARE(T6()->text(), QStringLiteral("9"));
        QCOMPARE(L3()->text(),
                 command == QLatin1String("ANuovo") ? QString() : QStringLiteral("1"));
    }

    void anArticleDeletedMeanwhileIsTold() {
        ui::menu(app->window.get(), "AAggiorna");
        ui::clickRow(list(), rowOf("F-TAL"));
        exec(app->db(), "DELETE FROM ARTICOLO WHERE ID = 1;");
        press();
        QCOMPARE(boxesSeen(), message("Non è stato aggiornato nulla: l'articolo scelto non è "
                                      "più nell'archivio.\nScegli di nuovo la riga "
                                      "dell'articolo nell'elenco.",
                                      titles::t18(), BoxIcon::Exclamation));
        QCOMPARE(stored().size(), 2);
    }

    void aWriteTheDatabaseRefusesIsReportedAndTheFieldsStay() {
        ui::menu(app->window.get(), "AAggiorna");
        ui::clickRow(list(), rowOf("O-EVO"));
        ui::retype(T5(), QStringLiteral("LATTA 5 LT"));
        const auto before = stored();
        QVERIFY(::chmod(QFile::encodeName(app->dir.dbPath()).constData(), 0444) == 0);
        app->dialogs.answerYes();
        press();
        QVERIFY(::chmod(QFile::encodeName(app->dir.dbPath()).constData(), 0644) == 0);
        QCOMPARE(boxesSeen(), seq({question(kAskUpdate, titles::t38()),
                                   message("8:\r\nil file del database è di sola lettura", "Errore",
                                           BoxIcon::Critical)}));
        QCOMPARE(stored(), before);
        QCOMPARE(L3()->text(), QStringLiteral("2"));
        QCOMPARE(T5()->text(), QStringLiteral("LATTA 5 LT"));
    }
};

QTEST_MAIN(TestArticles)
#include "tst_articles.moc"
