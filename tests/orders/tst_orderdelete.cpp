// Courses 3 and 4 through the window: a whole order deleted, an order sheet asked for; and the
// order listing of a year.

#include "OrderKit.h"

using namespace kit;

class TestOrderDeletePrint : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    OrderPanel* p = nullptr;
    QStringList printed;

    // Order 5 of 2026 (two lines), order 3 of 2026, order 5 of 2025.
    void start() {
        app = std::make_unique<App>();
        QVERIFY(app->started);
        seed(app->db());
        store(app->db(), "2026", "5", "10001", "A");
        store(app->db(), "2026", "5", "10001", "B");
        store(app->db(), "2026", "3", "10008", "C");
        store(app->db(), "2025", "5", "10001", "D");
        p = panel(*app);
        printed.clear();
        p->printOrder = [this](AppContext&, const QString& year, const QString& number,
                               const QString& customer) {
            printed << year + QLatin1Char('/') + number + QLatin1Char('/') + customer;
        };
    }

private Q_SLOTS:
    void cleanup() {
        if (app)
            QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
        app.reset();
    }

    void courseOfADeletion() {
        start();
        QVERIFY(openYear(*app, "Eordine", QStringLiteral("2026")));
        QCOMPARE(p->title(), QStringLiteral("Elimina Ordini"));
        QVERIFY(p->C1->isHidden());
        ui::clickRow(p->ListView5, 2);
        QCOMPARE(captions(p), (QStringList{"Elimina Ordine", "Elimina Ordine", "Chiudi"}));
        QCOMPARE(p->T7->text(), QStringLiteral("5"));
        QVERIFY(p->Frame5->isVisible());
        QCOMPARE(listRows(p), 2);
        QCOMPARE(p->ListView5->report()->columnCount(), 12);
        // The lines are shown, not loaded.
        ui::clickRow(p->ListView5, 0);
        QCOMPARE(articleFields(p), QStringList(9, QString()));
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Elimina Ordine"));

        app->dialogs.answerNo();
        ui::click(p->Cmd4);
        QCOMPARE(app->dialogs.questionDefaults(), QStringList{"No"});
        QCOMPARE(shown(*app), question(kSicuro, titles::t20()));
        QCOMPARE(ordine(app->db()).size(), 4);
        QVERIFY(p->isVisible());

        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), seq({question(kSicuro, titles::t20()),
                                   message(kEliminato, titles::t20(), BoxIcon::Information)}));
        QVERIFY(p->isHidden());
        QCOMPARE(rows(app->db(), "SELECT ANNO, NR FROM ORDINE ORDER BY ID;"),
                 (QList<QStringList>{{"2026", "3"}, {"2025", "5"}}));

        // The next year chosen: the kept "Elimina Ordine" and number 5 must not delete order 5
        // of 2025 before it is chosen.
        QVERIFY(openYear(*app, "Eordine", QStringLiteral("2025")));
        QCOMPARE(captions(p), (QStringList{"Elimina Ordini", "Elimina Ordine", "Chiudi"}));
        QCOMPARE(p->T7->text(), QStringLiteral("5"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QVERIFY(app->dialogs.boxes.isEmpty());
        app->dialogs.answers.clear();
        QCOMPARE(ordine(app->db(), "ANNO = '2025'").size(), 1);
        ui::clickRow(p->ListView5, 0);
        ui::click(p->Cmd5);
        QVERIFY(p->isHidden());
        QCOMPARE(ordine(app->db()).size(), 2);
    }

    void courseOfAPrint() {
        start();
        QVERIFY(openYear(*app, "StampaOrdine", QStringLiteral("2026")));
        QCOMPARE(p->title(), QStringLiteral("Stampa Ordine"));
        ui::clickRow(p->ListView5, 0);
        QCOMPARE(captions(p), (QStringList{"Stampa Ordine", "Stampa Ordine", "Chiudi"}));
        QCOMPARE(listRows(p), 1);
        QCOMPARE(listRow(p, 0)[3], QStringLiteral("C"));
        ui::click(p->Cmd4);
        ui::click(p->Cmd4);
        QCOMPARE(printed, (QStringList{"2026/3/10008", "2026/3/10008"}));
        QVERIFY(app->dialogs.boxes.isEmpty());
        QCOMPARE(captions(p), (QStringList{"Stampa Ordine", "Stampa Ordine", "Chiudi"}));
        // A click on a line of the chosen order changes nothing.
        ui::clickRow(p->ListView5, 0);
        QCOMPARE(listRows(p), 1);
        QCOMPARE(p->T7->text(), QStringLiteral("3"));
        ui::click(p->Cmd5);
        QVERIFY(p->isHidden());

        // Back in the listing, before a choice, the kept "Stampa Ordine" prints nothing.
        QVERIFY(openYear(*app, "StampaOrdine", QStringLiteral("2025")));
        ui::click(p->Cmd4);
        QCOMPARE(printed.size(), 2);
        ui::clickRow(p->ListView5, 0);
        ui::click(p->Cmd4);
        QCOMPARE(printed.last(), QStringLiteral("2025/5/10001"));
    }

    void anOrderOfThreeLinesIsListedThreeTimesAlike() {
        start();
        store(app->db(), "2026", "5", "10001", "E");
        for (int row : {1, 2, 3}) {
            QVERIFY(openYear(*app, "StampaOrdine", QStringLiteral("2026")));
            QCOMPARE(listRows(p), 4);
            ui::clickRow(p->ListView5, row);
            QCOMPARE((QStringList{p->T7->text(), p->L7->text(), p->Cbo5->currentText()}),
                     (QStringList{"5", "10001", "ALIMENTARI D'ANGELO SNC"}));
            QCOMPARE(listRows(p), 3);
        }
    }

    void listingOrderAndMissingCustomers() {
        start();
        exec(app->db(), "DELETE FROM ORDINE;");
        for (const char* nr : {"2", "10", "1"})
            store(app->db(), "2026", nr, "10001", "A");
        store(app->db(), "2026", "4", "99999", "A"); // no such customer
        store(app->db(), "2026", "6", "", "A");      // stored without a code
        QVERIFY(openYear(*app, "Aordine", QStringLiteral("2026")));
        QStringList numbers;
        for (int r = 0; r < listRows(p); ++r)
            numbers << p->ListView5->report()->cell(r, 3);
        QCOMPARE(numbers, (QStringList{"1", "10", "2"}));
        // A year without orders: an empty list under its headings.
        QVERIFY(openYear(*app, "Aordine", QStringLiteral("2027")));
        QCOMPARE(listRows(p), 0);
        QCOMPARE(p->ListView5->report()->columnCount(), 11);
    }

    void anOrderWithoutLinesGivesAnEmptyLineList() {
        start();
        QVERIFY(openYear(*app, "StampaOrdine", QStringLiteral("2026")));
        exec(app->db(), "DELETE FROM ORDINE WHERE NR = '3';");
        ui::clickRow(p->ListView5, 0);
        QCOMPARE(listRows(p), 0);
        QCOMPARE(p->ListView5->report()->columnCount(), 12);
        QCOMPARE(p->ListView5->report()->headerData(11, Qt::Horizontal, Qt::DisplayRole),
                 QVariant(QStringLiteral("NOTE")));
    }
};

QTEST_MAIN(TestOrderDeletePrint)
#include "tst_orderdelete.moc"
