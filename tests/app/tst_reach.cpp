// What the user reaches and sees in every panel and mode: Tab and Shift+Tab visit the shown
// elements in the tables' order, and no text, hint or border is cut, at every zoom of the window.
// Run at 96 and at 144 dots per inch.

#include "orders/OrderKit.h"

#include "app/Gestione.h"
#include "app/WindowZoom.h"
#include "masterdata/AgentStore.h"
#include "ui/widgets/Zoom.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QGroupBox>
#include <QMenuBar>
#include <QScreen>
#include <QStyleOptionButton>

using namespace kit;

namespace {

// The element that holds the focus: a combo's or date box's edit field stands for its box.
QString focused() {
    QWidget* w = QApplication::focusWidget();
    while (w && w->parentWidget() &&
           (w->objectName().isEmpty() || w->objectName() == QLatin1String("testo")))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// Every panel and mode the user reaches.
const char* const kStates[] = {"clienti", "articoli", "utente",   "anno",
                               "nuovo",   "elenco",   "aggiorna", "stampa"};

// Texts whose room the layout tables themselves make too small.
const QStringList kTooLongByDesign = {};

} // namespace

class TestReach : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;

    // Opens a panel in one of its modes, as the user gets there, in a new window.
    void reach(const QString& state) {
        app = std::make_unique<App>();
        QCOMPARE(app->window->zoom().percent(), zoom::kSmallest);
        seed(app->db());
        store(app->db(), QStringLiteral("2026"), QStringLiteral("1"), QStringLiteral("10001"),
              QStringLiteral("GRANA PADANO DOP"));
        OrderPanel* p = panel(*app);
        if (state == QLatin1String("clienti")) {
            ui::menu(app->window.get(), "CAggiorna");
        } else if (state == QLatin1String("articoli")) {
            ui::menu(app->window.get(), "AAggiorna");
        } else if (state == QLatin1String("utente")) {
            app->dialogs.answerInput(QString::number(agent::kAccessCode));
            ui::menu(app->window.get(), "MUtente");
        } else if (state == QLatin1String("anno")) {
            ui::menu(app->window.get(), "Nordine");
        } else if (state == QLatin1String("nuovo")) {
            QVERIFY(openYear(*app, "Nordine", QStringLiteral("2026")));
        } else if (state == QLatin1String("elenco")) {
            QVERIFY(openYear(*app, "Aordine", QStringLiteral("2026")));
        } else if (state == QLatin1String("aggiorna")) {
            QVERIFY(openYear(*app, "Aordine", QStringLiteral("2026")));
            ui::clickRow(p->ListView5, 0);
            ui::click(p->Cmd4);
        } else if (state == QLatin1String("stampa")) {
            QVERIFY(openYear(*app, "StampaOrdine", QStringLiteral("2026")));
            ui::clickRow(p->ListView5, 0);
        }
    }

private Q_SLOTS:
    // The density the run is registered for is the one the screen has.
    void initTestCase() {
        const QString dpi = qEnvironmentVariable("GESTIONE_EXPECT_DPI", QStringLiteral("96"));
        const QScreen* screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->logicalDotsPerInch() * screen->devicePixelRatio(), dpi.toDouble());
    }
    void cleanup() { app.reset(); }

    void tabVisitsWhatIsShown_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("order");
        const QStringList header = {"T7", "D1", "D2", "Cbo3", "Cbo9", "Cbo4", "Cbo5"};
        const QStringList line = {"Cbo6", "T11", "T12", "T13", "T14", "T15",
                                  "Cmd4", "T8",  "T9",  "T10", "Cmd5"};
        QTest::newRow("clienti") << "clienti"
                                 << QStringList{"T1", "T2", "Cbo8", "Cbo1", "Cmd1", "ListView2"};
        QTest::newRow("articoli") << "articoli" << QStringList{"T3",   "Cbo2",      "T5",  "T6",
                                                               "Cmd2", "ListView3", "Cmd3"};
        QTest::newRow("utente") << "utente"
                                << QStringList{"Text2", "Text3", "Text4", "Text5", "Text6", "Cmd6"};
        QTest::newRow("anno") << "anno" << QStringList{"Cbo7"};
        QTest::newRow("nuovo") << "nuovo" << header + line + QStringList{"C2"};
        QTest::newRow("elenco") << "elenco" << QStringList{"ListView5"};
        QTest::newRow("aggiorna") << "aggiorna" << header + line + QStringList{"ListView5", "C1"};
    }
    void tabVisitsWhatIsShown() {
        QFETCH(QString, state);
        QFETCH(QStringList, order);
        reach(state);
        app->window->findChild<QWidget*>(order.first())->setFocus();
        QCOMPARE(focused(), order.first());
        QStringList forth, back;
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forth << focused();
        }
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            back << focused();
        }
        QCOMPARE(forth, order.mid(1) + order.mid(0, 1));
        QCOMPARE(back, QStringList(order.rbegin(), order.rend()));
    }

    // Menus, suggestion lists and boxes are windows of their own: the window's family too.
    void oneFontFamily() {
        reach(QStringLiteral("nuovo"));
        const QString family = QFontInfo(app->window->font()).family();
        QCOMPARE(QFontInfo(QApplication::font()).family(), family);
        QCOMPARE(QFontInfo(app->window->menuBar()->font()).family(), family);
        QCOMPARE(QFontInfo(QApplication::font("QMenu")).family(), family);
        QCOMPARE(QFontInfo(QApplication::font("QMessageBox")).family(), family);
        QCOMPARE(QFontInfo(panel(*app)->Cbo5->completer()->popup()->font()).family(), family);
    }

    void nothingIsCut_data() {
        QTest::addColumn<QString>("state");
        for (const char* s : kStates)
            QTest::newRow(s) << QString::fromLatin1(s);
    }
    // One window a state, zoomed in step by step from the smallest zoom to the largest.
    void nothingIsCut() {
        QFETCH(QString, state);
        reach(state);
        QStringList cut;
        for (int percent = zoom::kSmallest;; percent += zoom::kStep) {
            QCOMPARE(app->window->zoom().percent(), percent);
            const QStringList here = cutIn(*app->window);
            if (!here.isEmpty())
                cut << QStringLiteral("%1 %: %2").arg(percent).arg(here.join(QStringLiteral("; ")));
            if (percent >= zoom::kLargest)
                break;
            ui::menu(app->window.get(), "Ingrandisci");
        }
        const QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY2(cut.isEmpty(),
                 qPrintable(QStringLiteral("%1 dpi, %2")
                                .arg(screen->logicalDotsPerInch() * screen->devicePixelRatio())
                                .arg(cut.join(QStringLiteral(" | ")))));
    }

private:
    // What the window shows cut: a text without the room it needs, an element outside its
    // sub-panel.
    static QStringList cutIn(Gestione& window) {
        QStringList cut;
        const auto tell = [&](QWidget* w, const QString& what, int need, int room) {
            if (need > room && !kTooLongByDesign.contains(what))
                cut << QStringLiteral("%1 \"%2\": %3 px in %4")
                           .arg(w->objectName(), what)
                           .arg(need)
                           .arg(room);
        };
        for (QWidget* w : window.centralWidget()->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->objectName().isEmpty())
                continue;
            const QFontMetrics fm(w->font());
            // Inside its sub-panel, clear of the sub-panel's border.
            if (auto* box = qobject_cast<QGroupBox*>(w->parentWidget())) {
                const QRect inner = box->rect().adjusted(1, 1, -1, -1);
                if (!inner.contains(w->geometry()))
                    cut << QStringLiteral("%1: bottom %2 of %3, right %4 of %5, outside %6")
                               .arg(w->objectName())
                               .arg(w->geometry().bottom())
                               .arg(inner.bottom())
                               .arg(w->geometry().right())
                               .arg(inner.right())
                               .arg(box->objectName());
            }
            if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty()) {
                tell(w, l->text(), fm.horizontalAdvance(l->text()), l->contentsRect().width());
                tell(w, l->text() + QStringLiteral(" (altezza)"), fm.height(),
                     l->contentsRect().height());
            } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
                QStyleOptionButton o;
                o.initFrom(c);
                const int indicator =
                    c->style()->pixelMetric(QStyle::PM_IndicatorWidth, &o, c) +
                    c->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &o, c);
                tell(w, c->text(), indicator + fm.horizontalAdvance(c->text()), c->width());
            } else if (auto* b = qobject_cast<QPushButton*>(w); b && !b->text().isEmpty()) {
                QStyleOptionButton o;
                o.initFrom(b);
                const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &o, b);
                tell(w, b->text(), fm.horizontalAdvance(b->text()), room.width());
                tell(w, b->text() + QStringLiteral(" (altezza)"), fm.height(), room.height());
            } else if (auto* d = qobject_cast<DateBox*>(w)) {
                QLineEdit* e = d->lineEdit();
                const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
                // The edit field's frame and its two pixels of margin on each side.
                tell(w, e->placeholderText(),
                     QFontMetrics(e->font()).horizontalAdvance(e->placeholderText()),
                     e->width() - 2 * frame - 4);
            }
        }
        return cut;
    }
};

QTEST_MAIN(TestReach)
#include "tst_reach.moc"
