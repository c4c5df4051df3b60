// The lookup fills: each combo offers the values already stored, once each, in order.

#include "support/Fixture.h"
#include "support/Ui.h"

#include "masterdata/CustomerPanel.h"
#include "masterdata/Lookups.h"
#include "orders/OrderPanel.h"
#include "orders/YearPanel.h"
#include "ui/widgets/ReportList.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestLookups : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    CustomerPanel* customers() { return app->window->Frame1; }
    OrderPanel* orders() { return app->window->Frame3; }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        exec(app->db(),
             "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
             "('1', 'ROSSI', 'MILANO', 'MI'), ('2', 'D''AMICO', 'CANTÙ', 'CO'),"
             "('3', 'ÀTTILA', 'COMO', 'CO'), ('4', 'BIANCHI', 'MILANO', 'MI'),"
             "('5', 'ROSSI', NULL, NULL), ('6', 'zeta', 'BERGAMO', 'BG');"
             "INSERT INTO ARTICOLO (CODICE, ARTICOLO) VALUES ('A1', 'OLIO D''OLIVA'),"
             "('A2', 'ÉCLAIR'), ('A3', 'BURRO'), ('A4', 'OLIO D''OLIVA');"
             "INSERT INTO ORDINE (ANNO, NR, DEST, CITTA, PR) VALUES "
             "('2026', '1', 'MAGAZZINO', 'MILANO', 'MI'), ('2026', '1', 'MAGAZZINO', 'MILANO', "
             "'MI'),"
             "('2026', '2', 'BAR DELL''ANGOLO', 'FORLÌ', 'FC'), ('2025', '1', NULL, NULL, NULL);");
    }
    void cleanup() { app.reset(); }

    void customerCombosListDistinctValuesInOrder() {
        customers()->CaricaCitta();
        customers()->CaricaProvince();
        QCOMPARE(ui::items(customers()->Cbo8), (QStringList{"BERGAMO", "CANTÙ", "COMO", "MILANO"}));
        QCOMPARE(ui::items(customers()->Cbo1), (QStringList{"BG", "CO", "MI"}));
        // A second fill does not double the entries.
        customers()->CaricaCitta();
        customers()->CaricaProvince();
        QCOMPARE(customers()->Cbo8->count(), 4);
        QCOMPARE(customers()->Cbo1->count(), 3);
    }

    void orderCombosListWhatOrdersHold() {
        orders()->CaricaCittaOrdine();
        orders()->CaricaProvinceOrdine();
        orders()->CaricaDestinazioni();
        QCOMPARE(ui::items(orders()->Cbo9), (QStringList{"FORLÌ", "MILANO"}));
        QCOMPARE(ui::items(orders()->Cbo4), (QStringList{"FC", "MI"}));
        QCOMPARE(ui::items(orders()->Cbo3), (QStringList{"BAR DELL'ANGOLO", "MAGAZZINO"}));
        orders()->CaricaDestinazioni();
        QCOMPARE(orders()->Cbo3->count(), 2);
    }

    void namesAreListedEveryOneWithAccentsInPlace() {
        QVERIFY(orders()->CaricaSoggetti());
        QCOMPARE(ui::items(orders()->Cbo5),
                 (QStringList{"ÀTTILA", "BIANCHI", "D'AMICO", "ROSSI", "ROSSI", "zeta"}));
        QVERIFY(orders()->CaricaSceltaArticolo());
        QCOMPARE(ui::items(orders()->Cbo6),
                 (QStringList{"BURRO", "ÉCLAIR", "OLIO D'OLIVA", "OLIO D'OLIVA"}));
        QVERIFY(orders()->CaricaSoggetti());
        QCOMPARE(orders()->Cbo5->count(), 6);
    }

    void yearsInOrder() {
        exec(app->db(), "INSERT INTO ANNO VALUES ('2019');");
        QVERIFY(app->window->Frame7->CaricaAnni());
        QCOMPARE(ui::items(app->window->Frame7->Cbo7),
                 (QStringList{"2019", "2023", "2024", "2025", "2026", "2027", "2028", "2029"}));
    }

    void aFillKeepsTheTypedText() {
        ui::type(customers()->Cbo8, QStringLiteral("lecco"));
        customers()->CaricaCitta();
        QCOMPARE(customers()->Cbo8->currentText(), QStringLiteral("LECCO"));
        ui::type(orders()->Cbo5, QStringLiteral("x"));
        QVERIFY(orders()->CaricaSoggetti());
        QCOMPARE(orders()->Cbo5->currentText(), QStringLiteral("X"));
    }

    void aFailingFillKeepsTheProgramGoing() {
        exec(app->db(), "ALTER TABLE ARTICOLO RENAME TO ARTICOLO_VECCHIO;");
        Status s = orders()->CaricaSceltaArticolo();
        QVERIFY(!s);
        QVERIFY(!s.error().text.isEmpty());
        QCOMPARE(orders()->Cbo6->count(), 0);
        orders()->CaricaDestinazioni();
        QCOMPARE(orders()->Cbo3->count(), 2);
    }

    void typingIsNeverExtendedByASuggestion() {
        customers()->CaricaCitta();
        app->window->Frame1->show();
        QComboBox* towns = customers()->Cbo8;
        ui::type(towns, QStringLiteral("mil"));
        ui::leave(towns, customers()->Cbo1);
        QCOMPARE(towns->currentText(), QStringLiteral("MIL"));
    }

    void aSuggestionPickedIsTheChoice() {
        QVERIFY(orders()->CaricaSoggetti());
        app->window->Frame3->show();
        QComboBox* names = orders()->Cbo5;
        QSignalSpy picked(names, &QComboBox::activated);
        ui::type(names, QStringLiteral("d'a"));
        QCompleter* c = names->completer();
        QTRY_VERIFY(c->popup()->isVisible());
        QCOMPARE(c->currentCompletion(), QStringLiteral("D'AMICO"));
        QTest::keyClick(c->popup(), Qt::Key_Down);
        QTest::keyClick(c->popup(), Qt::Key_Return);
        QCOMPARE(names->currentText(), QStringLiteral("D'AMICO"));
        QCOMPARE(picked.count(), 1);
    }

    void aCustomerWithNullNameIsSkipped() {
        exec(app->db(), "INSERT INTO CLIENTE (CODICE) VALUES ('9');");
        QVERIFY(orders()->CaricaSoggetti());
        QCOMPARE(orders()->Cbo5->count(), 6);
    }

    void pickingFromTheListIsTheChoice() {
        QVERIFY(orders()->CaricaSoggetti());
        QSignalSpy picked(orders()->Cbo5, &QComboBox::activated);
        QVERIFY(ui::choose(orders()->Cbo5, QStringLiteral("D'AMICO")));
        QCOMPARE(picked.count(), 1);
        QCOMPARE(orders()->Cbo5->currentText(), QStringLiteral("D'AMICO"));
    }

    // Unchanged data is not read again; a write through a panel, or by another program, is
    // seen at the next fill of every list that reads the table.
    void aWriteIsSeenAtTheNextFill_data() {
        QTest::addColumn<bool>("throughPanel");
        QTest::newRow("through the customer panel") << true;
        QTest::newRow("by another connection") << false;
    }
    void aWriteIsSeenAtTheNextFill() {
        QFETCH(bool, throughPanel);
        ui::menu(app->window.get(), "CNuovo");
        QVERIFY(orders()->CaricaSoggetti());
        QSignalSpy names(orders()->Cbo5->model(), &QAbstractItemModel::modelReset);
        QSignalSpy list(customers()->ListView2->report(), &QAbstractItemModel::modelReset);
        QVERIFY(orders()->CaricaSoggetti());
        customers()->CaricaClienti();
        QCOMPARE(names.count() + list.count(), 0);
        if (throughPanel) {
            ui::type(customers()->T1, QStringLiteral("7"));
            ui::type(customers()->T2, QStringLiteral("NUOVO"));
            ui::type(customers()->Cbo8, QStringLiteral("LODI"));
            ui::type(customers()->Cbo1, QStringLiteral("LO"));
            app->dialogs.answerYes();
            ui::click(customers()->Cmd1);
        } else {
            exec(*app->dir.open(), "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) "
                                   "VALUES ('7', 'NUOVO', 'LODI', 'LO');");
        }
        QVERIFY(orders()->CaricaSoggetti());
        customers()->CaricaClienti();
        QCOMPARE(ui::items(orders()->Cbo5),
                 (QStringList{"ÀTTILA", "BIANCHI", "D'AMICO", "NUOVO", "ROSSI", "ROSSI", "zeta"}));
        QCOMPARE(ui::rowOf(customers()->ListView2, 1, QStringLiteral("7")), 3);
    }
};

QTEST_MAIN(TestLookups)
#include "tst_lookups.moc"
