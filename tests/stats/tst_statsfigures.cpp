// The figures of the statistics against sums the test makes itself from the same lines: a file
// with fractions, free cartons, lines without a price or a weight, an order across the turn of
// the year, a line without a date, customers no longer in the register, and price lists that
// name the principal of some articles.

#include "data/Database.h"
#include "data/Schema.h"
#include "stats/LineStore.h"
#include "stats/Ranking.h"
#include "stats/ToVisit.h"
#include "stats/Trend.h"
#include "tools/makedb/MakeDb.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <optional>
#include <set>

using namespace stats;

namespace {

struct Line {
    QString year, nr, customer;
    QDate date; // invalid: no date
    QString code, article;
    std::optional<double> weight, sold, free, price;
    std::optional<double> discount; // per cent up to 100, euro above
};

struct Customer {
    QString code, name, town, province;
};

const QDate kToday(2026, 12, 8);

// The register: customers 1 to 7 (two in BG), 8 and 9 only in the orders (deleted); C10 and C11
// never ordered.
const std::vector<Customer> kCustomers = {
    {"C1", "ALFA", "BERGAMO", "BG"},    {"C2", "BETA", "MILANO", "MI"},
    {"C3", "GAMMA", "TREVIGLIO", "BG"}, {"C4", "DELTA", "COMO", "CO"},
    {"C5", "EPSILON", "LECCO", "LC"},   {"C6", "ZETA", "MONZA", "MB"},
    {"C7", "ETA", "PAVIA", "PV"},       {"C10", "TETA", "CLUSONE", "BG"},
    {"C11", "IOTA", "VARESE", "VA"},
};
// Principal 1 sells A1 and A2, principal 2 sells A3.
const std::map<QString, qint64> kPrincipalOf = {{"A1", 1}, {"A2", 1}, {"A3", 2}};

std::vector<Line> makeLines() {
    std::vector<Line> out;
    QRandomGenerator rng(29);
    const QStringList codes{"A1", "A2", "A3", "A4", ""};
    const QStringList names{"GRANA", "OLIO", "SALAME", "PASTA", "OMAGGIO SENZA CODICE"};
    const QStringList customers{"C1", "C2", "C3", "C4", "C5", "C6", "C8", "C9"};
    int number = 0;
    for (int o = 0; o < 160; ++o) {
        const QDate date = QDate(2024, 12, 1).addDays(int(rng.bounded(740)));
        const QString customer = customers[int(rng.bounded(qint64(customers.size())))];
        ++number;
        const int lines = 1 + int(rng.bounded(4));
        for (int l = 0; l < lines; ++l) {
            const int a = int(rng.bounded(5));
            Line x{QString::number(date.year()),
                   QString::number(number),
                   customer,
                   date,
                   codes[a],
                   names[a],
                   {},
                   {},
                   {},
                   {},
                   {}};
            const int shape = int(rng.bounded(10));
            x.weight =
                shape == 0 ? std::nullopt : std::optional<double>(0.25 * (1 + rng.bounded(40)));
            x.sold = shape == 1 ? std::nullopt : std::optional<double>(0.5 * rng.bounded(30));
            x.free = shape < 5 ? std::nullopt : std::optional<double>(rng.bounded(3));
            x.price = shape == 2 ? std::nullopt
                                 : std::optional<double>(rng.bounded(2000) / 100.0 + 1.0 / 3);
            const int discount = int(rng.bounded(6));
            x.discount =
                discount == 0
                    ? std::nullopt
                    : std::optional<double>(std::array{0.0, 5.0, 12.5, 100.0, 150.0}[discount - 1]);
            out.push_back(x);
        }
    }
    // An order across the turn of the year: numbered in 2025, lines dated on both sides.
    out.push_back({"2025", "900", "C1", QDate(2025, 12, 31), "A1", "GRANA", 1.5, 3, 1, 7.77, 10});
    out.push_back({"2025", "900", "C1", QDate(2026, 1, 2), "A2", "OLIO", 0.75, 2.5, {}, 4.1, {}});
    // A line without its date: in no period.
    out.push_back({"2026", "901", "C2", QDate(), "A1", "GRANA", 2, 2, 0, 5, {}});
    // Customer C7 ordered only once, long ago; C5 orders regularly and lately.
    out.push_back({"2025", "902", "C7", QDate(2025, 3, 3), "A3", "SALAME", 1, 1, 0, 10, {}});
    out.push_back({"2026", "903", "C5", QDate(2026, 12, 1), "A3", "SALAME", 1, 1, 0, 10, {}});
    // February of a leap year and of the year after: C4 bought on the 29th and on the 28th.
    out.push_back({"2024", "904", "C4", QDate(2024, 2, 29), "A4", "PASTA", 1, 2, 0, 3.5, {}});
    out.push_back({"2025", "905", "C4", QDate(2025, 2, 28), "A4", "PASTA", 1, 4, 0, 3.5, {}});
    return out;
}

struct Expected {
    Figures f;
    Cents before = 0;
    std::set<QString> orders;
    QDate last;
};

bool passes(const Line& l, const Filter& f) {
    if (!f.province.isEmpty()) {
        bool found = false;
        for (const Customer& c : kCustomers)
            if (c.code == l.customer && c.province == f.province)
                found = true;
        if (!found)
            return false;
    }
    if (f.principal) {
        auto it = kPrincipalOf.find(l.code);
        if (it == kPrincipalOf.end() || it->second != *f.principal)
            return false;
    }
    return true;
}

// To the nearest whole number, halves away from zero, as the engine's ROUND().
Cents rounded(double v) {
    return v < 0 ? -Cents(-v + 0.5) : Cents(v + 0.5);
}

Figures sumsOf(const Line& l) {
    Figures f;
    f.free = l.free.value_or(0);
    if (l.sold) {
        f.sold = *l.sold;
        if (l.weight) {
            f.kg = *l.sold * *l.weight;
            if (l.price) {
                f.gross = rounded(*l.sold * *l.weight * *l.price * 100);
                const double d = l.discount.value_or(0);
                f.net = d == 0     ? f.gross
                        : d <= 100 ? rounded(double(f.gross) * (100 - d) / 100.0)
                                   : f.gross - rounded(d * 100);
            }
        }
    }
    return f;
}

// A new file of the program, as supplied, in a folder of its own.
struct TestFile {
    QTemporaryDir dir;
    std::unique_ptr<Database> open() {
        const QString path = dir.filePath(QStringLiteral("Ordine.mdb"));
        if (!QFile::exists(path) && !makedb::makeSupplied(path, 2026, makedb::Agent{}))
            return nullptr;
        auto db = Database::open(path, schema::password());
        return db ? std::move(*db) : nullptr;
    }
};

void exec(Database& db, const char* sql) {
    const Status s = db.exec(sql);
    if (!s)
        qFatal("%s: %s", sql, qPrintable(s.error().text));
}

bool near(double a, double b) {
    return std::abs(a - b) < 0.005;
}

void compareFigures(const Figures& got, const Figures& want, const QString& what) {
    QVERIFY2(
        got.gross == want.gross,
        qPrintable(QStringLiteral("%1 lordo %2 / %3").arg(what).arg(got.gross).arg(want.gross)));
    QVERIFY2(got.net == want.net,
             qPrintable(QStringLiteral("%1 netto %2 / %3").arg(what).arg(got.net).arg(want.net)));
    QVERIFY2(near(got.kg, want.kg), qPrintable(what + QStringLiteral(" kg")));
    QVERIFY2(near(got.sold, want.sold), qPrintable(what + QStringLiteral(" cartoni")));
    QVERIFY2(near(got.free, want.free), qPrintable(what + QStringLiteral(" omaggio")));
}

bool inPeriod(const QDate& d, const Period& p) {
    return d.isValid() && d >= p.from && d <= p.to;
}

// The filters every view is tried with.
void filterRows() {
    QTest::addColumn<QString>("province");
    QTest::addColumn<qint64>("principal"); // 0: none
    QTest::newRow("tutto") << QString() << qint64(0);
    QTest::newRow("provincia BG") << QStringLiteral("BG") << qint64(0);
    QTest::newRow("mandante 1") << QString() << qint64(1);
    QTest::newRow("BG e mandante 2") << QStringLiteral("BG") << qint64(2);
}

Filter filterOf() {
    QFETCH(QString, province);
    QFETCH(qint64, principal);
    Filter f;
    f.province = province;
    if (principal)
        f.principal = principal;
    return f;
}

} // namespace

class TestStatsFigures : public QObject {
    Q_OBJECT

    TestFile file;
    std::unique_ptr<Database> db;
    std::vector<Line> lines = makeLines();
    // The lines kept from one ranking to the next, as the window keeps them: each filter row
    // groups the lines an earlier row read.
    LineStore kept;

private Q_SLOTS:
    void initTestCase() {
        db = file.open();
        QVERIFY(db);
        fill(*db);
    }

    void fill(Database& into) {
        Database* db = &into;
        for (const Customer& c : kCustomers) {
            auto st = db->prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
                                  "(?1, ?2, ?3, ?4);");
            QVERIFY(st);
            st->bind(1, c.code).bind(2, c.name).bind(3, c.town).bind(4, c.province);
            QVERIFY(st->run());
        }
        for (const Line& l : lines) {
            auto st = db->prepare(
                "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, ARTICOLO, CODICE, PESO, QVENDITA, "
                "QOMAGGIO, PREZZO, SCONTO) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11);");
            QVERIFY(st);
            st->bind(1, l.year).bind(2, l.nr).bind(3, l.customer);
            if (l.date.isValid())
                st->bind(4, l.date.toString(Qt::ISODate));
            else
                st->bindNull(4);
            st->bind(5, l.article).bindTextOrNull(6, l.code);
            st->bind(7, l.weight).bind(8, l.sold).bind(9, l.free).bind(10, l.price);
            st->bind(11, l.discount);
            QVERIFY(st->run());
        }
        // The price lists, as their import makes them.
        exec(*db, "CREATE TABLE IF NOT EXISTS LISTINO (ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                  "ID_MANDANTE INTEGER NOT NULL, FILE TEXT, VALIDO_DAL DATE, IMPORTATO_IL TEXT);"
                  "CREATE TABLE IF NOT EXISTS PREZZO_LISTINO (ID INTEGER PRIMARY KEY "
                  "AUTOINCREMENT, CODICE TEXT NOT NULL, ID_MANDANTE INTEGER NOT NULL, PREZZO REAL "
                  "NOT NULL, VALIDO_DAL DATE NOT NULL, ID_LISTINO INTEGER);"
                  "INSERT INTO MANDANTE (ID, NOME) VALUES (1, 'CASEIFICIO'), (2, 'SALUMIFICIO');"
                  "INSERT INTO PREZZO_LISTINO (CODICE, ID_MANDANTE, PREZZO, VALIDO_DAL) VALUES "
                  "('A1', 1, 7, '2025-01-01'), ('A1', 1, 7.5, '2026-01-01'), "
                  "('A2', 1, 4, '2025-01-01'), ('A3', 2, 9, '2025-01-01');");
    }

    void andamento_data() { filterRows(); }
    void andamento() {
        const Filter f = filterOf();
        auto t = trend(*db, 2026, kToday, f);
        QVERIFY2(t, qPrintable(t ? QString() : t.error().text));
        std::array<Figures, 12> now{}, before{};
        Figures toDate, toDateBefore;
        for (const Line& l : lines) {
            if (!l.date.isValid() || !passes(l, f))
                continue;
            const Figures s = sumsOf(l);
            if (l.date.year() == 2026) {
                now[size_t(l.date.month() - 1)] += s;
                if (l.date <= kToday)
                    toDate += s;
            } else if (l.date.year() == 2025) {
                before[size_t(l.date.month() - 1)] += s;
                if (l.date <= QDate(2025, 12, 8))
                    toDateBefore += s;
            }
        }
        for (int m = 0; m < 12; ++m) {
            compareFigures(t->months[size_t(m)], now[size_t(m)],
                           QStringLiteral("mese %1").arg(m + 1));
            compareFigures(t->monthsBefore[size_t(m)], before[size_t(m)],
                           QStringLiteral("mese %1 anno prima").arg(m + 1));
        }
        compareFigures(t->toDate, toDate, QStringLiteral("progressivo"));
        compareFigures(t->toDateBefore, toDateBefore, QStringLiteral("progressivo anno prima"));
        QCOMPARE(t->upToBefore, QDate(2025, 12, 8));
        QCOMPARE(t->change().cents, toDate.gross - toDateBefore.gross);
        if (toDateBefore.gross > 0)
            QVERIFY(std::abs(*t->change().percent - double(toDate.gross - toDateBefore.gross) /
                                                        double(toDateBefore.gross) * 100) < 1e-6);
    }

    void clienti_data() { filterRows(); }
    void clienti() {
        const Filter f = filterOf();
        const Period p{QDate(2025, 12, 15), QDate(2026, 6, 30)};
        auto got = customers(*db, p, f);
        QVERIFY2(got, qPrintable(got ? QString() : got.error().text));
        compareRanked(*got, f, p, [](const Line& l) { return l.customer; });
        auto again = customers(*db, p, f, &kept);
        QVERIFY(again);
        compareRanked(*again, f, p, [](const Line& l) { return l.customer; });
        for (const Ranked& r : *got) {
            const bool known = std::any_of(kCustomers.begin(), kCustomers.end(),
                                           [&](const Customer& c) { return c.code == r.code; });
            QCOMPARE(r.inRegister, known);
        }
    }

    void articoli_data() { filterRows(); }
    void articoli() {
        const Filter f = filterOf();
        const Period p{QDate(2026, 1, 1), QDate(2026, 12, 31)};
        auto got = articles(*db, p, f);
        QVERIFY2(got, qPrintable(got ? QString() : got.error().text));
        for (const auto& rows : {*got, *articles(*db, p, f, &kept)})
            compareRanked(rows, f, p,
                          [](const Line& l) { return l.code.isEmpty() ? l.article : l.code; });
        // Who buys the first article of the ranking.
        if (got->empty())
            return;
        const Ranked& a = got->front();
        auto who = buyers(*db, a.code, a.name, p, f);
        QVERIFY(who);
        compareRanked(*who, f, p, [&](const Line& l) {
            const bool same =
                a.code.isEmpty() ? (l.code.isEmpty() && l.article == a.name) : l.code == a.code;
            return same ? l.customer : QString();
        });
    }

    void daVisitare_data() {
        QTest::addColumn<QString>("province");
        QTest::addColumn<qint64>("principal");
        QTest::addColumn<int>("days");
        QTest::newRow("60 giorni") << QString() << qint64(0) << 60;
        QTest::newRow("7 giorni, BG") << QStringLiteral("BG") << qint64(0) << 7;
        QTest::newRow("200 giorni, mandante 1") << QString() << qint64(1) << 200;
        QTest::newRow("1 giorno, mandante 2") << QString() << qint64(2) << 1;
    }
    void daVisitare() {
        const Filter f = filterOf();
        QFETCH(int, days);
        auto got = toVisit(*db, kToday, days, f);
        QVERIFY2(got, qPrintable(got ? QString() : got.error().text));
        struct Want {
            std::set<QDate> dates;
            QString name, town, province;
        };
        std::map<QString, Want> want;
        for (const Line& l : lines) {
            if (!l.date.isValid() || l.date < kToday.addMonths(-24) || !passes(l, f))
                continue;
            for (const Customer& c : kCustomers)
                if (c.code == l.customer) {
                    Want& w = want[c.code];
                    w.dates.insert(l.date);
                    w.name = c.name;
                    w.town = c.town;
                    w.province = c.province;
                }
        }
        // Ordered within the last `days` days: not listed.
        for (auto it = want.begin(); it != want.end();)
            it =
                *it->second.dates.rbegin() > kToday.addDays(-days) ? want.erase(it) : std::next(it);
        // The customers of the register without a line the filter lets through, at the end.
        QStringList never;
        for (const Customer& c : kCustomers) {
            const bool ordered = std::any_of(lines.begin(), lines.end(), [&](const Line& l) {
                return l.customer == c.code && passes(l, f);
            });
            if (!ordered && (f.province.isEmpty() || c.province == f.province))
                never << c.code;
        }
        std::sort(never.begin(), never.end());
        QVERIFY(!never.isEmpty());
        QCOMPARE(got->size(), want.size() + size_t(never.size()));
        QStringList gotNever;
        for (size_t i = want.size(); i < got->size(); ++i) {
            const ToVisit& v = (*got)[i];
            QVERIFY2(v.never, qPrintable(v.code));
            QVERIFY(!v.lastOrder.isValid() && !v.usualInterval);
            QCOMPARE(v.orderDays, 0);
            const auto c = std::find_if(kCustomers.begin(), kCustomers.end(),
                                        [&](const Customer& k) { return k.code == v.code; });
            QVERIFY(c != kCustomers.end());
            QCOMPARE(v.name, c->name);
            QCOMPARE(v.town, c->town);
            gotNever << v.code;
        }
        QCOMPARE(gotNever, never);
        double lastRatio = 1e300;
        int lastDays = 1 << 30;
        bool single = false;
        for (const ToVisit& v : *got) {
            if (v.never)
                continue;
            QVERIFY2(want.count(v.code), qPrintable(v.code));
            const Want& w = want[v.code];
            QCOMPARE(v.name, w.name);
            QCOMPARE(v.town, w.town);
            QCOMPARE(v.province, w.province);
            QCOMPARE(v.lastOrder, *w.dates.rbegin());
            QCOMPARE(v.orderDays, int(w.dates.size()));
            QCOMPARE(v.daysSince, int(v.lastOrder.daysTo(kToday)));
            if (w.dates.size() > 1) {
                QVERIFY(!single);
                const double interval =
                    double(w.dates.begin()->daysTo(*w.dates.rbegin())) / double(w.dates.size() - 1);
                QVERIFY(std::abs(*v.usualInterval - interval) < 1e-9);
                const double ratio = v.daysSince / interval;
                QVERIFY(ratio <= lastRatio);
                lastRatio = ratio;
            } else {
                QVERIFY(!v.usualInterval);
                if (single)
                    QVERIFY(v.daysSince <= lastDays);
                single = true;
                lastDays = v.daysSince;
            }
        }
    }

    // Kept lines are read again after a write, by this connection or another; a customer moved
    // to another province and an article moved to another principal count where they are now.
    void keptLinesFollowWrites_data() {
        QTest::addColumn<QString>("write");
        QTest::addColumn<bool>("other");
        const QString line = QStringLiteral("UPDATE ORDINE SET QVENDITA = QVENDITA + 7 WHERE ID_CL "
                                            "IN (SELECT CODICE FROM CLIENTE WHERE PROVINCIA = "
                                            "'BG');");
        QTest::newRow("una riga, da qui") << line << false;
        QTest::newRow("una riga, da un altro programma") << line << true;
        QTest::newRow("un cliente cambia provincia")
            << QStringLiteral("UPDATE CLIENTE SET PROVINCIA = 'BG' WHERE PROVINCIA <> 'BG';")
            << false;
        QTest::newRow("un articolo cambia mandante")
            << QStringLiteral("UPDATE PREZZO_LISTINO SET ID_MANDANTE = 2;") << true;
    }
    void keptLinesFollowWrites() {
        QFETCH(QString, write);
        QFETCH(bool, other);
        TestFile copy;
        QVERIFY(copy.open());
        const QString path = copy.dir.filePath(QStringLiteral("Ordine.mdb"));
        Database::Options shared;
        shared.exclusive = false;
        auto opened = Database::open(path, schema::password(), shared);
        QVERIFY(opened);
        Database* mine = opened->get();
        fill(*mine);
        const Period p{QDate(2025, 12, 15), QDate(2026, 6, 30)};
        Filter f;
        f.province = QStringLiteral("BG");
        f.principal = 2;
        LineStore store;
        auto before = customers(*mine, p, f, &store);
        QVERIFY(before && !before->empty());
        if (other) {
            auto second = Database::open(path, schema::password(), shared);
            QVERIFY(second);
            QVERIFY((*second)->exec(write.toUtf8().constData()));
        } else {
            QVERIFY(mine->exec(write.toUtf8().constData()));
        }
        // The engine's own filter on the lines read anew is the measure.
        for (bool byCustomer : {true, false}) {
            auto want = byCustomer ? customers(*mine, p, f) : articles(*mine, p, f);
            auto got = byCustomer ? customers(*mine, p, f, &store) : articles(*mine, p, f, &store);
            QVERIFY(want && got);
            QCOMPARE(got->size(), want->size());
            for (size_t i = 0; i < got->size(); ++i) {
                QCOMPARE((*got)[i].code, (*want)[i].code);
                QCOMPARE((*got)[i].figures.gross, (*want)[i].figures.gross);
                QCOMPARE((*got)[i].orders, (*want)[i].orders);
            }
        }
        const auto cartons = [](const std::vector<Ranked>& rows) {
            double sum = 0;
            for (const Ranked& r : rows)
                sum += r.figures.sold;
            return sum;
        };
        QVERIFY(cartons(*customers(*mine, p, f, &store)) != cartons(*before));
    }

    // A period that ends on the last day of a month is compared with the whole of that month a
    // year earlier, in the rankings as in the trend.
    void yearBefore_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QDate>("beforeFrom");
        QTest::addColumn<QDate>("beforeTo");
        QTest::addColumn<qint64>("grossBefore"); // of C4 and of A4, in cents: the 29th alone
        QTest::newRow("febbraio 2025") << QDate(2025, 2, 1) << QDate(2025, 2, 28)
                                       << QDate(2024, 2, 1) << QDate(2024, 2, 29) << qint64(700);
        QTest::newRow("gennaio e febbraio 2025")
            << QDate(2025, 1, 1) << QDate(2025, 2, 28) << QDate(2024, 1, 1) << QDate(2024, 2, 29)
            << qint64(700);
        QTest::newRow("al 27 febbraio 2025")
            << QDate(2025, 2, 1) << QDate(2025, 2, 27) << QDate(2024, 2, 1) << QDate(2024, 2, 27)
            << qint64(0);
        QTest::newRow("febbraio 2024") << QDate(2024, 2, 1) << QDate(2024, 2, 29)
                                       << QDate(2023, 2, 1) << QDate(2023, 2, 28) << qint64(0);
        QTest::newRow("dal 29 febbraio 2024")
            << QDate(2024, 2, 29) << QDate(2024, 3, 15) << QDate(2023, 2, 28) << QDate(2023, 3, 15)
            << qint64(0);
        QTest::newRow("aprile 2025") << QDate(2025, 4, 1) << QDate(2025, 4, 30) << QDate(2024, 4, 1)
                                     << QDate(2024, 4, 30) << qint64(0);
    }
    void yearBefore() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QDate, beforeFrom);
        QFETCH(QDate, beforeTo);
        QFETCH(qint64, grossBefore);
        const Period p{from, to};
        QCOMPARE(p.yearBefore().from, beforeFrom);
        QCOMPARE(p.yearBefore().to, beforeTo);
        const auto grossOf = [](const std::vector<Ranked>& rows, const QString& code) {
            for (const Ranked& r : rows)
                if (r.code == code)
                    return r.grossBefore;
            return Cents(0);
        };
        auto byCustomer = customers(*db, p, {});
        QVERIFY(byCustomer);
        QCOMPARE(grossOf(*byCustomer, QStringLiteral("C4")), grossBefore);
        auto byArticle = articles(*db, p, {});
        QVERIFY(byArticle);
        QCOMPARE(grossOf(*byArticle, QStringLiteral("A4")), grossBefore);
        // The trend's progressive to the last day of February: the 29th of the year before.
        if (to == QDate(2025, 2, 28)) {
            auto t = trend(*db, 2025, to, {});
            QVERIFY(t);
            QCOMPARE(t->upToBefore, QDate(2024, 2, 29));
        }
    }

    // A filter of principal on a file without price lists, and a wrong period, are refused.
    void refusals() {
        TestFile plain;
        auto other = plain.open();
        QVERIFY(other);
        Filter f;
        f.principal = 1;
        auto t = trend(*other, 2026, kToday, f);
        QVERIFY(!t);
        QCOMPARE(t.error().text, QStringLiteral("Nessun listino è stato importato: le mandanti "
                                                "degli articoli non sono note."));
        auto c = customers(*db, {QDate(2026, 5, 1), QDate(2026, 4, 1)}, {});
        QVERIFY(!c);
        QCOMPARE(c.error().text, QStringLiteral("La data di inizio del periodo (01/05/2026) viene "
                                                "dopo quella di fine (01/04/2026)."));
    }

private:
    template <class KeyOf>
    void compareRanked(const std::vector<Ranked>& got, const Filter& f, const Period& p,
                       KeyOf keyOf) {
        const Period b = p.yearBefore();
        std::map<QString, Expected> want;
        for (const Line& l : lines) {
            if (!passes(l, f))
                continue;
            const QString key = keyOf(l);
            if (key.isEmpty())
                continue;
            if (inPeriod(l.date, p)) {
                Expected& e = want[key];
                e.f += sumsOf(l);
                e.orders.insert(l.year + QLatin1Char('/') + l.nr);
                e.last = std::max(e.last, l.date);
            }
            if (inPeriod(l.date, b))
                want[key].before += sumsOf(l).gross;
        }
        QCOMPARE(got.size(), want.size());
        Cents lastGross = std::numeric_limits<Cents>::max();
        for (const Ranked& r : got) {
            const QString key = r.code.isEmpty() ? r.name : r.code;
            QVERIFY2(want.count(key), qPrintable(key));
            const Expected& e = want[key];
            compareFigures(r.figures, e.f, key);
            QCOMPARE(r.grossBefore, e.before);
            QCOMPARE(r.orders, int(e.orders.size()));
            QCOMPARE(r.lastOrder, e.last);
            QVERIFY(r.figures.gross <= lastGross);
            lastGross = r.figures.gross;
        }
    }
};

QTEST_GUILESS_MAIN(TestStatsFigures)
#include "tst_statsfigures.moc"
