// The agent's tools through the window: the search "Cerca" and its three groups, an order
// opened from it, a customer's history, an order repeated, the totals line of the order on
// screen and the last price paid proposed in the price field.

#include "orders/OrderKit.h"

#include "search/SearchWindow.h"

#include <QProcess>
#include <QTimer>

using namespace kit;

namespace {

// One line stored directly: year, number, customer code, order date, article description and
// code, weight, sold, free, price.
void line(Database& db, const char* year, const char* nr, const char* customer, const char* date,
          const char* article, const char* code, double weight, double sold, double free,
          double price) {
    const QString sql =
        QStringLiteral("INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, "
                       "ARTICOLO, CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE) "
                       "VALUES ('%1', '%2', '%3', '%4', '%4', 'DEPOSITO', 'COMO', 'CO', '%5', "
                       "'%6', 'CARTONE', %7, %8, %9, %10, 3, 'NOTA');")
            .arg(QLatin1String(year), QLatin1String(nr), QLatin1String(customer),
                 QLatin1String(date), QLatin1String(article), QLatin1String(code))
            .arg(weight)
            .arg(sold)
            .arg(free)
            .arg(price);
    exec(db, sql.toUtf8().constData());
}

// One line stored directly with its texts bound as they are: year, number, customer code, order
// date, article description and code, destination, notes (none when null).
void textLine(Database& db, const char* year, const char* nr, const QString& customer,
              const char* date, const QString& article, const char* code, const QString& dest,
              const char* note) {
    auto st = db.prepare("INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, CITTA, PR, ARTICOLO, "
                         "CODICE, PESO, QVENDITA, QOMAGGIO, PREZZO, NOTE) VALUES (?1, ?2, ?3, ?4, "
                         "?5, 'COMO', 'CO', ?6, ?7, 1, 1, 0, 10, ?8);");
    QVERIFY(st);
    st->bind(1, year).bind(2, nr).bind(3, customer).bind(4, date).bind(5, dest).bind(6, article);
    st->bind(7, QString::fromUtf8(code)).bind(8, note ? QString::fromUtf8(note) : QString());
    if (!note)
        st->bindNull(8);
    QVERIFY(st->run());
}

// The orders of a list as year/number, in its order.
QStringList orders(ReportView* list) {
    QStringList out;
    for (int r = 0; r < list->report()->rows(); ++r)
        out << list->report()->cell(r, 0) + QLatin1Char('/') + list->report()->cell(r, 1);
    return out;
}

QStringList column(ReportView* list, int c) {
    QStringList out;
    for (int r = 0; r < list->report()->rows(); ++r)
        out << list->report()->cell(r, c);
    return out;
}

QStringList row(ReportView* list, int r) {
    QStringList out;
    for (int c = 0; c < list->report()->columnCount(); ++c)
        out << list->report()->cell(r, c);
    return out;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    SearchWindow* s = nullptr;
    OrderPanel* p = nullptr;

    // A trattoria with three orders (5 of 2025 with two lines, 5 and 7 of 2026), a bar with
    // order 5 of 2024.
    void start() {
        app = std::make_unique<App>();
        QVERIFY(app->started);
        Database& db = app->db();
        seed(db);
        exec(db, "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
                 "('30000', 'TRATTORIA CITTÀ ALTA', 'CANTÙ', 'CO'), "
                 "('30001', 'OSTERIA DEL PORTO', 'CITTADELLA', 'PD');"
                 "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES "
                 "('S-CIT', 'SALAME CITTADINO', 'PEZZO 1 KG', 1);");
        line(db, "2025", "5", "30000", "2025-02-10", "GRANA PADANO DOP", "F-GP01", 36, 2, 1, 10);
        line(db, "2025", "5", "30000", "2025-02-10", "OLIO EXTRAVERGINE D''OLIVA", "O-EVO5", 5, 3,
             0, 8.5);
        line(db, "2026", "5", "30000", "2026-03-04", "GRANA PADANO DOP", "F-GP01", 36, 1, 0, 11);
        line(db, "2026", "7", "30000", "2026-05-20", "SALAME CITTADINO", "S-CIT", 1, 4, 0, 9);
        line(db, "2024", "5", "10008", "2024-06-01", "GRANA PADANO DOP", "F-GP01", 36, 1, 0, 9.5);
        p = panel(*app);
        s = app->window->Cerca;
        QTest::keyClick(app->window.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(s->isVisible());
    }

    void search(const QString& text) {
        s->TestoCerca->clear();
        ui::type(s->TestoCerca, text);
    }
    // Return on the customer found by "trattoria": its history in the detail list.
    void showHistoryOfTrattoria() {
        search(QStringLiteral("trattoria"));
        s->ListaClienti->setFocus();
        s->ListaClienti->selectRow(0);
        QTest::keyClick(s->ListaClienti, Qt::Key_Return);
    }

private Q_SLOTS:
    void cleanup() {
        if (app)
            QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
        app.reset();
    }

    void threeGroupsWithAccentsAndParts() {
        start();
        QCOMPARE(app->find<QAction>("MCerca")->text(), QStringLiteral("C&erca"));
        // Part of a name, a town or a description, lower case and without the accent.
        search(QStringLiteral("citta"));
        QCOMPARE(column(s->ListaClienti, 1),
                 (QStringList{"OSTERIA DEL PORTO", "TRATTORIA CITTÀ ALTA"}));
        QCOMPARE(row(s->ListaClienti, 1), (QStringList{"30000", "TRATTORIA CITTÀ ALTA", "CANTÙ"}));
        QCOMPARE(row(s->ListaArticoli, 0),
                 (QStringList{"S-CIT", "SALAME CITTADINO", "PEZZO 1 KG"}));
        QCOMPARE(s->LClienti->text(), QStringLiteral("Clienti (2)"));
        // The orders of the customers found, newest first, with their totals.
        QCOMPARE(row(s->ListaOrdini, 0),
                 (QStringList{"2026", "7", "TRATTORIA CITTÀ ALTA", "20/05/2026", "1", "4", "0",
                              "4,00", "36,00"}));
        QCOMPARE(column(s->ListaOrdini, 1), (QStringList{"7", "5", "5"}));
        // Accented letters typed find the plain ones; a number finds its order in every year.
        search(QStringLiteral("cantù"));
        QCOMPARE(column(s->ListaClienti, 0), (QStringList{"30000"}));
        search(QStringLiteral("5"));
        QCOMPARE(column(s->ListaOrdini, 0), (QStringList{"2026", "2025", "2024"}));
        QCOMPARE(column(s->ListaOrdini, 2),
                 (QStringList{"TRATTORIA CITTÀ ALTA", "TRATTORIA CITTÀ ALTA", "BAR SPORT"}));
        QCOMPARE(column(s->ListaArticoli, 0), (QStringList{"O-EVO5"}));
    }

    // The orders group lists the orders whose lines hold the text too (the article's description
    // or code, the destination, the notes), newest first, each once, after the numbered ones;
    // the characters typed are taken as they are, and so are the codes of the customers found.
    void ordersFoundByWhatTheirLinesHold_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("descrizione") << "grattugiato" << QStringList{"2026/9", "2023/4"};
        QTest::newRow("codice") << "f-gp1" << QStringList{"2026/9", "2023/4"};
        QTest::newRow("note") << "sul 2°" << QStringList{"2023/4"};
        QTest::newRow("cliente e destinazione, una volta") << "d'angelo" << QStringList{"2024/8"};
        QTest::newRow("clienti e righe") << "bar" << QStringList{"2026/9", "2024/5"};
        QTest::newRow("numero, poi righe")
            << "5" << QStringList{"2026/5", "2025/5", "2024/5", "2023/4"};
        QTest::newRow("percento") << "%" << QStringList{"2023/4"};
        QTest::newRow("trattino basso") << "_" << QStringList{"2024/8"};
        QTest::newRow("barra inversa") << "\\" << QStringList{"2024/8"};
        QTest::newRow("virgolette") << "\"" << QStringList{"2024/8"};
        QTest::newRow("codice cliente con a capo e due punti") << "zeta" << QStringList{"2023/3"};
        QTest::newRow("niente") << "grattugiata" << QStringList{};
    }
    void ordersFoundByWhatTheirLinesHold() {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        start();
        Database& db = app->db();
        textLine(db, "2026", "9", "10008", "2026-06-01", "GRANA PADANO GRATTUGIATO", "F-GP10",
                 "BAR SPORT", nullptr);
        textLine(db, "2023", "4", "30000", "2023-01-10", "GRANA PADANO GRATTUGIATO", "F-GP10",
                 "TRATTORIA CITTÀ ALTA", "SCONTO 50% SUL 2°");
        textLine(db, "2024", "8", "10001", "2024-09-09", "FORMAGGIO \"NOSTRANO\"", "GR_TT",
                 "DEPOSITO D'ANGELO", "RITIRO C:\\MAGAZZINO");
        // A code holding a line break and a colon, beside the code of another customer.
        exec(db, "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
                 "('9:' || char(10) || '10008', 'ZETA SRL', 'ASTI', 'AT');");
        textLine(db, "2023", "3", QStringLiteral("9:\n10008"), "2023-03-03", "TALEGGIO", "T-1",
                 "ZETA SRL", nullptr);
        search(text);
        QCOMPARE(orders(s->ListaOrdini), found);
        QCOMPARE(s->LOrdini->text(), QStringLiteral("Ordini (%1)").arg(found.size()));
    }

    // More lines hold the text than the group shows, and the newest lines do not: the group
    // shows the newest 50 orders holding it, each once, as the engine finds them in every line.
    void aHugeNumberOfMatchingLines() {
        start();
        Database& db = app->db();
        exec(db, "WITH RECURSIVE N(I) AS (SELECT 0 UNION ALL SELECT I + 1 FROM N WHERE I < 2599) "
                 "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, ARTICOLO, CODICE, PESO, "
                 "QVENDITA, QOMAGGIO, PREZZO) SELECT '2026', CAST(100 + I / 5 AS TEXT), '10008', "
                 "printf('2026-11-%02d', 1 + (I / 5) % 20), 'BAR SPORT', 'RIEMPITIVO ' || I, "
                 "'R-' || I, 1, 1, 0, 1 FROM N;"
                 // 70 orders holding it on 7 dates, their two lines stored in turns with the
                 // others' (the line holding it is not always the order's last).
                 "WITH RECURSIVE N(I) AS (SELECT 0 UNION ALL SELECT I + 1 FROM N WHERE I < 139) "
                 "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, ARTICOLO, CODICE, PESO, "
                 "QVENDITA, QOMAGGIO, PREZZO) SELECT '2025', CAST(1000 + I % 70 AS TEXT), "
                 "'30000', printf('2025-0%d-15', 1 + (I % 70) % 7), 'TRATTORIA', CASE WHEN I < 70 "
                 "OR I % 3 = 0 THEN 'TALEGGIO DOP' ELSE 'SPECK' END, 'T-' || I, 1, 1, 0, 1 "
                 "FROM N;"
                 // And an order of 1000 lines of it.
                 "WITH RECURSIVE N(I) AS (SELECT 0 UNION ALL SELECT I + 1 FROM N WHERE I < 999) "
                 "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, ARTICOLO, CODICE, PESO, "
                 "QVENDITA, QOMAGGIO, PREZZO) SELECT '2025', '2000', '30000', '2025-04-15', "
                 "'TRATTORIA', 'TALEGGIO DOP', 'T-X', 1, 1, 0, 1 FROM N;");
        QStringList expected;
        for (const QStringList& r :
             rows(db, "SELECT ANNO || '/' || NR FROM ORDINE WHERE (ANNO, NR) IN (SELECT ANNO, "
                      "NR FROM ORDINE WHERE ARTICOLO LIKE '%taleggio%') GROUP BY ANNO, NR "
                      "ORDER BY DATAO DESC, ANNO DESC, MAX(ID) DESC LIMIT 50;"))
            expected << r.first();
        QCOMPARE(expected.size(), 50);
        QVERIFY(expected.contains("2025/2000"));
        search(QStringLiteral("taleggio"));
        QCOMPARE(orders(s->ListaOrdini), expected);
        QCOMPARE(s->LOrdini->text(), QStringLiteral("Ordini (i primi 50)"));
    }

    void returnOpensTheOrderForUpdate() {
        start();
        search(QStringLiteral("5"));
        QTest::keyClick(s->TestoCerca, Qt::Key_Return);
        // To the first group with results, its first row chosen.
        QCOMPARE(s->focusWidget(), s->ListaArticoli);
        QCOMPARE(s->ListaArticoli->selectedRow(), 0);
        s->ListaOrdini->setFocus();
        s->ListaOrdini->selectRow(1);
        QTest::keyClick(s->ListaOrdini, Qt::Key_Return);
        QVERIFY(!s->isVisible());
        QVERIFY(p->isVisible());
        QCOMPARE(captions(p), (QStringList{"Aggiorna", "Richiama Articoli", "Chiudi"}));
        QCOMPARE((QStringList{p->Text1->text(), p->T7->text(), p->Cbo5->currentText(),
                              p->L7->text(), p->D1->text()}),
                 (QStringList{"2025", "5", "TRATTORIA CITTÀ ALTA", "30000", "10/02/2025"}));
        ui::click(p->Cmd4);
        QCOMPARE(listRows(p), 2);
    }

    void historyOfACustomerWithThreeOrders() {
        start();
        showHistoryOfTrattoria();
        QCOMPARE(s->LDettaglio->text(),
                 QStringLiteral("Storico di TRATTORIA CITTÀ ALTA (30000): 3 ordini"));
        QCOMPARE(s->ListaDettaglio->report()->rows(), 3);
        QCOMPARE(row(s->ListaDettaglio, 0),
                 (QStringList{"2026", "7", "20/05/2026", "1", "4", "0", "4,00", "36,00"}));
        QCOMPARE(row(s->ListaDettaglio, 1),
                 (QStringList{"2026", "5", "04/03/2026", "1", "1", "0", "36,00", "396,00"}));
        QCOMPARE(row(s->ListaDettaglio, 2),
                 (QStringList{"2025", "5", "10/02/2025", "2", "5", "1", "87,00", "847,50"}));
        // An article shows who ordered it, and from there a customer's history.
        search(QStringLiteral("grana"));
        s->ListaArticoli->selectRow(0);
        QTest::keyClick(s->ListaArticoli, Qt::Key_Return);
        QCOMPARE(row(s->ListaDettaglio, 0),
                 (QStringList{"30000", "TRATTORIA CITTÀ ALTA", "CANTÙ", "04/03/2026", "2", "3"}));
        QCOMPARE(row(s->ListaDettaglio, 1),
                 (QStringList{"10008", "BAR SPORT", "MILANO", "01/06/2024", "1", "1"}));
    }

    void repeatedOrderBesideTheOriginal() {
        start();
        const QStringList before = ordine(app->db());
        search(QStringLiteral("trattoria"));
        s->ListaClienti->selectRow(0);
        QTest::keyClick(s->ListaClienti, Qt::Key_Return);
        s->ListaDettaglio->selectRow(2);
        app->dialogs.answerYes();
        ui::click(s->CmdRipeti);
        QCOMPARE(shown(*app),
                 seq({question(QStringLiteral("Vuoi ripetere l'ordine 5 del 2025 in un nuovo "
                                              "ordine del 2026 ?"),
                               titles::t38()),
                      message(QStringLiteral("Ordine ripetuto: nuovo ordine 8 del 2026 con 2 "
                                             "righe."),
                              titles::t18())}));
        // The original as it was; the copy under the next number of this year, dated today,
        // without delivery date, every other column the same.
        QCOMPARE(ordine(app->db(), "NOT (ANNO = '2026' AND NR = '8')"), before);
        const QStringList original = ordine(app->db(), "ANNO = '2025' AND NR = '5'");
        QStringList expected;
        for (QString r : original) {
            QStringList c = r.split(QLatin1Char('|'));
            c[0] = "'2026'";
            c[1] = "'8'";
            c[3] = "'2026-12-08'";
            c[4] = "NULL";
            expected << c.join(QLatin1Char('|'));
        }
        QCOMPARE(ordine(app->db(), "ANNO = '2026' AND NR = '8'"), expected);
        QCOMPARE(captions(p), (QStringList{"Aggiorna", "Richiama Articoli", "Chiudi"}));
        QCOMPARE((QStringList{p->Text1->text(), p->T7->text(), p->D1->text(), p->D2->text()}),
                 (QStringList{"2026", "8", "08/12/2026", ""}));
    }

    // After "Ripeti ordine" the window, opened again, shows the history and the orders as the
    // file holds them now, the row chosen still chosen.
    void historyReadAgainAfterARepeat() {
        start();
        showHistoryOfTrattoria();
        s->ListaDettaglio->selectRow(2);
        app->dialogs.answerYes();
        ui::click(s->CmdRipeti);
        shown(*app);
        QVERIFY(!s->isVisible());
        QTest::keyClick(app->window.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(s->isVisible());
        QCOMPARE(s->LDettaglio->text(),
                 QStringLiteral("Storico di TRATTORIA CITTÀ ALTA (30000): 4 ordini"));
        QCOMPARE(row(s->ListaDettaglio, 0),
                 (QStringList{"2026", "8", "08/12/2026", "2", "5", "1", "87,00", "847,50"}));
        QCOMPARE(s->ListaDettaglio->selectedRow(), 3);
        QCOMPARE(orders(s->ListaOrdini), (QStringList{"2026/8", "2026/7", "2026/5", "2025/5"}));
        QCOMPARE(s->LOrdini->text(), QStringLiteral("Ordini (4)"));
    }

    // Another program (the engine's own client) writes the file while the window shows: at
    // its next look the window reads again the groups, the history and its caption.
    void anotherProgramWritesWhileTheWindowShows() {
        start();
        search(QStringLiteral("grana"));
        s->ListaOrdini->selectRow(1);
        QCOMPARE(orders(s->ListaOrdini), (QStringList{"2026/5", "2025/5", "2024/5"}));
        s->ListaArticoli->selectRow(0);
        QTest::keyClick(s->ListaArticoli, Qt::Key_Return);
        s->ListaDettaglio->selectRow(1);
        QProcess client;
        client.start(QStringLiteral("sqlcipher"), {app->dir.dbPath()});
        QVERIFY(client.waitForStarted());
        client.write("PRAGMA key = 'ToRe4713'; PRAGMA cipher_page_size = 4096; "
                     "PRAGMA kdf_iter = 64000;"
                     "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, ARTICOLO, CODICE, PESO, "
                     "QVENDITA, QOMAGGIO, PREZZO) VALUES ('2026', '11', '20000', '2026-12-01', "
                     "'BAR SPORT', 'GRANA PADANO DOP', 'F-GP01', 36, 2, 0, 10);"
                     "UPDATE ARTICOLO SET ARTICOLO = 'GRANA PADANO DOP 24 MESI' WHERE CODICE = "
                     "'F-GP01';\n");
        client.closeWriteChannel();
        QVERIFY(client.waitForFinished(20000));
        QCOMPARE(client.readAllStandardError(), QByteArray());
        QMetaObject::invokeMethod(s->ControlloDati, "timeout");
        QCOMPARE(orders(s->ListaOrdini), (QStringList{"2026/11", "2026/5", "2025/5", "2024/5"}));
        QCOMPARE(s->ListaOrdini->selectedRow(), 2);
        QCOMPARE(s->LDettaglio->text(),
                 QStringLiteral("Clienti che hanno ordinato GRANA PADANO DOP 24 MESI (F-GP01): 3 "
                                "clienti"));
        QCOMPARE(column(s->ListaDettaglio, 0), (QStringList{"20000", "30000", "10008"}));
        QCOMPARE(s->ListaDettaglio->selectedRow(), 2);
        QCOMPARE(column(s->ListaArticoli, 1), (QStringList{"GRANA PADANO DOP 24 MESI"}));
    }

    // The search window writes an order's weight and amount as the totals line does, thousands
    // grouped.
    void bigTotalsAreWrittenAsTheTotalsLine() {
        start();
        line(app->db(), "2023", "9", "30000", "2023-09-01", "GRANA PADANO DOP", "F-GP01", 36, 30, 0,
             7.69);
        showHistoryOfTrattoria();
        QCOMPARE(row(s->ListaDettaglio, 3),
                 (QStringList{"2023", "9", "01/09/2023", "1", "30", "0", "1.080,00", "8.305,20"}));
        QVERIFY(openYear(*app, "Aordine", QStringLiteral("2023")));
        ui::clickRow(p->ListView5, 0);
        ui::click(p->Cmd4);
        QCOMPARE(app->find<QLabel>("LTotaliOrdine")->text(),
                 QStringLiteral("Totale ordine:   Righe 1   Cartoni 30   Omaggio 0   Kg 1.080,00 "
                                "  Lordo € 8.305,20"));
    }

    void totalsLineFollowsTheLines() {
        start();
        QVERIFY(openYear(*app, "Aordine", QStringLiteral("2025")));
        auto* totals = app->find<QLabel>("LTotaliOrdine");
        QVERIFY(totals->isHidden());
        ui::clickRow(p->ListView5, 0);
        ui::click(p->Cmd4);
        QVERIFY(totals->isVisible());
        QCOMPARE(totals->text(), QStringLiteral("Totale ordine:   Righe 2   Cartoni 5   Omaggio 1 "
                                                "  Kg 87,00   Lordo € 847,50"));
        // A line deleted: the totals follow.
        p->C1->click();
        ui::clickRow(p->ListView5, 1);
        app->dialogs.answerYes();
        ui::click(p->Cmd4);
        shown(*app);
        QCOMPARE(totals->text(), QStringLiteral("Totale ordine:   Righe 1   Cartoni 2   Omaggio 1 "
                                                "  Kg 72,00   Lordo € 720,00"));
    }

    void lastPriceProposedAndNot() {
        start();
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QVERIFY(ui::choose(p->Cbo5, QStringLiteral("TRATTORIA CITTÀ ALTA")));
        auto* note = app->find<QLabel>("LUltimoPrezzo");
        // Ordered in 2025 at 10 and in 2026 at 11: the latest order's price.
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        QCOMPARE(p->T13->text(), QStringLiteral("11,00"));
        QCOMPARE(p->T13->selectedText(), QStringLiteral("11,00"));
        QCOMPARE(note->text(), QStringLiteral("Ultimo prezzo: ordine 5/2026 del 04/03/2026"));
        QVERIFY(note->isVisible());
        ui::retype(p->T13, QStringLiteral("12"));
        QVERIFY(note->isHidden());
        // Never ordered by this customer: the price stays empty.
        p->T13->clear();
        QVERIFY(chooseNth(p->Cbo6, QStringLiteral("OLIO EXTRAVERGINE D'OLIVA"), 1));
        QCOMPARE(p->T13->text(), QString());
        QVERIFY(note->isHidden());
        // A proposal left as it was gives way to the next article's: here none.
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        QCOMPARE(p->T13->text(), QStringLiteral("11,00"));
        QVERIFY(chooseNth(p->Cbo6, QStringLiteral("OLIO EXTRAVERGINE D'OLIVA"), 1));
        QCOMPARE(p->T13->text(), QString());
        QVERIFY(note->isHidden());
    }

    void listPriceWhenNeverSold() {
        start();
        exec(app->db(), "INSERT INTO MANDANTE (ID, NOME) VALUES (4, 'Rossi Alimentari');"
                        "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL) "
                        "VALUES ('F-GP01', 4, 99, '2026-01-01'), ('O-EVO5', 4, 7.5, '2026-01-01'),"
                        " ('O-EVO1', 4, 7.5, '2026-01-01'), ('O-EVO5', 4, 8, '2027-01-01'),"
                        " ('O-EVO1', 4, 8, '2027-01-01');");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QVERIFY(ui::choose(p->Cbo5, QStringLiteral("TRATTORIA CITTÀ ALTA")));
        auto* note = app->find<QLabel>("LUltimoPrezzo");
        // Sold to this customer before: the customer's price wins over the list's.
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        QCOMPARE(p->T13->text(), QStringLiteral("11,00"));
        // Never sold to this customer: the list price valid on the order's date.
        p->D1->setDate(QDate(2026, 12, 8));
        QVERIFY(chooseNth(p->Cbo6, QStringLiteral("OLIO EXTRAVERGINE D'OLIVA"), 1));
        QCOMPARE(p->T13->text(), QStringLiteral("7,50"));
        QCOMPARE(p->T13->selectedText(), QStringLiteral("7,50"));
        QCOMPARE(note->text(), QStringLiteral("Prezzo di listino Rossi Alimentari dal 01/01/2026"));
        QVERIFY(note->isVisible());
        p->D1->setDate(QDate(2027, 1, 10));
        QVERIFY(ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP")));
        QVERIFY(chooseNth(p->Cbo6, QStringLiteral("OLIO EXTRAVERGINE D'OLIVA"), 1));
        QCOMPARE(p->T13->text(), QStringLiteral("8,00"));
        QCOMPARE(note->text(), QStringLiteral("Prezzo di listino Rossi Alimentari dal 01/01/2027"));
        // The agent's typing wins.
        ui::retype(p->T13, QStringLiteral("9"));
        QVERIFY(note->isHidden());
        QCOMPARE(p->T13->text(), QStringLiteral("9"));
    }

    // A list that starts after the order's date: the line says so, whatever it proposes.
    void laterListSaidOnTheLine() {
        start();
        exec(app->db(), "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES "
                        "('P-SPA', 'SPAGHETTI DI GRAGNANO IGP', 'CARTONE 12 X 500 G', 6),"
                        " ('P-PEN', 'PENNE RIGATE', 'CARTONE 24 X 500 G', 12),"
                        " ('C-POM', 'POMODORI PELATI', 'CARTONE 6 X 2,5 KG', 15);"
                        "INSERT INTO MANDANTE (ID, NOME) VALUES (4, 'Rossi Alimentari');"
                        "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL) "
                        "VALUES ('P-SPA', 4, 3.5, '2027-01-01'), ('P-PEN', 4, 1.85, '2026-01-01'),"
                        " ('P-PEN', 4, 2, '2027-01-01'), ('F-GP01', 4, 12, '2027-01-01'),"
                        " ('C-POM', 4, 1.4, '2026-01-01');");
        QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        QVERIFY(ui::choose(p->Cbo5, QStringLiteral("TRATTORIA CITTÀ ALTA")));
        auto* note = app->find<QLabel>("LUltimoPrezzo");
        auto* later = app->find<QLabel>("LListinoFuturo");
        QVERIFY(later);
        const QString notYet = QStringLiteral("Il listino Rossi Alimentari dal 01/01/2027 non è "
                                              "ancora in vigore");
        const struct {
            QDate date;
            const char* article;
            const char* price;
            QString note;  // empty: hidden
            QString later; // empty: hidden
        } cases[] = {
            {QDate(2026, 12, 8), "SPAGHETTI DI GRAGNANO IGP", "", QString(),
             notYet + QStringLiteral(": nessun prezzo di listino in vigore il 08/12/2026.")},
            {QDate(2026, 12, 8), "PENNE RIGATE", "1,85",
             QStringLiteral("Prezzo di listino Rossi Alimentari dal 01/01/2026"),
             notYet + QStringLiteral(": proposto il prezzo in vigore il 08/12/2026.")},
            // Ordered by the customer before: the customer's price, and the note all the same.
            {QDate(2026, 12, 8), "GRANA PADANO DOP", "11,00",
             QStringLiteral("Ultimo prezzo: ordine 5/2026 del 04/03/2026"),
             notYet + QStringLiteral(".")},
            {QDate(2026, 12, 8), "POMODORI PELATI", "1,40",
             QStringLiteral("Prezzo di listino Rossi Alimentari dal 01/01/2026"), QString()},
            // Once the list is valid, it is the one proposed.
            {QDate(2027, 1, 10), "SPAGHETTI DI GRAGNANO IGP", "3,50",
             QStringLiteral("Prezzo di listino Rossi Alimentari dal 01/01/2027"), QString()},
        };
        for (const auto& c : cases) {
            p->D1->setDate(c.date);
            QVERIFY(ui::choose(p->Cbo6, QString::fromUtf8(c.article)));
            QCOMPARE(p->T13->text(), QString::fromUtf8(c.price));
            QCOMPARE(note->isVisible() ? note->text() : QString(), c.note);
            QCOMPARE(later->isVisible() ? later->text() : QString(), c.later);
        }
        // On a day the list is valid there is no note; another article's code takes it away.
        ui::choose(p->Cbo6, QStringLiteral("PENNE RIGATE"));
        QVERIFY(later->isHidden());
        p->D1->setDate(QDate(2026, 12, 8));
        ui::choose(p->Cbo6, QStringLiteral("PENNE RIGATE"));
        QVERIFY(later->isVisible());
        p->T8->setText(QStringLiteral("C-POM"));
        QVERIFY(later->isHidden());
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
