// The window's elements: names, kinds, texts, geometry in twips, fonts, limits, flags, stacking
// and focus order, as the layout tables give them; at every zoom, each length and font the one
// at 100 % times the zoom.

#include "support/Fixture.h"

#include "app/Gestione.h"
#include "app/WindowZoom.h"
#include "support/Ui.h"

#include "ui/widgets/DateBox.h"
#include "ui/widgets/ReportList.h"
#include "ui/widgets/Twips.h"
#include "ui/widgets/Zoom.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

namespace {

enum Kind { Label, Holder, Text, MultiLine, Combo, Button, Check, Date, List, Frame, HiddenText };

struct Element {
    const char* container;
    const char* name;
    Kind kind;
    const char* text;
    int left, top, width, height;
    double font; // 0: not given
    bool bold;
    int maxLength; // 0: none
    char align;    // 'l', 'c', 'r'
    bool readOnly;
};

// clang-format off
const Element kElements[] = {
    // Frame1, the customer panel
    {"Frame1", "Label4", Label, "X", 14040, 240, 150, 270, 11.25, true, 0, 'l', false},
    {"Frame1", "L1", Holder, "L1", 360, 480, 855, 375, 0, false, 0, 'l', false},
    {"Frame1", "Label3", Label, "Codice Cliente", 360, 840, 1260, 240, 9.75, false, 0, 'l', false},
    {"Frame1", "T1", Text, "", 360, 1080, 1335, 360, 9.75, false, 11, 'l', false},
    {"Frame1", "Label1", Label, "Denominazione /Cognome-Nome", 1800, 840, 2850, 240, 9.75, false, 0, 'l', false},
    {"Frame1", "T2", Text, "", 1800, 1080, 5295, 360, 9, false, 0, 'l', false},
    {"Frame1", "Label22", Label, "Città", 7200, 840, 405, 240, 9.75, false, 0, 'l', false},
    {"Frame1", "Cbo8", Combo, "", 7200, 1080, 2895, 315, 9, false, 0, 'l', false},
    {"Frame1", "Label29", Label, "Provincia", 10200, 840, 780, 240, 9.75, false, 0, 'l', false},
    {"Frame1", "Cbo1", Combo, "", 10200, 1080, 2655, 315, 9, false, 0, 'l', false},
    {"Frame1", "Cmd1", Button, nullptr, 13080, 1080, 1215, 375, 9.75, false, 0, 'l', false},
    {"Frame1", "L2", Label, nullptr, 360, 1680, 600, 240, 9.75, false, 0, 'l', false},
    {"Frame1", "ListView2", List, nullptr, 360, 1920, 13800, 5160, 9, false, 0, 'l', false},
    // Frame2, the article panel
    {"Frame2", "Label5", Label, "X", 14160, 240, 150, 270, 11.25, true, 0, 'l', false},
    {"Frame2", "Label2", Label, "Codice Articolo", 480, 600, 1320, 240, 9.75, false, 0, 'l', false},
    {"Frame2", "T3", Text, "", 480, 840, 2295, 360, 9.75, false, 13, 'c', false},
    {"Frame2", "Label8", Label, "Descrizione Articolo", 2880, 600, 1740, 240, 9.75, false, 0, 'l', false},
    {"Frame2", "Cbo2", Combo, "", 2880, 840, 6855, 315, 11.25, false, 0, 'l', false},
    {"Frame2", "L3", Holder, nullptr, 9960, 840, 855, 255, 0, false, 0, 'l', false},
    {"Frame2", "Label7", Label, "Formato", 480, 1320, 720, 240, 9.75, false, 0, 'l', false},
    {"Frame2", "T5", Text, "", 480, 1560, 7335, 360, 9.75, false, 0, 'l', false},
    {"Frame2", "Label9", Label, "Peso Collo (KG/LIT)", 7920, 1320, 1725, 240, 9.75, false, 0, 'l', false},
    {"Frame2", "T6", Text, "", 7920, 1560, 1815, 360, 9.75, false, 0, 'l', false},
    {"Frame2", "Cmd2", Button, nullptr, 9960, 1560, 1695, 375, 9.75, false, 0, 'l', false},
    {"Frame2", "Cmd3", Button, "Excel", 12000, 1560, 1695, 375, 9.75, false, 0, 'l', false},
    {"Frame2", "Label6", Label, nullptr, 480, 2160, 600, 240, 9.75, false, 0, 'l', false},
    {"Frame2", "ListView3", List, nullptr, 480, 2400, 13680, 5880, 9, false, 0, 'l', false},
    // Frame3, the order panel
    {"Frame3", "Label14", Label, "Anno", 6480, 240, 495, 255, 0, false, 0, 'l', false},
    {"Frame3", "Text1", Text, nullptr, 7200, 240, 735, 350, 0, false, 0, 'l', true},
    {"Frame3", "L9", Holder, nullptr, 11160, 240, 855, 255, 9.75, false, 0, 'l', false},
    {"Frame3", "L10", Holder, nullptr, 12480, 240, 855, 255, 9.75, false, 0, 'l', false},
    {"Frame3", "C2", Check, "Nr manuale", 600, 480, 1455, 255, 9, true, 0, 'l', false},
    {"Frame3", "Label13", Label, "Nr.Ordine ", 600, 720, 1575, 375, 9.75, true, 0, 'l', false},
    {"Frame3", "T7", Text, nullptr, 600, 960, 1335, 360, 9.75, true, 0, 'c', true},
    {"Frame3", "Label17", Label, "Data Ordine", 2160, 720, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame3", "D1", Date, nullptr, 2160, 960, 1695, 360, 11.25, false, 0, 'l', false},
    {"Frame3", "Label18", Label, "Data Consegna", 4080, 720, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame3", "D2", Date, nullptr, 4080, 960, 1695, 360, 11.25, false, 0, 'l', false},
    {"Frame3", "Label15", Label, "Destinazione  Merce", 5880, 720, 4455, 375, 9.75, false, 0, 'l', false},
    {"Frame3", "Cbo3", Combo, nullptr, 5880, 960, 5055, 315, 11.25, false, 0, 'l', false},
    {"Frame3", "Label31", Label, "Città", 11040, 720, 2055, 375, 9.75, false, 0, 'l', false},
    {"Frame3", "Cbo9", Combo, nullptr, 11040, 960, 2655, 315, 11.25, false, 0, 'l', false},
    {"Frame3", "Label19", Label, "Provincia", 11040, 1320, 2055, 375, 9.75, false, 0, 'l', false},
    {"Frame3", "Cbo4", Combo, nullptr, 11040, 1560, 2655, 315, 11.25, false, 0, 'l', false},
    {"Frame3", "Label11", Label, "Cliente", 600, 1440, 6615, 375, 9.75, false, 0, 'l', false},
    {"Frame3", "Cbo5", Combo, nullptr, 600, 1680, 6615, 315, 9, true, 0, 'l', false},
    {"Frame3", "Label12", Label, "Codice", 7440, 1440, 855, 255, 9.75, false, 0, 'l', false},
    {"Frame3", "L7", Label, nullptr, 7440, 1680, 1575, 315, 9.75, false, 0, 'l', false},
    {"Frame3", "Label21", Label, "PR Cliente", 9240, 1440, 930, 240, 9.75, false, 0, 'l', false},
    {"Frame3", "L8", Label, nullptr, 9240, 1680, 930, 240, 9.75, false, 0, 'l', false},
    {"Frame3", "Frame4", Frame, nullptr, 600, 2160, 13215, 2535, 9, false, 0, 'l', false},
    {"Frame3", "Frame5", Frame, "Elenco", 600, 4800, 13215, 3615, 9, false, 0, 'l', false},
    // Frame4, the order line
    {"Frame4", "Label10", Label, "Scelta Articolo ", 240, 360, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame4", "Cbo6", Combo, nullptr, 240, 600, 5535, 315, 9, true, 0, 'l', false},
    {"Frame4", "Label20", Label, "Codice Articolo", 5880, 360, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame4", "T8", Text, nullptr, 5880, 600, 1935, 360, 9, true, 0, 'c', true},
    {"Frame4", "Label23", Label, "Formato", 8040, 360, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame4", "T9", Text, nullptr, 8040, 600, 4575, 360, 8.25, true, 0, 'l', true},
    {"Frame4", "Label24", Label, "Peso Collo (Kg/Lit)", 240, 960, 1635, 240, 9.75, false, 0, 'l', false},
    {"Frame4", "T10", Text, nullptr, 240, 1200, 1695, 360, 9.75, true, 0, 'c', true},
    {"Frame4", "Label25", Label, "Quantità Vendita", 2160, 960, 1455, 240, 9.75, false, 0, 'l', false},
    {"Frame4", "T11", Text, nullptr, 2160, 1200, 1695, 360, 9.75, true, 0, 'c', false},
    {"Frame4", "Label26", Label, "Quantità Omaggio", 4080, 960, 1575, 240, 9.75, false, 0, 'l', false},
    {"Frame4", "T12", Text, nullptr, 4080, 1200, 1695, 360, 9.75, true, 0, 'c', false},
    {"Frame4", "Label27", Label, "Prezzo", 5880, 960, 615, 240, 9.75, false, 0, 'l', false},
    {"Frame4", "T13", Text, nullptr, 5880, 1200, 1935, 360, 9.75, true, 0, 'r', false},
    {"Frame4", "Label28", Label, "Sconto", 8040, 960, 615, 240, 9.75, false, 0, 'l', false},
    {"Frame4", "T14", Text, nullptr, 8040, 1200, 1695, 360, 9.75, true, 0, 'r', false},
    {"Frame4", "Label30", Label, "Note", 240, 1560, 405, 240, 9.75, false, 0, 'l', false},
    {"Frame4", "T15", MultiLine, nullptr, 240, 1800, 9495, 480, 8.25, true, 0, 'l', false},
    {"Frame4", "Frame6", Frame, "", 9840, 1080, 2775, 1215, 0, false, 0, 'l', false},
    {"Frame6", "Cmd4", Button, nullptr, 480, 240, 1695, 375, 9.75, false, 0, 'l', false},
    {"Frame6", "Cmd5", Button, nullptr, 480, 720, 1695, 375, 9.75, false, 0, 'l', false},
    // Frame5, the list
    {"Frame5", "ListView5", List, nullptr, 240, 480, 12720, 2760, 9, false, 0, 'l', false},
    {"Frame5", "C1", Check, "Elimina", 240, 3240, 1455, 255, 9, true, 0, 'l', false},
    // Frame7, the year panel
    {"Frame7", "L12", Label, "X", 3960, 240, 150, 270, 11.25, true, 0, 'l', false},
    {"Frame7", "Cbo7", Combo, nullptr, 1200, 720, 1935, 315, 9.75, true, 0, 'l', false},
    // Frame8, the agent panel
    {"Frame8", "Text7", HiddenText, "1", 5640, 360, 615, 360, 9.75, true, 2, 'c', false},
    {"Frame8", "L43", Label, "X", 6600, 360, 150, 270, 11.25, true, 0, 'l', false},
    {"Frame8", "Label42", Label, "Utente", 360, 720, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame8", "Text2", Text, nullptr, 360, 960, 6495, 360, 9.75, true, 0, 'l', true},
    {"Frame8", "Label40", Label, "Indirizzo", 360, 1440, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame8", "Text3", Text, nullptr, 360, 1680, 6495, 360, 9.75, true, 0, 'l', false},
    {"Frame8", "Label39", Label, "CAP", 360, 2040, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame8", "Text4", Text, nullptr, 360, 2280, 855, 360, 9.75, true, 5, 'c', false},
    {"Frame8", "Label32", Label, "Città", 1320, 2040, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame8", "Label38", Label, "Città", 1320, 2040, 1575, 375, 9.75, false, 0, 'l', false},
    {"Frame8", "Text5", Text, nullptr, 1320, 2280, 4815, 360, 9.75, true, 0, 'l', false},
    {"Frame8", "Label34", Label, "Pr", 6240, 2040, 495, 375, 9.75, false, 0, 'l', false},
    {"Frame8", "Text6", Text, nullptr, 6240, 2280, 615, 360, 9.75, true, 2, 'c', false},
    {"Frame8", "Cmd6", Button, "Inserisci/Aggiorna", 3000, 2760, 1695, 375, 9.75, false, 0, 'l', false},
};

struct PanelBox {
    const char* name;
    int left, top, width, height;
    double captionFont;
};

const PanelBox kPanels[] = {
    {"Frame1", 240, 240, 14535, 7455, 9.75}, {"Frame2", 120, 120, 14535, 8655, 9.75},
    {"Frame3", 120, 120, 14655, 8655, 9.75}, {"Frame7", 3840, 120, 4335, 1815, 9},
    {"Frame8", 5280, 120, 7215, 3855, 9},
};
// clang-format on

// A rectangle of the 100 % layout at a zoom: each length rounded on its own.
QRect at(const QRect& r, int percent) {
    return QRect(zoom::scaled(r.x(), percent), zoom::scaled(r.y(), percent),
                 zoom::scaled(r.width(), percent), zoom::scaled(r.height(), percent));
}

bool samePoints(double shown, double atFull, int percent) {
    return qFuzzyCompare(shown, atFull * percent / 100.0);
}

Qt::Alignment horizontal(char a) {
    return a == 'c' ? Qt::AlignHCenter : (a == 'r' ? Qt::AlignRight : Qt::AlignLeft);
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT

    std::unique_ptr<App> app;

    // The window at `percent`, by its menu's commands.
    void zoomTo(int percent) {
        ui::menu(app->window.get(), "DimensioneNormale");
        for (int p = zoom::kSmallest; p < percent; p += zoom::kStep)
            ui::menu(app->window.get(), "Ingrandisci");
        QCOMPARE(app->window->zoom().percent(), percent);
    }
    void zooms() {
        QTest::addColumn<int>("percent");
        for (int p = zoom::kSmallest; p <= zoom::kLargest; p += zoom::kStep)
            QTest::newRow(qPrintable(QStringLiteral("%1 %").arg(p))) << p;
    }

private Q_SLOTS:
    // The rows of a test run at every zoom share one window, brought to each zoom from the
    // smallest; every other test, or row, has a new one.
    void init() {
        if (!app)
            app = std::make_unique<App>();
    }
    void cleanup() {
        const QByteArray row = QTest::currentDataTag();
        if (QTest::currentTestFailed() || !row.endsWith(" %") ||
            row == QStringLiteral("%1 %").arg(zoom::kLargest).toUtf8())
            app.reset();
    }

    void windowHasItsSizeAndLooks_data() { zooms(); }
    void windowHasItsSizeAndLooks() {
        QFETCH(int, percent);
        zoomTo(percent);
        QMainWindow* w = app->window.get();
        QCOMPARE(w->objectName(), QStringLiteral("Gestione"));
        QWidget* client = w->centralWidget();
        QCOMPARE(client->width(), zoom::scaled(twips::px(14835), percent));
        QCOMPARE(client->height(), zoom::scaled(twips::px(9465 - 375), percent));
        QCOMPARE(w->statusBar()->height(), zoom::scaled(twips::px(375), percent));
        if (percent == zoom::kSmallest)
            QCOMPARE(client->height() + w->statusBar()->height(), twips::px(9465));
        QCOMPARE(w->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(w->font().family(), QStringLiteral("Arial"));
        QVERIFY(samePoints(w->font().pointSizeF(), 11.25, percent));
        // Its size is the least it takes; maximised it may grow.
        QCOMPARE(w->size(), w->minimumSize());
        QCOMPARE(client->geometry().topLeft(), QPoint(0, w->menuBar()->height()));
        QVERIFY(w->maximumSize().width() > w->minimumSize().width());
    }

    void windowIsCentred() {
        QMainWindow* w = app->window.get();
        const QRect avail = w->screen()->availableGeometry();
        const QRect f = w->frameGeometry();
        // Centred where it fits; on a smaller screen its corner stays in sight.
        if (f.width() <= avail.width())
            QVERIFY(qAbs(f.center().x() - avail.center().x()) <= 3);
        else
            QCOMPARE(f.left(), avail.left());
        if (f.height() <= avail.height())
            QVERIFY(qAbs(f.center().y() - avail.center().y()) <= 3);
        else
            QCOMPARE(f.top(), avail.top());
    }

    void panelsHaveTheirPlaceAndCaptionFont_data() { zooms(); }
    void panelsHaveTheirPlaceAndCaptionFont() {
        QFETCH(int, percent);
        zoomTo(percent);
        for (const PanelBox& p : kPanels) {
            auto* g = app->find<QGroupBox>(p.name);
            QVERIFY2(g, p.name);
            QCOMPARE(g->parentWidget(), app->window->centralWidget());
            QCOMPARE(g->geometry(), at(twips::rect(p.left, p.top, p.width, p.height), percent));
            QVERIFY2(samePoints(g->font().pointSizeF(), p.captionFont, percent), p.name);
            QCOMPARE(g->palette().color(QPalette::Window), QColor(Qt::white));
            QVERIFY(g->autoFillBackground());
        }
    }

    void panelsStackAgentThenYearThenOrderArticleCustomer() {
        const QObjectList& kids = app->window->centralWidget()->children();
        QStringList order;
        for (QObject* o : kids)
            if (o->objectName().startsWith(QStringLiteral("Frame")))
                order << o->objectName();
        // Children are painted first to last: the last lies in front.
        QCOMPARE(order, (QStringList{"Frame1", "Frame2", "Frame3", "Frame7", "Frame8"}));
        QWidget* f3 = app->find<QWidget>("Frame3");
        QStringList inner;
        for (QObject* o : f3->children())
            if (o->objectName() == QLatin1String("Frame4") ||
                o->objectName() == QLatin1String("Frame5"))
                inner << o->objectName();
        QCOMPARE(inner, (QStringList{"Frame4", "Frame5"}));
    }

    void everyElementAsTheTablesSay_data() { zooms(); }
    void everyElementAsTheTablesSay() {
        QFETCH(int, percent);
        zoomTo(percent);
        for (const Element& e : kElements) {
            const QString where =
                QStringLiteral("%1/%2").arg(QLatin1String(e.container), QLatin1String(e.name));
            QWidget* container = app->find<QWidget>(e.container);
            QVERIFY2(container, qPrintable(where));
            auto* w =
                container->findChild<QWidget*>(QLatin1String(e.name), Qt::FindDirectChildrenOnly);
            QVERIFY2(w, qPrintable(where));
            QCOMPARE(w->geometry(), at(twips::rect(e.left, e.top, e.width, e.height), percent));
            if (e.font > 0) {
                QVERIFY2(w->font().family() == QLatin1String("Arial"), qPrintable(where));
                QVERIFY2(samePoints(w->font().pointSizeF(), e.font, percent), qPrintable(where));
                QVERIFY2(w->font().bold() == e.bold, qPrintable(where));
            }
            const QString text = e.text ? QString::fromUtf8(e.text) : QString();
            switch (e.kind) {
            case Label:
            case Holder: {
                auto* l = qobject_cast<QLabel*>(w);
                QVERIFY2(l, qPrintable(where));
                if (e.text)
                    QCOMPARE(l->text(), text);
                if (e.kind == Holder)
                    QVERIFY2(l->isHidden(), qPrintable(where));
                break;
            }
            case Text:
            case HiddenText: {
                auto* t = qobject_cast<QLineEdit*>(w);
                QVERIFY2(t, qPrintable(where));
                if (e.text)
                    QCOMPARE(t->text(), text);
                // A field without a limit of its own takes one character more than the longest
                // text, so that a longer paste is seen and refused rather than cut.
                QCOMPARE(t->maxLength(), e.maxLength ? e.maxLength : 32768);
                QVERIFY2((t->alignment() & Qt::AlignHorizontal_Mask) == horizontal(e.align),
                         qPrintable(where));
                QVERIFY2(t->isReadOnly() == e.readOnly, qPrintable(where));
                if (e.kind == HiddenText)
                    QVERIFY(t->isHidden());
                break;
            }
            case MultiLine:
                QVERIFY2(qobject_cast<QPlainTextEdit*>(w), qPrintable(where));
                break;
            case Combo: {
                auto* c = qobject_cast<QComboBox*>(w);
                QVERIFY2(c && c->isEditable(), qPrintable(where));
                break;
            }
            case Button: {
                auto* b = qobject_cast<QPushButton*>(w);
                QVERIFY2(b, qPrintable(where));
                if (e.text)
                    QCOMPARE(b->text(), text);
                break;
            }
            case Check: {
                auto* c = qobject_cast<QCheckBox*>(w);
                QVERIFY2(c, qPrintable(where));
                QCOMPARE(c->text(), text);
                break;
            }
            case Date:
                QVERIFY2(qobject_cast<DateBox*>(w), qPrintable(where));
                break;
            case List:
                QVERIFY2(qobject_cast<ReportView*>(w), qPrintable(where));
                break;
            case Frame: {
                auto* g = qobject_cast<QGroupBox*>(w);
                QVERIFY2(g, qPrintable(where));
                if (e.text)
                    QCOMPARE(g->title(), text);
                break;
            }
            }
        }
    }

    void theCityLabelLiesInFrontOfItsTwin() {
        QWidget* f8 = app->find<QWidget>("Frame8");
        const QObjectList& kids = f8->children();
        const auto i32 = kids.indexOf(f8->findChild<QObject*>("Label32"));
        const auto i38 = kids.indexOf(f8->findChild<QObject*>("Label38"));
        QVERIFY(i32 > i38);
    }

    void designTextsOfTheOrderPanel() {
        QCOMPARE(app->find<QLineEdit>("Text1")->text(), QStringLiteral("2014"));
        QCOMPARE(app->find<QGroupBox>("Frame5")->title(), QStringLiteral("Elenco"));
        QCOMPARE(app->find<QGroupBox>("Frame7")->title(), QStringLiteral("Seleziona Anno"));
        QCOMPARE(app->find<QGroupBox>("Frame8")->title(), QStringLiteral("Utente"));
    }

    void focusMovesInTheTablesOrder_data() {
        QTest::addColumn<QStringList>("order");
        QTest::newRow("Frame1") << QStringList{"T1", "T2", "Cbo8", "Cbo1", "Cmd1", "ListView2"};
        QTest::newRow("Frame2") << QStringList{"T3",   "Cbo2",      "T5",  "T6",
                                               "Cmd2", "ListView3", "Cmd3"};
        QTest::newRow("Frame3") << QStringList{
            "T7",  "D1",  "D2",   "Cbo3", "Cbo9", "Cbo4", "Cbo5", "Cbo6",      "T11", "T12", "T13",
            "T14", "T15", "Cmd4", "T8",   "T9",   "T10",  "Cmd5", "ListView5", "C1",  "C2"};
        QTest::newRow("Frame8") << QStringList{"Text2", "Text3", "Text4", "Text5", "Text6", "Cmd6"};
    }
    void focusMovesInTheTablesOrder() {
        QFETCH(QStringList, order);
        for (int i = 1; i < order.size(); ++i) {
            QWidget* a = app->find<QWidget>(qPrintable(order[i - 1]));
            QWidget* b = app->find<QWidget>(qPrintable(order[i]));
            QVERIFY(a && b);
            // The next widget in the chain that takes the focus by Tab is b (a combo's or date
            // box's inner edit counts as the element itself).
            QWidget* n = a->nextInFocusChain();
            while (n != b && n != a &&
                   !(n->focusPolicy() & Qt::TabFocus && n->isEnabled() && !b->isAncestorOf(n) &&
                     !a->isAncestorOf(n)))
                n = n->nextInFocusChain();
            QVERIFY2(n == b || b->isAncestorOf(n),
                     qPrintable(QStringLiteral("%1 -> %2, found %3")
                                    .arg(order[i - 1], order[i], n->objectName())));
        }
    }

    void statusBarHasItsThreePanels_data() { zooms(); }
    void statusBarHasItsThreePanels() {
        QFETCH(int, percent);
        zoomTo(percent);
        QStatusBar* bar = app->window->statusBar();
        QCOMPARE(bar->objectName(), QStringLiteral("StatusBar1"));
        QVERIFY(samePoints(bar->font().pointSizeF(), 8.25, percent));
        QVERIFY(bar->font().bold());
        QCOMPARE(bar->findChild<QLabel*>("Panel1")->width(),
                 zoom::scaled(twips::px(11625), percent));
        QCOMPARE(bar->findChild<QLabel*>("Panel2")->width(),
                 zoom::scaled(twips::px(1440), percent));
        QCOMPARE(bar->findChild<QLabel*>("Panel3")->width(),
                 zoom::scaled(twips::px(1440), percent));
        QVERIFY(!bar->findChild<QLabel*>("Panel1")->text().isEmpty());
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
