// Course 2 through the window: the year, an order chosen in the listing, "Richiama Articoli",
// lines modified and added, "Chiudi"; and the presses that must change nothing.

#include "OrderKit.h"

#include "ui/widgets/Twips.h"

using namespace kit;

class TestOrderUpdate : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    OrderPanel* p = nullptr;

    // Order 5 of 2026 (two lines), order 3 of 2026, and order 5 of 2025.
    void start() {
        app = std::make_unique<App>();
        QVERIFY(app->started);
        seed(app->db());
        store(app->db(), "2026", "5", "10001", "A", "PRIMA RIGA");
        store(app->db(), "2026", "5", "10001", "B");
        store(app->db(), "2026", "3", "10008", "C");
        store(app->db(), "2025", "5", "10001", "D");
        p = panel(*app);
    }

    // Year 2026 in mode 2, order 5 chosen, its lines called up.
    void openOrder5() {
        QVERIFY(openYear(*app, "Aordine", QStringLiteral("2026")));
        ui::clickRow(p->ListView5, 1);
        ui::click(p->Cmd4);
        QCOMPARE(listRows(p), 2);
    }

private Q_SLOTS:
    void cleanup() {
        if (app)
            QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
        app.reset();
    }

    void courseOfAnUpdate() {
        start();
        // A new order left without a line: Cmd4 keeps "Aggiungi Articolo" and T7 the number.
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        ui::click(p->Cmd5);
        QVERIFY(openYear(*app, "Aordine", QStringLiteral("2026")));
        QCOMPARE(captions(p),
                 (QStringList{"Aggiorna Ordine", "Aggiungi Articolo", "Chiudi Ordine"}));
        QVERIFY(p->Frame5->isVisible());
        QCOMPARE(p->Frame5->geometry().top(), twips::px(600));
        QCOMPARE(p->Frame5->height(), twips::px(7690));
        // The list as long as the tables say, cut at the sub-panel's lower border.
        QCOMPARE(p->ListView5->height(),
                 qMin(twips::px(7320), p->Frame5->height() - p->ListView5->y() -
                                           twips::px(OrderPanel::kListBottomMargin)));
        QVERIFY(p->ListView5->geometry().bottom() < p->Frame5->height());
        QVERIFY(p->C2->isHidden());
        QVERIFY(p->T7->isReadOnly());
        QCOMPARE(listRows(p), 3);
        QCOMPARE(listRow(p, 0), (QStringList{"2026", "10008", "10008", "3", "BAR SPORT",
                                             "04/03/2026", "", "DEPOSITO", "COMO", "CO", "MI"}));
        const auto* list = p->ListView5->report();
        QStringList headings;
        for (int c = 0; c < list->columnCount(); ++c)
            headings << list->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QCOMPARE(headings, (QStringList{"", "", "", "ORDINE NR.", "CLIENTE '", "DATA ORDINE",
                                        "DATA CONSEGNA", "DEST", "CITTA'", "PR'", "PROVINCIA'"}));
        QCOMPARE(list->columnIndex("ID_CL"), 1);
        QVERIFY(list->data(list->index(0, 4), Qt::FontRole).value<QFont>().bold());
        for (int c : {0, 1, 2, 7, 8, 9, 10})
            QVERIFY(p->ListView5->columnWidth(c) <= 1);
        // Before an order is chosen the kept caption must not act on the kept number.
        ui::click(p->Cmd4);
        QVERIFY(app->dialogs.boxes.isEmpty());
        QCOMPARE(ordine(app->db()).size(), 4);

        ui::clickRow(p->ListView5, 1);
        QCOMPARE(captions(p), (QStringList{"Aggiorna", "Richiama Articoli", "Chiudi"}));
        QCOMPARE(
            (QStringList{p->Text1->text(), p->T7->text(), p->Cbo5->currentText(), p->L7->text(),
                         p->L8->text(), p->D1->text(), p->D2->text(), p->Cbo3->currentText(),
                         p->Cbo9->currentText(), p->Cbo4->currentText()}),
            (QStringList{"2026", "5", "ALIMENTARI D'ANGELO SNC", "10001", "BG", "04/03/2026", "",
                         "DEPOSITO", "COMO", "CO"}));
        QVERIFY(p->Frame5->isHidden());
        QCOMPARE(p->Frame5->geometry().top(), twips::px(4800));
        QCOMPARE(p->ListView5->height(), twips::px(2640));

        ui::click(p->Cmd4);
        QVERIFY(p->Frame5->isVisible());
        QVERIFY(p->C1->isVisible() && !p->C1->isChecked());
        QCOMPARE(listRows(p), 2);
        const QString idA = value(app->db(), "SELECT ID FROM ORDINE WHERE ARTICOLO = 'A';");
        QCOMPARE(listRow(p, 0), (QStringList{idA, "2026", "5", "A", "C-A", "CARTONE", "6", "2", "",
                                             "12,50", "", "PRIMA RIGA"}));

        // A line whose article left the catalogue keeps its own copy when it is modified.
        ui::clickRow(p->ListView5, 0);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Modifica Articolo"));
        ui::retype(p->T13, QStringLiteral("13"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 seq({question(kAggiornare, titles::t38()), message(kAggiornato, titles::t18())}));
        const QString head5 = "'2026'|'5'|'10001'|'2026-03-04'|NULL|'DEPOSITO'|'COMO'|'CO'|";
        QCOMPARE(ordine(app->db(), "ARTICOLO = 'A'"),
                 QStringList{head5 + "'A'|'C-A'|'CARTONE'|6.0|2.0|NULL|13.0|NULL|'PRIMA RIGA'"});
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));

        // A line with Null notes loads an empty note; a declined modification changes nothing.
        ui::clickRow(p->ListView5, 1);
        QCOMPARE(p->T15->toPlainText(), QString());
        QCOMPARE(p->T13->text(), QStringLiteral("12,50"));
        ui::retype(p->T11, QStringLiteral("9"));
        app->dialogs.answerNo();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), question(kAggiornare, titles::t38()));
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));
        QVERIFY(!p->C1->isChecked());
        QCOMPARE(value(app->db(), "SELECT QVENDITA FROM ORDINE WHERE ARTICOLO = 'B';"),
                 QStringLiteral("2.0"));

        // A new line of the same order with another customer would put that customer's line in
        // this customer's order: refused, nothing written.
        QVERIFY(ui::choose(p->Cbo5, QStringLiteral("BAR SPORT")));
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        quantities(p, QStringLiteral("1"), QString(), QStringLiteral("10"));
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 message(QStringLiteral("Il numero d'ordine 5 dell'anno 2026 è già usato da un "
                                        "ordine del cliente ALIMENTARI D'ANGELO SNC (codice "
                                        "10001): la riga finirebbe in quell'ordine. Scegliere un "
                                        "altro numero.\nNessun dato è stato registrato."),
                         titles::t20(), BoxIcon::Exclamation));
        QCOMPARE(ordine(app->db()).size(), 4);
        // With the order's own customer the line joins it.
        QVERIFY(ui::choose(p->Cbo5, QStringLiteral("ALIMENTARI D'ANGELO SNC")));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 seq({question(kInserire, titles::t38()), message(kInserito, titles::t18())}));
        QCOMPARE(rows(app->db(), "SELECT ID_CL, DATAO FROM ORDINE WHERE ANNO = '2026' AND NR = '5' "
                                 "ORDER BY ID;"),
                 (QList<QStringList>{
                     {"10001", "2026-03-04"}, {"10001", "2026-03-04"}, {"10001", "2026-03-04"}}));
        QCOMPARE(listRows(p), 3);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));

        ui::click(p->Cmd5);
        QVERIFY(p->isHidden());
        QVERIFY(!p->C2->isHidden());
        QCOMPARE(ordine(app->db()).size(), 5);
        QCOMPARE(ordine(app->db(), "ANNO = '2025'").size(), 1);
    }

    void linesOfTheSameNumberInAnotherYearNeverShow() {
        start();
        openOrder5();
        for (int r = 0; r < listRows(p); ++r)
            QCOMPARE(p->ListView5->report()->cell(r, 1), QStringLiteral("2026"));
        ui::click(p->Cmd4); // "Richiama Articoli" again lists them again
        QCOMPARE(listRows(p), 2);
    }

    void modifyOrDeleteWithoutALoadedLineChangesNothing() {
        start();
        openOrder5();
        const QStringList before = ordine(app->db());
        // "Elimina" ticked and unticked: "Modifica Articolo" with no line clicked.
        ui::click(p->C1);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Elimina Articolo"));
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), message(QStringLiteral("Nessun articolo è stato eliminato: fare "
                                                     "prima clic sulla riga dell'articolo "
                                                     "nell'elenco."),
                                      titles::t20(), BoxIcon::Exclamation));
        ui::click(p->C1);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Modifica Articolo"));
        QCOMPARE(p->Frame5->title(), QStringLiteral("Modifica Articolo"));
        // Modes 2 to 4 do not fill the combos: the description is typed.
        QCOMPARE(p->Cbo6->count(), 0);
        ui::type(p->Cbo6, QStringLiteral("GRANA PADANO DOP"));
        quantities(p, QStringLiteral("1"), QString(), QStringLiteral("10"));
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), message(QStringLiteral("Nessun articolo è stato modificato: fare "
                                                     "prima clic sulla riga dell'articolo "
                                                     "nell'elenco."),
                                      titles::t20(), BoxIcon::Exclamation));
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Modifica Articolo"));

        // A line deleted since it was loaded.
        ui::clickRow(p->ListView5, 0);
        exec(app->db(), "DELETE FROM ORDINE WHERE ARTICOLO = 'A';");
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), message(QStringLiteral("Nessun articolo è stato modificato: la riga "
                                                     "scelta non c'è più nell'ordine."),
                                      titles::t20(), BoxIcon::Exclamation));
        ui::click(p->C1);
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), message(QStringLiteral("Nessun articolo è stato eliminato: la riga "
                                                     "scelta non c'è più nell'ordine."),
                                      titles::t20(), BoxIcon::Exclamation));
        QCOMPARE(ordine(app->db()), before.mid(1));
    }
};

QTEST_MAIN(TestOrderUpdate)
#include "tst_orderupdate.moc"
