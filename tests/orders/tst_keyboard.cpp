// An order entered, changed and closed with key presses alone: menus, the year, the header, the
// lines, the list, the buttons and Escape.

#include "OrderKit.h"

#include "ui/widgets/Keys.h"

#include "ui/widgets/ReportList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>

using namespace kit;

class TestKeyboard : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;
    int presses = 0;

    // Where a key goes: the open menu or list of suggestions, else the focused element.
    QWidget* target() const {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup;
        if (QWidget* focus = QApplication::focusWidget())
            return focus;
        return app->window.get();
    }
    void key(Qt::Key k, int times = 1, Qt::KeyboardModifiers m = Qt::NoModifier) {
        for (int i = 0; i < times; ++i) {
            QTest::keyClick(target(), k, m);
            ++presses;
        }
    }
    void type(const char* text) {
        for (const char* c = text; *c; ++c) {
            QTest::keyClick(target(), *c);
            ++presses;
        }
    }
    QString focused() const {
        QWidget* w = QApplication::focusWidget();
        // A combo's or date box's edit field stands for the element.
        while (w && w->parentWidget() && w->objectName().isEmpty())
            w = w->parentWidget();
        if (w && w->objectName() == QLatin1String("testo"))
            w = w->parentWidget();
        return w ? w->objectName() : QString();
    }
    // Alt+G opens the first "Gestione" menu; Right moves to the one wanted, Down to its command.
    void menu(int menuRight, int down) {
        key(Qt::Key_G, 1, Qt::AltModifier);
        key(Qt::Key_Right, menuRight);
        key(Qt::Key_Down, down);
        key(Qt::Key_Return);
    }

private Q_SLOTS:
    void init() {
        app = std::make_unique<App>();
        seed(app->db());
        presses = 0;
    }
    void cleanup() { app.reset(); }

    void wholeOrderByKeys() {
        OrderPanel* p = panel(*app);
        // "Stampa Ordine" first: a new order afterwards still offers "Elimina".
        menu(2, 3);
        QCOMPARE(app->window->Frame7->title(), QStringLiteral("4-Seleziona Anno"));
        QCOMPARE(focused(), QStringLiteral("Cbo7"));
        type("2026");
        key(Qt::Key_Return);
        QCOMPARE(p->title(), QStringLiteral("Stampa Ordine"));
        QCOMPARE(focused(), QStringLiteral("ListView5"));
        key(Qt::Key_Escape);
        QVERIFY(p->isHidden());

        menu(2, 0);
        QCOMPARE(focused(), QStringLiteral("Cbo7"));
        // A year the list lacks is told; the text stays selected, so the next one replaces it.
        type("1999");
        key(Qt::Key_Return);
        QCOMPARE(shown(*app),
                 message(QStringLiteral("L'anno \"1999\" non è nell'elenco degli anni: "
                                        "scriverne o sceglierne uno dell'elenco."),
                         titles::t20(), BoxIcon::Exclamation));
        type("2026");
        key(Qt::Key_Return);
        QCOMPARE(p->title(), QStringLiteral("Nuovo Ordine"));
        QCOMPARE(focused(), QStringLiteral("Cbo3"));

        type("DEPOSITO");
        key(Qt::Key_Tab);
        type("COMO");
        key(Qt::Key_Tab);
        type("CO");
        key(Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("Cbo5"));
        type("ALI");
        key(Qt::Key_Down);
        key(Qt::Key_Return);
        QCOMPARE(p->L7->text(), QStringLiteral("10001"));
        key(Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("Cbo6"));

        // One line: the article, its quantities and price, the button, the two boxes.
        const int before = presses;
        auto line = [&](const char* article, const char* sold, const char* price) {
            type(article);
            key(Qt::Key_Down);
            key(Qt::Key_Return);
            QCOMPARE(focused(), QStringLiteral("T11"));
            type(sold);
            key(Qt::Key_Tab, 2);
            type(price);
            key(Qt::Key_Tab, 3);
            QCOMPARE(focused(), QStringLiteral("Cmd4"));
            app->dialogs.answerYes();
            key(Qt::Key_Return);
            QCOMPARE(shown(*app),
                     seq({question(kInserire, titles::t38()), message(kInserito, titles::t18())}));
            QCOMPARE(focused(), QStringLiteral("Cbo6"));
        };
        line("GRA", "3", "12,5");
        qInfo("Tasti per una riga: %d", presses - before);
        line("OLI", "2", "9");
        QCOMPARE(p->ListView5->report()->rows(), 2);

        // The first line changed: Tab to the list, Return on the row, the quantity, the button.
        key(Qt::Key_Tab, 11);
        QCOMPARE(focused(), QStringLiteral("ListView5"));
        key(Qt::Key_Return);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Modifica Articolo"));
        QCOMPARE(focused(), QStringLiteral("T11"));
        type("5");
        key(Qt::Key_Tab, 5);
        app->dialogs.answerYes();
        key(Qt::Key_Return);
        QCOMPARE(shown(*app),
                 seq({question(kAggiornare, titles::t38()), message(kAggiornato, titles::t18())}));

        // The second line deleted: "Elimina" ticked with Space, the row chosen, the button.
        key(Qt::Key_Tab, 12);
        QCOMPARE(focused(), QStringLiteral("C1"));
        QVERIFY(p->C1->isVisible());
        key(Qt::Key_Space);
        key(Qt::Key_Tab, 1, Qt::ShiftModifier);
        key(Qt::Key_Down);
        key(Qt::Key_Return);
        QCOMPARE(p->Cmd4->text(), QStringLiteral("Elimina Articolo"));
        QCOMPARE(focused(), QStringLiteral("Cmd4"));
        app->dialogs.answerYes();
        key(Qt::Key_Return);
        QCOMPARE(app->dialogs.questionDefaults().value(0), QStringLiteral("No"));
        QCOMPARE(shown(*app), seq({question(kSicuro, titles::t20()),
                                   message(kEliminato, titles::t20(), BoxIcon::Information)}));

        key(Qt::Key_Escape);
        QVERIFY(p->isHidden());
        QCOMPARE(ordine(app->db()),
                 QStringList{"'2026'|'1'|'10001'|'2026-12-08'|NULL|'DEPOSITO'|'COMO'|'CO'|"
                             "'GRANA PADANO DOP'|'F-GP01'|'FORMA INTERA'|36.0|5.0|NULL|12.5|"
                             "NULL|''"});
        QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
    }

    // Escape does what each panel's close command does.
    void escapeClosesThePanel_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("panel");
        QTest::newRow("clienti") << "CNuovo"
                                 << "Frame1";
        QTest::newRow("articoli") << "AAggiorna"
                                  << "Frame2";
        QTest::newRow("anno") << "Eordine"
                              << "Frame7";
    }
    void escapeClosesThePanel() {
        QFETCH(QString, command);
        QFETCH(QString, panel);
        ui::menu(app->window.get(), qPrintable(command));
        QWidget* frame = app->find<QWidget>(qPrintable(panel));
        QVERIFY(frame->isVisible());
        QWidget* inside = QApplication::focusWidget();
        QVERIFY(inside && frame->isAncestorOf(inside));
        QTest::keyClick(inside, Qt::Key_Escape);
        QVERIFY(frame->isHidden());
    }

    // Return takes only a year of the list as typed: the beginning of one is told.
    void aPartOfAYearIsNotCompleted() {
        menu(2, 0);
        type("202");
        key(Qt::Key_Return);
        QCOMPARE(shown(*app), message(QStringLiteral("L'anno \"202\" non è nell'elenco degli anni: "
                                                     "scriverne o sceglierne uno dell'elenco."),
                                      titles::t20(), BoxIcon::Exclamation));
        QVERIFY(panel(*app)->isHidden());
        QVERIFY(app->window->Frame7->isVisible());
    }

    // In a list the highlighted row is the one the keys moved to, and the one Return acts on.
    void theHighlightFollowsTheKeys() {
        ui::menu(app->window.get(), "CAggiorna");
        auto* list = app->find<ReportView>("ListView2");
        QCOMPARE(list->report()->rows(), 3);
        list->setFocus();
        const std::pair<Qt::Key, int> steps[] = {
            {Qt::Key_Home, 0}, {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Up, 1},
            {Qt::Key_End, 2},  {Qt::Key_Home, 0}, {Qt::Key_Down, 1}};
        for (const auto& [k, row] : steps) {
            key(k);
            QCOMPARE(list->currentIndex().row(), row);
            QCOMPARE(list->selectedRow(), row);
        }
        key(Qt::Key_Return);
        QCOMPARE(app->find<QLineEdit>("T1")->text(), list->report()->cell(1, 1));
    }

    // Escape closes an open list of suggestions first; typed work not yet saved is kept unless
    // the user says so, No being the default answer.
    void escapeKeepsTypedWork_data() {
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("combo");
        QTest::newRow("cliente") << "Frame1"
                                 << "Cbo8";
        QTest::newRow("testata") << "Frame3"
                                 << "Cbo5";
    }
    void escapeKeepsTypedWork() {
        QFETCH(QString, panel);
        QFETCH(QString, combo);
        if (panel == QLatin1String("Frame1")) {
            ui::menu(app->window.get(), "CNuovo");
            type("10009");
            key(Qt::Key_Tab);
            type("BAR CENTRALE");
            key(Qt::Key_Tab);
        } else {
            menu(2, 0);
            type("2026");
            key(Qt::Key_Return);
            type("DEPOSITO");
            key(Qt::Key_Tab, 3);
        }
        QCOMPARE(focused(), combo);
        auto* list = app->find<QComboBox>(qPrintable(combo));
        type("B");
        QVERIFY(list->completer()->popup()->isVisible());
        QWidget* frame = app->find<QWidget>(qPrintable(panel));

        key(Qt::Key_Escape);
        QVERIFY(!list->completer()->popup()->isVisible());
        QVERIFY(frame->isVisible());
        QCOMPARE(app->dialogs.describe(), QString());

        app->dialogs.answerNo();
        key(Qt::Key_Escape);
        QVERIFY(frame->isVisible());
        QCOMPARE(list->currentText(), QStringLiteral("B"));
        app->dialogs.answerYes();
        key(Qt::Key_Escape);
        QVERIFY(frame->isHidden());
        const QString ask = question(keys::unsavedQuestion(), titles::t20());
        QCOMPARE(app->dialogs.describe(), seq({ask, ask}));
        QCOMPARE(app->dialogs.questionDefaults(), (QStringList{"No", "No"}));
        QVERIFY2(app->dialogs.unexpected.isEmpty(), qPrintable(app->dialogs.describe()));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
