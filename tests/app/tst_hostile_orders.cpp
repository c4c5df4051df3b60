// Hostile input through the order panel, field by field: header, line, manual number, dates,
// and customer and article names typed rather than chosen; each is either stored as the fields
// showed it (and the line list, the lookups and the order listing show it back) or refused with
// a message that changes nothing. Years whose text means something to a pattern (%, _) or to a
// statement (a quote) keep their orders apart.

#include "Hostile.h"
#include "orders/OrderKit.h"
#include "orders/PrintOrder.h"
#include "sheets/OrderSheet.h"
#include "sheets/SheetKit.h"

#include "text/ItalianText.h"

#include <QFile>
#include <QJsonObject>

using namespace hostile;
using kit::panel;

namespace {

// Customers and articles named with each hostile text (upper case, as the panels store them).
void seedNames(Database& db) {
    int i = 0;
    for (const QString& t : texts()) {
        ++i;
        const QString name = inputrules::upperCased(t, 0).text;
        auto c = db.prepare("INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES "
                            "(?1, ?2, 'COMO', 'CO');");
        auto a = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO) VALUES "
                            "(?1, ?2, 'SCATOLA', 2.5);");
        if (!c || !a || !c->bind(1, QString::number(60000 + i)).bind(2, name).run() ||
            !a->bind(1, QStringLiteral("H-%1").arg(i)).bind(2, name).run())
            qFatal("cannot seed the names");
    }
}

// The stored value of an ORDINE column of the last line, as text; NULL as "NULL".
QString lastLine(Database& db, const char* column) {
    const QByteArray sql =
        QByteArray("SELECT ") + column + " FROM ORDINE WHERE ID = (SELECT max(ID) FROM ORDINE);";
    auto st = db.prepare(sql.constData());
    if (!st || !st->next())
        qFatal("no last line");
    return st->isNull(0) ? QStringLiteral("NULL") : st->text(0);
}

QString numberOrNull(const QString& field) {
    if (field.isEmpty())
        return QStringLiteral("NULL");
    const auto v = itext::parseNumber(field);
    return v ? QString::number(*v, 'g', 17) : QStringLiteral("?");
}

QString storedNumber(Database& db, const char* column) {
    const QString t = lastLine(db, column);
    return t == QLatin1String("NULL") ? t : QString::number(t.toDouble(), 'g', 17);
}

QString dateOrNull(const QString& field) {
    if (field.trimmed().isEmpty())
        return QStringLiteral("NULL");
    const auto d = itext::parseDate(field);
    return d ? itext::isoDate(*d) : QStringLiteral("?");
}

} // namespace

class TestHostileOrders : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    OrderPanel* p = nullptr;
    int total = 0;

    // A complete line of order 2026 with the customer and article chosen from their lists.
    void defaults() {
        if (!p->C2->isChecked())
            ui::click(p->C2);
        enter(p->T7, QStringLiteral("1"), Way::Typed);
        ui::click(p->C2);
        kit::chooseNth(p->Cbo5, QStringLiteral("BAR SPORT"), 0);
        enter(p->D1, QStringLiteral("08/12/2026"), Way::Typed);
        enter(p->D2, QString(), Way::Typed);
        enter(p->Cbo3, QStringLiteral("deposito"), Way::Typed);
        enter(p->Cbo9, QStringLiteral("como"), Way::Typed);
        enter(p->Cbo4, QStringLiteral("co"), Way::Typed);
        ui::choose(p->Cbo6, QStringLiteral("GRANA PADANO DOP"));
        enter(p->T11, QStringLiteral("3"), Way::Typed);
        enter(p->T12, QString(), Way::Typed);
        enter(p->T13, QStringLiteral("12,5"), Way::Typed);
        enter(p->T14, QString(), Way::Typed);
        enter(p->T15, QString(), Way::Typed);
    }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        QVERIFY(app->started);
        kit::seed(app->db());
        p = panel(*app);
    }
    void cleanup() {
        QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
        app.reset();
    }
    void cleanupTestCase() { qInfo("orders: %d inputs tried in all", total); }

    void orderFields() {
        seedNames(app->db());
        QVERIFY(kit::openYear(*app, "Nordine", QStringLiteral("2026")));
        Tally t;
        enum Kind { Text, Number, Date, OrderNumber, Customer, Article };
        struct Field {
            QWidget* w;
            const char* name;
            Kind kind;
            const char* column;
        };
        const Field fields[] = {
            {p->T7, "T7", OrderNumber, "NR"},    {p->D1, "D1", Date, "DATAO"},
            {p->D2, "D2", Date, "DATAC"},        {p->Cbo5, "Cbo5", Customer, "ID_CL"},
            {p->Cbo3, "Cbo3", Text, "DEST"},     {p->Cbo9, "Cbo9", Text, "CITTA"},
            {p->Cbo4, "Cbo4", Text, "PR"},       {p->Cbo6, "Cbo6", Article, "CODICE"},
            {p->T11, "T11", Number, "QVENDITA"}, {p->T12, "T12", Number, "QOMAGGIO"},
            {p->T13, "T13", Number, "PREZZO"},   {p->T14, "T14", Number, "SCONTO"},
            {p->T15, "T15", Text, "NOTE"},
        };
        for (const Field& f : fields) {
            QStringList values;
            switch (f.kind) {
            case Date:
                values = dates() + texts();
                break;
            case Number:
            case OrderNumber:
                values = numbers() + texts();
                break;
            default:
                values = texts();
            }
            for (const QString& v : values) {
                for (Way way : ways(v)) {
                    defaults();
                    if (f.kind == OrderNumber)
                        ui::click(p->C2);
                    enter(f.w, v, way);
                    // Leaving the price formats it; leaving a date box writes the date whole.
                    if (f.w == p->T13 || f.kind == Date)
                        ui::leave(f.w, p->T14);
                    const QString what =
                        QStringLiteral("%1 %2 \"%3\"").arg(f.name, toString(way), brief(v));
                    const QString typed = shown(f.w);
                    const QStringList header{shown(p->D1), shown(p->D2), shown(p->Cbo3),
                                             shown(p->Cbo9), shown(p->Cbo4)};
                    if (!attempt(
                            *app, [&] { ui::click(p->Cmd4); }, kit::kInserito, what, t))
                        continue;
                    QString expected;
                    QString stored = lastLine(app->db(), f.column);
                    switch (f.kind) {
                    case Text:
                        expected = typed;
                        break;
                    case Number:
                        expected = numberOrNull(typed);
                        stored = storedNumber(app->db(), f.column);
                        break;
                    case Date:
                        expected = dateOrNull(typed);
                        break;
                    case OrderNumber:
                        // The field shows the number as stored, in its plain digits.
                        expected = p->T7->text();
                        if (itext::orderNumberField(QString(), typed).value() != expected.toInt())
                            t.problem(what, QStringLiteral("T7 shows ") + expected);
                        break;
                    case Customer: {
                        const auto named = rows(app->db(), "SELECT SOGGETTO, CODICE FROM CLIENTE "
                                                           "ORDER BY ID;");
                        for (const QStringList& r : named)
                            if (r[0] == typed) {
                                expected = r[1];
                                break;
                            }
                        break;
                    }
                    case Article: {
                        const auto named = rows(app->db(), "SELECT ARTICOLO, CODICE FROM "
                                                           "ARTICOLO ORDER BY ID;");
                        for (const QStringList& r : named)
                            if (r[0] == typed) {
                                expected = r[1];
                                break;
                            }
                        if (lastLine(app->db(), "ARTICOLO") != typed)
                            t.problem(what, QStringLiteral("ARTICOLO stored as ") +
                                                brief(lastLine(app->db(), "ARTICOLO")));
                        break;
                    }
                    }
                    if (stored != expected)
                        t.problem(what, QStringLiteral("stored \"%1\", expected \"%2\"")
                                            .arg(brief(stored), brief(expected)));
                    // The header stays as typed; the line list shows the line back.
                    const QStringList after{shown(p->D1), shown(p->D2), shown(p->Cbo3),
                                            shown(p->Cbo9), shown(p->Cbo4)};
                    if (after != header)
                        t.problem(what, QStringLiteral("the header changed"));
                    const QString id = lastLine(app->db(), "ID");
                    bool listed = false;
                    for (int r = 0; r < kit::listRows(p) && !listed; ++r) {
                        const QStringList cells = kit::listRow(p, r);
                        listed = cells[0] == id && cells[3] == lastLine(app->db(), "ARTICOLO") &&
                                 cells[11] == lastLine(app->db(), "ifnull(NOTE, '')");
                    }
                    if (!listed)
                        t.problem(what, QStringLiteral("the line list does not show it back"));
                    if (!ui::items(p->Cbo9).contains(header[3]) ||
                        !ui::items(p->Cbo4).contains(header[4]))
                        t.problem(what, QStringLiteral("the town or province lookup does not "
                                                       "offer it"));
                }
            }
        }
        // The year chosen again offers every destination stored, and the order listing shows
        // every line's header as stored.
        ui::click(p->Cmd5);
        QVERIFY(kit::openYear(*app, "Nordine", QStringLiteral("2026")));
        const QStringList dests = ui::items(p->Cbo3);
        for (const QStringList& r : rows(app->db(), "SELECT DISTINCT DEST FROM ORDINE;"))
            if (!dests.contains(r[0]))
                t.problem(QStringLiteral("Cbo3"), brief(r[0]) + QStringLiteral(" not offered"));
        ui::click(p->Cmd5);
        QVERIFY(kit::openYear(*app, "Aordine", QStringLiteral("2026")));
        const auto listing = rows(app->db(), "SELECT ORDINE.NR, ORDINE.DEST, ORDINE.CITTA, "
                                             "ORDINE.PR FROM ORDINE, CLIENTE WHERE ANNO = '2026' "
                                             "AND CLIENTE.CODICE = ORDINE.ID_CL;");
        QCOMPARE(kit::listRows(p), listing.size());
        for (int r = 0; r < kit::listRows(p); ++r) {
            const QStringList cells = kit::listRow(p, r);
            if (!listing.contains(QStringList{cells[3], cells[7], cells[8], cells[9]}))
                t.problem(QStringLiteral("listing"), brief(cells.join('|')));
        }
        qInfo("order panel: %d inputs tried, %d stored, %d refused", t.total(), t.stored,
              t.refused);
        total += t.total();
        QVERIFY2(t.problems.isEmpty(), qPrintable(t.report()));
    }

    // Orders whose customer, destination, article and notes are hostile texts: the order sheet
    // read back by an independent reader holds each text as stored.
    void hostileTextsReachTheOrderSheet() {
        seedNames(app->db());
        int i = 0;
        for (const QString& t : texts()) {
            ++i;
            const QString text = inputrules::upperCased(t, 0).text;
            const QString number = QString::number(100 + i);
            const QString code = QString::number(60000 + i);
            auto st = app->db().prepare(
                "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DEST, CITTA, PR, ARTICOLO, CODICE, "
                "FORMATO, PESO, QVENDITA, PREZZO, NOTE) VALUES ('2026', ?1, ?2, '2026-12-08', ?3, "
                "'COMO', 'CO', ?3, 'H', 'SCATOLA', 2.5, 1, 10, ?3);");
            QVERIFY(st && st->bind(1, number).bind(2, code).bind(3, text).run());
            app->opener.opened.clear();
            StampaOrdineV(app->ctx, QStringLiteral("2026"), number, code);
            QVERIFY2(app->dialogs.boxes.isEmpty(), qPrintable(app->dialogs.describe()));
            QCOMPARE(app->opener.opened.size(), 1);
            const QJsonObject cells =
                kit::readXlsx(app->opener.opened.first()).value("cells").toObject();
            QFile::remove(app->opener.opened.first());
            QVERIFY(!cells.isEmpty());
            // The customer's name, the destination, the article and the notes.
            int found = 0;
            for (auto it = cells.begin(); it != cells.end(); ++it) {
                const QJsonValue v = it.value().toObject().value("value");
                if (v.isString() && v.toString().contains(text))
                    ++found;
            }
            QVERIFY2(
                found >= 4,
                qPrintable(QStringLiteral("\"%1\" found in %2 cells").arg(brief(text)).arg(found)));
            ++total;
        }
    }

    // Years written with a quote, % or _: the numbering, the listing and the deletion of an
    // order keep to the year chosen, as they would not if the year were a pattern.
    void hostileYearsKeepTheirOrdersApart() {
        const QStringList years{QStringLiteral("%"), QStringLiteral("_0_6"),
                                QStringLiteral("2026' OR '1'='1"), QStringLiteral("[2]026")};
        for (const QString& y : years) {
            auto st = app->db().prepare("INSERT INTO ANNO (ANNO) VALUES (?1);");
            QVERIFY(st && st->bind(1, y).run());
        }
        kit::store(app->db(), "2026", "7", "10001", "A");
        kit::store(app->db(), "2025", "3", "10001", "B");
        for (const QString& y : years) {
            QVERIFY2(kit::openYear(*app, "Nordine", y), qPrintable(y));
            QCOMPARE(p->Text1->text(), y);
            QCOMPARE(p->T7->text(), QStringLiteral("1"));
            defaults();
            app->dialogs.answerYes();
            ui::click(p->Cmd4);
            QCOMPARE(app->dialogs.take().last().text, kit::kInserito);
            ++total;
            QCOMPARE(kit::listRows(p), 1);
            ui::click(p->Cmd5);
            QVERIFY(kit::openYear(*app, "Nordine", y));
            QCOMPARE(p->T7->text(), QStringLiteral("2"));
            ui::click(p->Cmd5);
            QVERIFY(kit::openYear(*app, "Aordine", y));
            QCOMPARE(kit::listRows(p), 1);
            QCOMPARE(kit::listRow(p, 0)[0], y);
        }
        for (const QString& y : years) {
            QVERIFY(kit::openYear(*app, "Eordine", y));
            ui::clickRow(p->ListView5, 0);
            app->dialogs.answerYes();
            ui::click(p->Cmd4);
            QCOMPARE(app->dialogs.take().last().text, kit::kEliminato);
        }
        QCOMPARE(rows(app->db(), "SELECT ANNO, NR FROM ORDINE ORDER BY ID;"),
                 (QList<QStringList>{{"2026", "7"}, {"2025", "3"}}));
        // A year typed into the year chooser, not one of its years, opens nothing and is told.
        for (const QString& v : texts().mid(2)) {
            ui::menu(app->window.get(), "Nordine");
            if (app->window->Frame7->Cbo7->findText(v) >= 0)
                continue;
            enter(app->window->Frame7->Cbo7, v, Way::Typed);
            QTest::keyClick(app->window->Frame7->Cbo7->lineEdit(), Qt::Key_Return);
            ui::leave(app->window->Frame7->Cbo7, app->window->Frame7);
            ++total;
            QVERIFY2(p->isHidden(), qPrintable(v));
            const auto seen = app->dialogs.take();
            QVERIFY(seen.size() <= 1);
            if (!seen.isEmpty())
                QVERIFY2(seen.first().text.startsWith(QStringLiteral("L'anno \"")),
                         qPrintable(seen.first().text));
        }
    }
};

QTEST_MAIN(TestHostileOrders)
#include "tst_hostile_orders.moc"
