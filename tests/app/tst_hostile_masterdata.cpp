// Hostile input through the customer, article and agent panels, field by field: each text is
// either stored exactly as the fields showed it (and the list, the combos and a reload show it
// back) or refused with a message that changes nothing. The names stored this way are then
// looked up by the order panel's customer and article choosers.

#include "Hostile.h"
#include "orders/OrderKit.h"
#include "sheets/SheetKit.h"

#include <QJsonArray>

#include "text/ItalianText.h"
#include "ui/widgets/ClickLabel.h"

using namespace hostile;

namespace {

const QString kInserimento = QStringLiteral("Inserimento effettuato");

bool listHas(ReportView* list, const QStringList& cells) {
    const ReportModel* m = list->report();
    for (int r = 0; r < m->rows(); ++r) {
        bool same = true;
        for (int i = 0; i < cells.size() && same; ++i)
            same = m->cell(r, i + 1) == cells[i];
        if (same)
            return true;
    }
    return false;
}

// The upper-case rule settled: the field shows the upper-case form of its own text.
void checkUpper(QWidget* w, const QString& what, Tally& tally) {
    const QString t = shown(w);
    if (inputrules::upperCased(t, 0).text != t)
        tally.problem(what, QStringLiteral("the field is not in upper case: ") + brief(t));
}

// The n-th row (from 0) among the earlier rows with the very same name.
int occurrenceOf(const QList<QStringList>& all, int index, int column) {
    int n = 0;
    for (int i = 0; i < index; ++i)
        if (all[i][column] == all[index][column])
            ++n;
    return n;
}

} // namespace

class TestHostileMasterdata : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    Tally tally;

    void report(const char* panel, const Tally& t) {
        qInfo("%s: %d inputs tried, %d stored, %d refused", panel, t.total(), t.stored, t.refused);
    }

private Q_SLOTS:
    void initTestCase() { app = std::make_unique<App>(); }
    void cleanupTestCase() {
        qInfo("masterdata: %d inputs tried in all", tally.total());
        app.reset();
    }

    void customerFields() {
        QVERIFY(app->started);
        CustomerPanel* c = app->window->Frame1;
        ui::menu(app->window.get(), "CNuovo");
        Tally t;
        struct Field {
            QWidget* w;
            const char* name;
            bool numeric;
        };
        const Field fields[] = {{c->T1, "T1", true},
                                {c->T2, "T2", false},
                                {c->Cbo8, "Cbo8", false},
                                {c->Cbo1, "Cbo1", false}};
        int n = 0;
        for (const Field& f : fields) {
            const QStringList values = f.numeric ? texts() + numbers() : texts();
            for (const QString& v : values) {
                for (Way way : ways(v)) {
                    ++n;
                    enter(c->T1, QString::number(50000000 + n), Way::Typed);
                    enter(c->T2, QStringLiteral("cliente %1").arg(n), Way::Typed);
                    enter(c->Cbo8, QStringLiteral("citta"), Way::Typed);
                    enter(c->Cbo1, QStringLiteral("pr"), Way::Typed);
                    enter(f.w, v, way);
                    const QString what =
                        QStringLiteral("%1 %2 \"%3\"").arg(f.name, toString(way), brief(v));
                    if (!f.numeric)
                        checkUpper(f.w, what, t);
                    const QStringList typed{shown(c->T1), shown(c->T2), shown(c->Cbo8),
                                            shown(c->Cbo1)};
                    if (!attempt(
                            *app, [&] { ui::click(c->Cmd1); }, kInserimento, what, t))
                        continue;
                    const QStringList stored =
                        rows(app->db(), "SELECT CODICE, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE "
                                        "WHERE ID = (SELECT max(ID) FROM CLIENTE);")
                            .value(0);
                    if (stored != typed)
                        t.problem(what, QStringLiteral("stored \"%1\", the fields showed \"%2\"")
                                            .arg(brief(stored.join('|')), brief(typed.join('|'))));
                    if (!listHas(c->ListView2, typed))
                        t.problem(what, QStringLiteral("the list does not show it back"));
                    if (!ui::items(c->Cbo8).contains(typed[2]) ||
                        !ui::items(c->Cbo1).contains(typed[3]))
                        t.problem(what, QStringLiteral("the town or province lookup does not "
                                                       "offer it"));
                }
            }
        }
        // A fresh opening lists every stored customer as stored.
        ui::menu(app->window.get(), "CNuovo");
        for (const QStringList& r : rows(app->db(), "SELECT CODICE, SOGGETTO, CITTA, PROVINCIA "
                                                    "FROM CLIENTE;"))
            if (!listHas(c->ListView2, r))
                t.problem(QStringLiteral("reload"),
                          brief(r.join('|')) + QStringLiteral(" is not listed"));
        report("customer panel", t);
        tally.stored += t.stored;
        tally.refused += t.refused;
        QVERIFY2(t.problems.isEmpty(), qPrintable(t.report()));
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }

    void articleFields() {
        ArticlePanel* a = app->window->Frame2;
        ui::menu(app->window.get(), "ANuovo");
        Tally t;
        struct Field {
            QWidget* w;
            const char* name;
            bool number;
        };
        const Field fields[] = {{a->T3, "T3", false},
                                {a->Cbo2, "Cbo2", false},
                                {a->T5, "T5", false},
                                {a->T6, "T6", true}};
        int n = 0;
        for (const Field& f : fields) {
            const QStringList values = f.number ? numbers() + texts() : texts();
            for (const QString& v : values) {
                for (Way way : ways(v)) {
                    ++n;
                    enter(a->T3, QStringLiteral("a%1").arg(n), Way::Typed);
                    enter(a->Cbo2, QStringLiteral("articolo %1").arg(n), Way::Typed);
                    enter(a->T5, QString(), Way::Typed);
                    enter(a->T6, QString(), Way::Typed);
                    enter(f.w, v, way);
                    const QString what =
                        QStringLiteral("%1 %2 \"%3\"").arg(f.name, toString(way), brief(v));
                    checkUpper(f.w, what, t);
                    const QStringList typed{shown(a->T3), shown(a->Cbo2), shown(a->T5),
                                            shown(a->T6)};
                    if (!attempt(
                            *app, [&] { ui::click(a->Cmd2); }, kInserimento, what, t))
                        continue;
                    auto st = app->db().prepare(
                        "SELECT CODICE, ARTICOLO, FORMATO, PESO, AGG FROM ARTICOLO WHERE ID = "
                        "(SELECT max(ID) FROM ARTICOLO);");
                    QVERIFY(st && st->next());
                    const QStringList stored{st->text(0), st->text(1), st->text(2)};
                    if (stored != typed.mid(0, 3))
                        t.problem(what, QStringLiteral("stored \"%1\", the fields showed \"%2\"")
                                            .arg(brief(stored.join('|')), brief(typed.join('|'))));
                    const auto weight = itext::parseNumber(typed[3]);
                    if (typed[3].isEmpty() ? !st->isNull(3)
                                           : (!weight || st->isNull(3) || st->real(3) != *weight))
                        t.problem(what, QStringLiteral("weight stored as \"%1\" for \"%2\"")
                                            .arg(st->text(3), typed[3]));
                    if (st->text(4) != QLatin1String("2026-12-08"))
                        t.problem(what, QStringLiteral("AGG is ") + st->text(4));
                    const QString weightCell =
                        st->isNull(3) ? QString() : itext::formatNumber(st->real(3));
                    if (!listHas(a->ListView3, {typed[0], typed[1], typed[2], weightCell,
                                                QStringLiteral("08/12/2026")}))
                        t.problem(what, QStringLiteral("the list does not show it back"));
                }
            }
        }
        report("article panel", t);
        tally.stored += t.stored;
        tally.refused += t.refused;
        QVERIFY2(t.problems.isEmpty(), qPrintable(t.report()));
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }

    void agentFields() {
        AgentPanel* g = app->window->Frame8;
        auto open = [&] {
            app->dialogs.answerInput(QStringLiteral("7391"));
            ui::menu(app->window.get(), "MUtente");
            app->dialogs.clear();
        };
        open();
        Tally t;
        struct Field {
            QWidget* w;
            const char* name;
            bool numeric;
        };
        const Field fields[] = {{g->Text3, "Text3", false},
                                {g->Text4, "Text4", true},
                                {g->Text5, "Text5", false},
                                {g->Text6, "Text6", false}};
        for (const Field& f : fields) {
            const QStringList values = f.numeric ? numbers() + texts() : texts();
            for (const QString& v : values) {
                for (Way way : ways(v)) {
                    for (QLineEdit* e : {g->Text3, g->Text4, g->Text5, g->Text6})
                        enter(e, QString(), Way::Typed);
                    enter(f.w, v, way);
                    const QString what =
                        QStringLiteral("%1 %2 \"%3\"").arg(f.name, toString(way), brief(v));
                    if (!f.numeric)
                        checkUpper(f.w, what, t);
                    const QStringList typed{shown(g->Text2), shown(g->Text3), shown(g->Text4),
                                            shown(g->Text5), shown(g->Text6)};
                    if (!attempt(
                            *app, [&] { ui::click(g->Cmd6); }, kInserimento, what, t))
                        continue;
                    const QStringList stored =
                        rows(app->db(), "SELECT UTENTE, VIA, CAP, CITTA, PR FROM UTENTE;").value(0);
                    if (stored != typed)
                        t.problem(what, QStringLiteral("stored \"%1\", the fields showed \"%2\"")
                                            .arg(brief(stored.join('|')), brief(typed.join('|'))));
                    // Opened again, the panel shows what was stored.
                    ui::click(g->L43);
                    open();
                    const QStringList reloaded{shown(g->Text2), shown(g->Text3), shown(g->Text4),
                                               shown(g->Text5), shown(g->Text6)};
                    if (reloaded != typed)
                        t.problem(
                            what,
                            QStringLiteral("reloaded as \"%1\"").arg(brief(reloaded.join('|'))));
                }
            }
        }
        // The name is the file's: typing into it changes nothing.
        const QString name = g->Text2->text();
        for (const QString& v : texts().mid(2, 10))
            ui::type(g->Text2, v);
        QCOMPARE(g->Text2->text(), name);
        report("agent panel", t);
        tally.stored += t.stored;
        tally.refused += t.refused;
        QVERIFY2(t.problems.isEmpty(), qPrintable(t.report()));
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }

    // Found by the field sweeps above: a letter whose upper case is longer (ß, ﬁ) left the caret
    // inside its upper-case form, so the next key landed between its letters.
    void aLetterWithALongerUpperCaseKeepsTheCaretAfterIt() {
        CustomerPanel* c = app->window->Frame1;
        c->show();
        enter(c->T2, QStringLiteral("straße ﬁne"), Way::Typed);
        QCOMPARE(c->T2->text(), QStringLiteral("STRASSE FINE"));
        QCOMPARE(c->T2->cursorPosition(), 12);
        c->T2->setCursorPosition(4);
        ui::type(c->T2, QStringLiteral("ß"));
        QCOMPARE(c->T2->text(), QStringLiteral("STRASSSSE FINE"));
        QCOMPARE(c->T2->cursorPosition(), 6);
        OrderPanel* p = kit::panel(*app);
        enter(p->T15, QStringLiteral("große\nﬁne"), Way::Typed);
        QCOMPARE(p->T15->toPlainText(), QStringLiteral("GROSSE\nFINE"));
    }

    // Found by the field sweeps above: an emoji that met a field's length limit halfway left
    // its first half in the field, stored as "?". The half is dropped.
    void anEmojiCutByAFieldLimitIsDroppedWhole() {
        CustomerPanel* c = app->window->Frame1;
        enter(c->T1, QStringLiteral("1234567890🍕"), Way::Pasted);
        QCOMPARE(c->T1->text(), QStringLiteral("1234567890"));
        AgentPanel* g = app->window->Frame8;
        enter(g->Text6, QStringLiteral("a🍕"), Way::Typed);
        QCOMPARE(g->Text6->text(), QStringLiteral("A"));
        enter(g->Text6, QStringLiteral("🍕"), Way::Typed);
        QCOMPARE(g->Text6->text(), QStringLiteral("🍕"));
    }

    // The table exports carry every stored text into the workbook as that text: read back by
    // an independent reader, each cell holds what the file holds, and a text that looks like a
    // formula stays a text.
    void hostileTextsReachTheExportsExactly() {
        struct Export {
            const char* command;
            const char* sql;
            QStringList columns;
        };
        const Export exports[] = {
            {"StampaClienti",
             "SELECT CODICE, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE;",
             {"B", "C", "D", "E"}},
            {"StampaArticolo", "SELECT CODICE, ARTICOLO, FORMATO FROM ARTICOLO;", {"B", "C", "D"}},
        };
        for (const Export& e : exports) {
            app->opener.opened.clear();
            ui::menu(app->window.get(), e.command);
            QCOMPARE(app->opener.opened.size(), 1);
            const QString path = app->opener.opened.first();
            const QString sheet = kit::readXlsx(path).value("active").toString();
            QStringList wanted;
            for (const QString& c : e.columns)
                wanted << QStringLiteral("col:%1:%2").arg(sheet, c);
            const QJsonObject cells = kit::readXlsx(path, wanted).value("cells").toObject();
            QVERIFY(!cells.isEmpty());
            const auto stored = rows(app->db(), e.sql);
            QVERIFY(stored.size() > 100);
            for (int c = 0; c < e.columns.size(); ++c) {
                QStringList column;
                for (const QJsonValue v : cells.value(wanted[c]).toArray())
                    column << (v.isString() ? v.toString()
                               : v.isNull() ? QString()
                                            : QStringLiteral("<not a text>"));
                for (const QStringList& r : stored)
                    QVERIFY2(
                        column.contains(r[c]),
                        qPrintable(QStringLiteral("%1 column %2: \"%3\" is not in the sheet")
                                       .arg(QLatin1String(e.command), e.columns[c], brief(r[c]))));
            }
        }
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }

    // Every customer and article stored above, hostile names included, is offered by the order
    // panel's choosers, and choosing it brings its own code (not another's, whatever %, _, [ or
    // an apostrophe would mean to a pattern).
    void hostileNamesAreLookedUpExactly() {
        OrderPanel* p = kit::panel(*app);
        QVERIFY(kit::openYear(*app, "Nordine", QStringLiteral("2026")));
        Tally t;
        const QList<QStringList> customers =
            rows(app->db(), "SELECT SOGGETTO, CODICE, PROVINCIA FROM CLIENTE ORDER BY ID;");
        QVERIFY(customers.size() > 100);
        for (int i = 0; i < customers.size(); ++i) {
            const QStringList& c = customers[i];
            const QString what = QStringLiteral("Cbo5 \"%1\"").arg(brief(c[0]));
            p->L7->clear();
            if (!kit::chooseNth(p->Cbo5, c[0], occurrenceOf(customers, i, 0))) {
                t.problem(what, QStringLiteral("not offered"));
                continue;
            }
            ++t.stored;
            if (p->L7->text() != c[1] || p->L8->text() != c[2])
                t.problem(what, QStringLiteral("brought %1 %2 instead of %3 %4")
                                    .arg(p->L7->text(), p->L8->text(), c[1], c[2]));
        }
        const QList<QStringList> articles =
            rows(app->db(), "SELECT ARTICOLO, CODICE, FORMATO, PESO FROM ARTICOLO ORDER BY ID;");
        QVERIFY(articles.size() > 100);
        for (int i = 0; i < articles.size(); ++i) {
            const QStringList& a = articles[i];
            const QString what = QStringLiteral("Cbo6 \"%1\"").arg(brief(a[0]));
            if (!kit::chooseNth(p->Cbo6, a[0], occurrenceOf(articles, i, 0))) {
                t.problem(what, QStringLiteral("not offered"));
                continue;
            }
            ++t.stored;
            if (p->T8->text() != a[1] || p->T9->text() != a[2])
                t.problem(what, QStringLiteral("brought %1 %2 instead of %3 %4")
                                    .arg(p->T8->text(), p->T9->text(), a[1], a[2]));
        }
        qInfo("lookups by name: %d names chosen", t.stored);
        tally.stored += t.stored;
        QVERIFY2(t.problems.isEmpty(), qPrintable(t.report()));
        QVERIFY(app->dialogs.unexpected.isEmpty());
    }
};

QTEST_MAIN(TestHostileMasterdata)
#include "tst_hostile_masterdata.moc"
