// Course 1 through the window: "Nuovo Ordine", the year, the proposed number, the header, lines
// added, modified and deleted, "Chiudi Ordine"; the numbering and the refusals of bad input.

#include "OrderKit.h"

#include <QFile>

#include <sys/stat.h>

using namespace kit;

class TestNewOrder : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    OrderPanel* p = nullptr;

    void start() {
        app = std::make_unique<App>();
        QVERIFY(app->started);
        seed(app->db());
        p = panel(*app);
    }

    // A complete first line for customer and article chosen from their lists.
    void typeLine(const QString& customer = QStringLiteral("ALIMENTARI D'ANGELO SNC")) {
        QVERIFY(ui::choose(p->Cbo5, customer));
        header(p, QStringLiteral("magazzino"), QStringLiteral("BERGAMO"), QStringLiteral("BG"));
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        quantities(p, QStringLiteral("3"), QString(), QStringLiteral("12,5"), QStringLiteral("5"),
                   QStringLiteral("consegna al mattino"));
    }

private Q_SLOTS:
    void cleanup() {
        if (app)
            QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
        app.reset();
    }

    void courseOfANewOrder() {
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QVERIFY(p->isVisible());
        QVERIFY(app->window->Frame7->isHidden());
        QCOMPARE(captions(p), (QStringList{"Nuovo Ordine", "Aggiungi Articolo", "Chiudi Ordine"}));
        QCOMPARE(p->Frame4->title(), QStringLiteral("Aggiungi Articolo"));
        QCOMPARE(p->Text1->text(), QStringLiteral("2026"));
        QCOMPARE(p->T7->text(), QStringLiteral("1"));
        QVERIFY(p->T7->isReadOnly());
        QCOMPARE(p->D1->text(), QStringLiteral("08/12/2026"));
        QVERIFY(p->Frame5->isHidden());
        QVERIFY(p->C2->isVisible() && !p->C2->isChecked());
        QCOMPARE(p->Cbo5->count(), 3);
        QCOMPARE(p->Cbo6->count(), 3);

        QVERIFY(ui::choose(p->Cbo5, QStringLiteral("ALIMENTARI D'ANGELO SNC")));
        QCOMPARE(p->L7->text(), QStringLiteral("10001"));
        QCOMPARE(p->L8->text(), QStringLiteral("BG"));
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        QCOMPARE((QStringList{p->T8->text(), p->T9->text(), p->T10->text()}),
                 (QStringList{"F-GP01", "FORMA INTERA", "36"}));
        QVERIFY(p->T11->hasFocus());
        typeLine();
        QCOMPARE(p->T13->text(), QStringLiteral("12,50"));
        QCOMPARE(p->Cbo3->currentText(), QStringLiteral("MAGAZZINO"));

        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 seq({question(kInserire, titles::t38()), message(kInserito, titles::t18())}));
        const QString head = "'2026'|'1'|'10001'|'2026-12-08'|NULL|'MAGAZZINO'|'BERGAMO'|'BG'|";
        QCOMPARE(ordine(app->db()),
                 QStringList{head + "'GRANA PADANO DOP'|'F-GP01'|'FORMA INTERA'|36.0|3.0|NULL|"
                                    "12.5|5.0|'CONSEGNA AL MATTINO'"});
        QVERIFY(p->Frame5->isVisible());
        QCOMPARE(p->Frame5->title(), QStringLiteral("Modifica Articolo"));
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));
        QCOMPARE(articleFields(p), QStringList(9, QString()));
        QCOMPARE(p->Cbo5->currentText(), QStringLiteral("ALIMENTARI D'ANGELO SNC"));
        QCOMPARE(p->Cbo9->currentText(), QStringLiteral("BERGAMO"));
        QCOMPARE(listRows(p), 1);
        const QString id = value(app->db(), "SELECT ID FROM ORDINE;");
        QCOMPARE(listRow(p, 0),
                 (QStringList{id, "2026", "1", "GRANA PADANO DOP", "F-GP01", "FORMA INTERA", "36",
                              "3", "", "12,50", "5", "CONSEGNA AL MATTINO"}));
        const auto* list = p->ListView5->report();
        QCOMPARE(list->headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("PREZZO"));
        QVERIFY(list->data(list->index(0, 3), Qt::FontRole).value<QFont>().bold());
        QVERIFY(p->ListView5->isColumnHidden(1) && p->ListView5->isColumnHidden(2));

        // The second "OLIO EXTRAVERGINE D'OLIVA" of the list is the second article of that name.
        QVERIFY(chooseNth(p->Cbo6, QStringLiteral("OLIO EXTRAVERGINE D'OLIVA"), 1));
        QCOMPARE(p->T8->text(), QStringLiteral("O-EVO1"));
        QCOMPARE(p->T10->text(), QStringLiteral("12,5"));
        quantities(p, QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1500"));
        QCOMPARE(p->T13->text(), QStringLiteral("1.500,00"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        // A description typed without choosing it still stores its own article; a header
        // changed meanwhile (a delivery date) reaches only the lines stored afterwards.
        ui::retype(p->D2, QStringLiteral("15/12/2026"));
        ui::type(p->Cbo6, QStringLiteral("grana padano dop"));
        quantities(p, QStringLiteral("1"), QString(), QStringLiteral("9"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        shown(*app);
        QStringList lines = ordine(app->db());
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1], head + "'OLIO EXTRAVERGINE D''OLIVA'|'O-EVO1'|'CARTONE 12 X 1 LT'|"
                                  "12.5|2.0|1.0|1500.0|NULL|''");
        QCOMPARE(lines[2], QString(head).replace("NULL", "'2026-12-15'") +
                               "'GRANA PADANO DOP'|'F-GP01'|'FORMA INTERA'|36.0|1.0|NULL|9.0|"
                               "NULL|''");
        QCOMPARE(listRows(p), 3);

        // A click loads the line; the price comes back as 12,50 and is stored unchanged.
        ui::clickRow(p->ListView5, 0);
        QCOMPARE(p->L10->text(), id);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Modifica Articolo"));
        QCOMPARE(articleFields(p), (QStringList{"GRANA PADANO DOP", "F-GP01", "FORMA INTERA", "36",
                                                "3", "", "12,50", "5", "CONSEGNA AL MATTINO"}));
        ui::retype(p->T11, QStringLiteral("4"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 seq({question(kAggiornare, titles::t38()), message(kAggiornato, titles::t18())}));
        QCOMPARE(ordine(app->db()).first(),
                 head + "'GRANA PADANO DOP'|'F-GP01'|'FORMA INTERA'|36.0|4.0|NULL|12.5|5.0|"
                        "'CONSEGNA AL MATTINO'");
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));
        QCOMPARE(articleFields(p), QStringList(9, QString()));

        // "Elimina" ticked: a click offers the deletion of the line.
        ui::click(p->C1);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Elimina Articolo"));
        QCOMPARE(p->Frame5->title(), QStringLiteral("Elimina Articolo"));
        ui::clickRow(p->ListView5, 1);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Elimina Articolo"));
        app->dialogs.answerNo();
        ui::click(p->Cmd4);
        QCOMPARE(ordine(app->db()).size(), 3);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Elimina Articolo"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 seq({question(kSicuro, titles::t20()), question(kSicuro, titles::t20()),
                      message(kEliminato, titles::t20(), BoxIcon::Information)}));
        lines = ordine(app->db());
        QCOMPARE(lines.size(), 2);
        QVERIFY(!lines.join(' ').contains("O-EVO1"));
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));
        QVERIFY(!p->C1->isChecked());
        QCOMPARE(listRows(p), 2);

        ui::click(p->Cmd5);
        QVERIFY(p->isHidden());
        QCOMPARE(ordine(app->db()).size(), 2);
        QVERIFY(app->dialogs.boxes.isEmpty());
    }

    void numbersAreCountedPerYear() {
        start();
        for (const char* nr : {"1", "2", "9"})
            store(app->db(), "2026", nr, "10001", "A");
        store(app->db(), "2025", "30", "10001", "A");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(p->T7->text(), QStringLiteral("10"));
        typeLine();
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        ui::click(p->Cmd5);
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(p->T7->text(), QStringLiteral("11"));
        // Leaving without storing a line does not use the number up.
        ui::click(p->Cmd5);
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(p->T7->text(), QStringLiteral("11"));
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2025")));
        QCOMPARE(p->T7->text(), QStringLiteral("31"));
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2027")));
        QCOMPARE(p->T7->text(), QStringLiteral("1"));
        QCOMPARE(value(app->db(), "SELECT count(*) FROM ORDINE WHERE ANNO = '2026' AND NR = '10';"),
                 QStringLiteral("1"));
    }

    void aManualNumberIsAWholeNumberFrom1To32767() {
        start();
        store(app->db(), "2026", "7", "10001", "A");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(p->T7->text(), QStringLiteral("8"));
        ui::click(p->C2);
        QVERIFY(!p->T7->isReadOnly());
        typeLine();
        for (const char* bad : {"0", "1,5", "-", "40000", ""}) {
            ui::retype(p->T7, QString::fromLatin1(bad));
            ui::click(p->Cmd4);
            QCOMPARE(shown(*app),
                     message(QStringLiteral("Il campo Nr.Ordine non accetta il valore \"%1\": il "
                                            "numero d'ordine deve essere un numero intero da 1 a "
                                            "32767.\nNessun dato è stato registrato.")
                                 .arg(QLatin1String(bad)),
                             titles::t20(), BoxIcon::Exclamation));
        }
        QCOMPARE(ordine(app->db()).size(), 1);
        ui::retype(p->T7, QStringLiteral("025"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(p->T7->text(), QStringLiteral("25"));
        QCOMPARE(value(app->db(), "SELECT NR FROM ORDINE ORDER BY ID DESC LIMIT 1;"),
                 QStringLiteral("25"));
        ui::click(p->C2);
        QVERIFY(p->T7->isReadOnly());
        ui::click(p->Cmd5);
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(p->T7->text(), QStringLiteral("26"));
    }

    void aManualNumberJoinsOnlyAnOrderOfTheSameCustomer_data() {
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<bool>("stored");
        QTest::newRow("the same customer's order") << "2026"
                                                   << "10001" << true;
        QTest::newRow("another customer's order") << "2026"
                                                  << "10008" << false;
        QTest::newRow("another customer's number of another year") << "2025"
                                                                   << "10008" << true;
    }

    // A line typed under the number of a stored order joins it when it is the same customer's
    // order (that is how a line is added to an order by number); another customer's order is
    // no place for it.
    void aManualNumberJoinsOnlyAnOrderOfTheSameCustomer() {
        QFETCH(QString, year);
        QFETCH(QString, owner);
        QFETCH(bool, stored);
        start();
        store(app->db(), year, "5", owner, "A");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        ui::click(p->C2);
        ui::retype(p->T7, QStringLiteral("5"));
        typeLine();
        const QStringList before = ordine(app->db());
        if (stored)
            app->dialogs.answerYes();
        ui::click(p->Cmd4);
        const QString refusal = QStringLiteral(
            "Il numero d'ordine 5 dell'anno 2026 è già usato da un ordine del cliente BAR SPORT "
            "(codice 10008): la riga finirebbe in quell'ordine. Scegliere un altro numero.\n"
            "Nessun dato è stato registrato.");
        if (stored) {
            QCOMPARE(shown(*app),
                     seq({question(kInserire, titles::t38()), message(kInserito, titles::t18())}));
            QCOMPARE(ordine(app->db(), "ANNO = '2026' AND NR = '5' AND ID_CL = '10001'").size(),
                     year == QLatin1String("2026") ? 2 : 1);
            return;
        }
        QCOMPARE(shown(*app), message(refusal, titles::t20(), BoxIcon::Exclamation));
        QCOMPARE(ordine(app->db()), before);
        QCOMPARE(p->T7->text(), QStringLiteral("5"));
        // The write checks the number again in its own transaction.
        orderstore::Header h;
        h.year = QStringLiteral("2026");
        h.number = QStringLiteral("5");
        h.customerCode = QStringLiteral("10001");
        h.orderDate = QStringLiteral("2026-12-08");
        orderstore::Line l;
        l.article = QStringLiteral("GRANA PADANO DOP");
        auto written = orderstore::insertLine(app->db(), h, l);
        QVERIFY(written);
        QCOMPARE(written->value_or(QString()), refusal);
        QCOMPARE(ordine(app->db()), before);
    }

    void anUnreadableStoredNumberIsToldAndManualNumberingStaysPossible() {
        start();
        store(app->db(), "2026", "3,5", "10001", "A");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(shown(*app),
                 message(QStringLiteral("Il numero d'ordine \"3,5\" dell'anno 2026 non è un numero "
                                        "intero da 1 a 32767: la numerazione automatica non è "
                                        "possibile. Scegliere \"Nr manuale\"."),
                         titles::t20(), BoxIcon::Exclamation));
        QVERIFY(p->isVisible());
        QCOMPARE(p->T7->text(), QString());
        typeLine();
        ui::click(p->Cmd4); // no number: refused
        QCOMPARE(app->dialogs.boxes.size(), 1);
        app->dialogs.boxes.clear();
        ui::click(p->C2);
        ui::type(p->T7, QStringLiteral("4"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(value(app->db(), "SELECT count(*) FROM ORDINE WHERE NR = '4';"),
                 QStringLiteral("1"));
    }

    void aFailingCustomerFillIsToldAndThePanelStillWorks() {
        start();
        exec(app->db(), "ALTER TABLE CLIENTE RENAME TO CLIENTI;");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QCOMPARE(app->dialogs.boxes.size(), 1);
        const auto box = app->dialogs.boxes.first();
        QCOMPARE(box.title, QStringLiteral("Errore"));
        QCOMPARE(box.icon, BoxIcon::Critical);
        QVERIFY2(box.text.startsWith("1:\r\n") && box.text.contains("CLIENTE"),
                 qPrintable(box.text));
        QVERIFY(p->isVisible());
        QCOMPARE(p->T7->text(), QStringLiteral("1"));
        QCOMPARE(p->Cbo6->count(), 3);
    }

    void requiredFieldsMissingWriteNothing_data() {
        QTest::addColumn<QString>("field");
        for (const char* f : {"Cbo9", "Cbo5", "Cbo4", "Cbo3", "D1", "Cbo6", "T13", "T11"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void requiredFieldsMissingWriteNothing() {
        QFETCH(QString, field);
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        typeLine();
        QWidget* w = p->findChild<QWidget*>(field);
        if (auto* c = qobject_cast<QComboBox*>(w))
            c->setEditText(QString());
        else if (auto* d = qobject_cast<DateBox*>(w))
            d->clear();
        else
            static_cast<QLineEdit*>(w)->clear();
        const QStringList before = articleFields(p);
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app), message(kObbligatori, titles::t20(), BoxIcon::Information));
        QVERIFY(ordine(app->db()).isEmpty());
        QCOMPARE(articleFields(p), before);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Aggiungi Articolo"));
    }

    void valuesThatAreNoNumbersAreRefused() {
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        typeLine();
        ui::retype(p->T11, QStringLiteral("1,2,3"));
        ui::click(p->Cmd4);
        ui::retype(p->T11, QStringLiteral("3"));
        ui::retype(p->T13, QStringLiteral("-"));
        ui::leave(p->T13, p->T14);
        QCOMPARE(p->T13->text(), QStringLiteral("-"));
        ui::click(p->Cmd4);
        const QString tail = QStringLiteral(": non è un numero valido (esempi: 12 - 12,5 - "
                                            "1.500,00).\nNessun dato è stato registrato.");
        QCOMPARE(shown(*app),
                 seq({message("Il campo Quantità Vendita non accetta il valore \"1,2,3\"" + tail,
                              titles::t20(), BoxIcon::Exclamation),
                      message("Il campo Prezzo non accetta il valore \"-\"" + tail, titles::t20(),
                              BoxIcon::Exclamation)}));
        QVERIFY(ordine(app->db()).isEmpty());
    }

    void theStoredCustomerIsTheOneItsNameNames() {
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        typeLine(QStringLiteral("BAR SPORT"));
        QCOMPARE(p->L7->text(), QStringLiteral("10008"));
        // A name typed without choosing it leaves L7 with the earlier customer's code.
        ui::retype(p->Cbo5, QStringLiteral("alimentari d'angelo snc"));
        QCOMPARE(p->L7->text(), QStringLiteral("10008"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(p->L7->text(), QStringLiteral("10001"));
        QCOMPARE(p->L8->text(), QStringLiteral("BG"));
        // Of two customers of one name, the one chosen, in an order of its own.
        ui::click(p->C2);
        ui::retype(p->T7, QStringLiteral("2"));
        QVERIFY(chooseNth(p->Cbo5, QStringLiteral("BAR SPORT"), 1));
        QCOMPARE(p->L7->text(), QStringLiteral("20000"));
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        quantities(p, QStringLiteral("1"), QString(), QStringLiteral("2"));
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(rows(app->db(), "SELECT ID_CL FROM ORDINE ORDER BY ID;"),
                 (QList<QStringList>{{"10001"}, {"20000"}}));
        // A name no customer has.
        shown(*app);
        ui::retype(p->Cbo5, QStringLiteral("NESSUNO"));
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        quantities(p, QStringLiteral("1"), QString(), QStringLiteral("2"));
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 message(QStringLiteral("Il cliente \"NESSUNO\" non è nell'anagrafica dei clienti: "
                                        "sceglierlo dall'elenco \"Cliente\" o inserirlo con "
                                        "Gestione Cliente - Nuovo.\nNessun dato è stato "
                                        "registrato."),
                         titles::t20(), BoxIcon::Exclamation));
        // A customer without a code would give an order that no listing shows.
        exec(app->db(), "UPDATE CLIENTE SET CODICE = NULL WHERE CODICE = '10001';");
        ui::retype(p->Cbo5, QStringLiteral("ALIMENTARI D'ANGELO SNC"));
        ui::click(p->Cmd4);
        QVERIFY(shown(*app).contains("non ha un codice cliente"));
        QCOMPARE(ordine(app->db()).size(), 2);
    }

    void theStoredArticleIsTheOneItsDescriptionNames() {
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        typeLine();
        ui::retype(p->Cbo6, QStringLiteral("olio extravergine d'oliva"));
        QCOMPARE(p->T8->text(), QStringLiteral("F-GP01")); // still the earlier article's
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        QCOMPARE(
            rows(app->db(), "SELECT ARTICOLO, CODICE, FORMATO, PESO FROM ORDINE;"),
            (QList<QStringList>{{"OLIO EXTRAVERGINE D'OLIVA", "O-EVO5", "LATTA 5 LT", "5.0"}}));
        shown(*app);
        ui::type(p->Cbo6, QStringLiteral("FORMAGGIO"));
        quantities(p, QStringLiteral("1"), QString(), QStringLiteral("2"));
        ui::click(p->Cmd4);
        QCOMPARE(shown(*app),
                 message(QStringLiteral("L'articolo \"FORMAGGIO\" non è nel catalogo degli "
                                        "articoli: sceglierlo dall'elenco \"Scelta Articolo\" o "
                                        "inserirlo con Gestione Articoli - Nuovo.\nNessun dato è "
                                        "stato registrato."),
                         titles::t20(), BoxIcon::Exclamation));
        QCOMPARE(ordine(app->db()).size(), 1);
    }

    void aDatabaseErrorIsToldAndTheFieldsStay() {
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        typeLine();
        QVERIFY(::chmod(QFile::encodeName(app->dir.dbPath()).constData(), 0444) == 0);
        const QStringList before = articleFields(p);
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        const auto boxes = app->dialogs.take();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].title, QStringLiteral("Errore"));
        QCOMPARE(boxes[1].icon, BoxIcon::Critical);
        QVERIFY2(boxes[1].text.startsWith("8:\r\n") && boxes[1].text.contains("sola lettura"),
                 qPrintable(boxes[1].text));
        QVERIFY(ordine(app->db()).isEmpty());
        QCOMPARE(articleFields(p), before);
        QVERIFY(p->isVisible());
    }
};

QTEST_MAIN(TestNewOrder)
#include "tst_neworder.moc"
