// The order statements and the header conversion, without a window (the GUI cases cover
// the rest).

#include "support/Fixture.h"

#include "data/Database.h"
#include "orders/OrderForm.h"
#include "orders/OrderStore.h"

#include <QTest>

namespace {

QString plan(Database& db, const char* sql) {
    const QByteArray explain = QByteArray("EXPLAIN QUERY PLAN ") + sql;
    QStringList steps;
    for (const QStringList& r : rows(db, explain.constData()))
        steps << r.last();
    return steps.join(QLatin1String(" / "));
}

} // namespace

class TestOrderStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerValues() {
        orderform::Fields f;
        f.orderDate = QStringLiteral("08/12/2026");
        f.number = QStringLiteral("07"); // an order chosen from the listing keeps its number
        auto h = orderform::header(f, QStringLiteral("10001"), false);
        QVERIFY(h);
        QCOMPARE(h->number, QStringLiteral("07"));
        QCOMPARE(h->orderDate, QStringLiteral("2026-12-08"));
        QVERIFY(!h->deliveryDate);
        f.deliveryDate = QStringLiteral("31/02/2027");
        h = orderform::header(f, QStringLiteral("10001"), false);
        QVERIFY(!h);
        QVERIFY(h.error().text.startsWith(
            QStringLiteral("Il campo Data Consegna non accetta il valore \"31/02/2027\"")));
    }

    void lookupsByNameAreExactButIgnoreCase() {
        TestDir dir;
        auto db = dir.open();
        exec(*db, "INSERT INTO CLIENTE (CODICE, SOGGETTO, PROVINCIA) VALUES "
                  "('1', 'CAFFÈ DELL''ANGOLO', 'BG'), ('2', 'BAR', NULL), ('3', 'BAR', 'MI'), "
                  "('4', 'BAR%', 'CO');"
                  "INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES "
                  "('A', 'OLIO D''OLIVA', 'LATTA', 5), ('B', 'OLIO D''OLIVA', NULL, NULL);");
        auto c = orderstore::customersNamed(*db, QStringLiteral("caffè dell'angolo"));
        QVERIFY(c);
        QCOMPARE(c->size(), size_t(1));
        QCOMPARE(c->front().code, QStringLiteral("1"));
        c = orderstore::customersNamed(*db, QStringLiteral("BAR"));
        QCOMPARE(c->size(), size_t(2)); // "BAR%" is a name, not a pattern
        QCOMPARE((*c)[0].province, QString());
        QCOMPARE((*c)[1].code, QStringLiteral("3"));
        QVERIFY(orderstore::customersNamed(*db, QStringLiteral("BA"))->empty());
        auto a = orderstore::articlesNamed(*db, QStringLiteral("OLIO D'OLIVA"));
        QVERIFY(a);
        QCOMPARE(a->size(), size_t(2));
        QCOMPARE(*(*a)[0].weight, 5.0);
        QVERIFY(!(*a)[1].weight);
    }

    // Both lists read a year through the index, without sorting, however large the file.
    void listsUseTheIndexes() {
        TestDir dir(TestDir::Content::Demo);
        auto db = dir.open();
        QCOMPARE(plan(*db, orderstore::kOrdiniAnno),
                 QStringLiteral("SEARCH TABLE ORDINE USING INDEX ORDINE_ANNO_NR (ANNO=?) / "
                                "SEARCH TABLE CLIENTE USING INDEX CLIENTE_CODICE (CODICE=?)"));
        QCOMPARE(plan(*db, orderstore::kRigheOrdine),
                 QStringLiteral("SEARCH TABLE ORDINE USING INDEX ORDINE_ANNO_NR (ANNO=? AND "
                                "NR=?)"));
    }
};

QTEST_GUILESS_MAIN(TestOrderStore)
#include "tst_orderstore.moc"
