#include "OrderPanel.h"

#include "Numbering.h"
#include "OrderFocus.h"
#include "OrderPrintCommands.h"
#include "PrintOrder.h"
#include "masterdata/InputRules.h"
#include "masterdata/Lookups.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/Keys.h"
#include "ui/widgets/ReportList.h"
#include "ui/widgets/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

OrderPanel::OrderPanel(AppContext& c, QWidget* parent)
    : Panel(c, "Frame3", QStringLiteral("Frame3"), parent), printOrder(StampaOrdineV) {
    twips::place(this, 120, 120, 14655, 8655);
    setFont(twips::arial(9.75));
    Elements e(this);
    Label14 = e.label("Label14", QStringLiteral("Anno"), {6480, 240, 495, 255});
    Text1 = e.text("Text1", {7200, 240, 735, 350}, {}, 0, Qt::AlignLeft, true);
    Text1->setText(QStringLiteral("2014"));
    // The year is shown, not entered: Tab passes it by.
    Text1->setFocusPolicy(Qt::ClickFocus);
    L9 = e.holder("L9", QStringLiteral("ID Cliente"), {11160, 240, 855, 255}, {9.75});
    L10 = e.holder("L10", QStringLiteral("ID Ordine"), {12480, 240, 855, 255}, {9.75});
    C2 = e.check("C2", QStringLiteral("Nr manuale"), {600, 480, 1455, 255}, {9, true});
    Label13 = e.label("Label13", QStringLiteral("Nr.Ordine "), {600, 720, 1575, 375}, {9.75, true});
    T7 = e.text("T7", {600, 960, 1335, 360}, {9.75, true}, 0, Qt::AlignHCenter, true);
    Label17 = e.label("Label17", QStringLiteral("Data Ordine"), {2160, 720, 1575, 375}, {9.75});
    D1 = e.date("D1", {2160, 960, 1695, 360}, {11.25});
    Label18 = e.label("Label18", QStringLiteral("Data Consegna"), {4080, 720, 1575, 375}, {9.75});
    D2 = e.date("D2", {4080, 960, 1695, 360}, {11.25});
    Label15 =
        e.label("Label15", QStringLiteral("Destinazione  Merce"), {5880, 720, 4455, 375}, {9.75});
    Cbo3 = e.combo("Cbo3", {5880, 960, 5055, 315}, {11.25});
    Label31 = e.label("Label31", QStringLiteral("Città"), {11040, 720, 2055, 375}, {9.75});
    Cbo9 = e.combo("Cbo9", {11040, 960, 2655, 315}, {11.25});
    Label19 = e.label("Label19", QStringLiteral("Provincia"), {11040, 1320, 2055, 375}, {9.75});
    Cbo4 = e.combo("Cbo4", {11040, 1560, 2655, 315}, {11.25});
    Label11 = e.label("Label11", QStringLiteral("Cliente"), {600, 1440, 6615, 375}, {9.75});
    Cbo5 = e.combo("Cbo5", {600, 1680, 6615, 315}, {9, true});
    Label12 = e.label("Label12", QStringLiteral("Codice"), {7440, 1440, 855, 255}, {9.75});
    L7 = e.label("L7", QStringLiteral("Codice"), {7440, 1680, 1575, 315}, {9.75});
    Label21 = e.label("Label21", QStringLiteral("PR Cliente"), {9240, 1440, 930, 240}, {9.75});
    L8 = e.label("L8", QStringLiteral("PR Cliente"), {9240, 1680, 930, 240}, {9.75});

    Frame4 = e.frame("Frame4", QStringLiteral("Frame4"), {600, 2160, 13215, 2535}, {9});
    Elements f4(Frame4);
    Label10 =
        f4.label("Label10", QStringLiteral("Scelta Articolo "), {240, 360, 1575, 375}, {9.75});
    Cbo6 = f4.combo("Cbo6", {240, 600, 5535, 315}, {9, true});
    Label20 =
        f4.label("Label20", QStringLiteral("Codice Articolo"), {5880, 360, 1575, 375}, {9.75});
    T8 = f4.text("T8", {5880, 600, 1935, 360}, {9, true}, 0, Qt::AlignHCenter, true);
    Label23 = f4.label("Label23", QStringLiteral("Formato"), {8040, 360, 1575, 375}, {9.75});
    T9 = f4.text("T9", {8040, 600, 4575, 360}, {8.25, true}, 0, Qt::AlignLeft, true);
    Label24 =
        f4.label("Label24", QStringLiteral("Peso Collo (Kg/Lit)"), {240, 960, 1635, 240}, {9.75});
    T10 = f4.text("T10", {240, 1200, 1695, 360}, {9.75, true}, 0, Qt::AlignHCenter, true);
    Label25 =
        f4.label("Label25", QStringLiteral("Quantità Vendita"), {2160, 960, 1455, 240}, {9.75});
    T11 = f4.text("T11", {2160, 1200, 1695, 360}, {9.75, true}, 0, Qt::AlignHCenter);
    Label26 =
        f4.label("Label26", QStringLiteral("Quantità Omaggio"), {4080, 960, 1575, 240}, {9.75});
    T12 = f4.text("T12", {4080, 1200, 1695, 360}, {9.75, true}, 0, Qt::AlignHCenter);
    Label27 = f4.label("Label27", QStringLiteral("Prezzo"), {5880, 960, 615, 240}, {9.75});
    T13 = f4.text("T13", {5880, 1200, 1935, 360}, {9.75, true}, 0, Qt::AlignRight);
    Label28 = f4.label("Label28", QStringLiteral("Sconto"), {8040, 960, 615, 240}, {9.75});
    T14 = f4.text("T14", {8040, 1200, 1695, 360}, {9.75, true}, 0, Qt::AlignRight);
    Label30 = f4.label("Label30", QStringLiteral("Note"), {240, 1560, 405, 240}, {9.75});
    T15 = f4.multiLine("T15", {240, 1800, 9495, 480}, {8.25, true});
    Frame6 = f4.frame("Frame6", QString(), {9840, 1080, 2775, 1215});
    Elements f6(Frame6);
    Cmd4 = f6.button("Cmd4", QString(), {480, 240, 1695, 375}, {9.75});
    Cmd5 = f6.button("Cmd5", QString(), {480, 720, 1695, 375}, {9.75});

    Frame5 = e.frame("Frame5", QStringLiteral("Elenco"), {600, 4800, 13215, 3615}, {9});
    Elements f5(Frame5);
    ListView5 = f5.list("ListView5", {240, 480, 12720, 2760}, {9});
    C1 = f5.check("C1", QStringLiteral("Elimina"), {240, 3240, 1455, 255}, {9, true});
    // The list lies in front of the line sub-panel; enlarged over the upper part of the panel it
    // must cover what lies behind it, so the sub-panels paint their own white background.
    Frame5->raise();
    for (QGroupBox* f : {Frame4, Frame5, Frame6})
        f->setAutoFillBackground(true);
    // The design caption never shows: mode 1 sets the same text, modes 2 to 4 leave it.
    Frame4->setTitle(QStringLiteral("Aggiungi Articolo"));

    for (QComboBox* combo : {Cbo3, Cbo9, Cbo4, Cbo5, Cbo6}) {
        lookups::prepare(combo);
        inputrules::upperCase(combo);
    }
    inputrules::upperCase(T15);
    for (QLineEdit* field : {T7, T11, T12, T13, T14})
        inputrules::numericKeys(field);
    inputrules::priceOnLeave(T13);

    Elements::tabOrder({T7,  D1,  D2,   Cbo3, Cbo9, Cbo4, Cbo5, Cbo6,      T11, T12, T13,
                        T14, T15, Cmd4, T8,   T9,   T10,  Cmd5, ListView5, C1,  C2});

    // Enlarged over the upper part, the list hides the fields behind it from Tab as well.
    keys::skipCovered(this, Frame5);
    keys::escapeClosesAsking(
        this, dialogs(), [this] { return writesSoFar(); }, [this] { Cmd5->click(); });

    connect(ListView5, &ReportView::rowClicked, this, &OrderPanel::ListView5_ItemClick);
    connect(Cmd4, &QPushButton::clicked, this, &OrderPanel::Cmd4_Click);
    connect(Cmd5, &QPushButton::clicked, this, &OrderPanel::Cmd5_Click);
    connect(Cbo5, &QComboBox::activated, this, &OrderPanel::Cbo5_Click);
    connect(Cbo6, &QComboBox::activated, this, &OrderPanel::Cbo6_Click);
    // clicked, not toggled: only the user's ticks change the captions, never an action's.
    connect(C1, &QCheckBox::clicked, this, &OrderPanel::C1_Click);
    connect(C2, &QCheckBox::clicked, this, &OrderPanel::C2_Click);
    orderfocus::follow(*this);

    printCommands = new OrderPrintCommands(ctx, this);
}

void OrderPanel::ScegliAnno(int command, const QString& year) {
    if (year.isEmpty() || command < 1 || command > 4)
        return;
    if (command == 1) {
        Text1->setText(year);
        PulisciCampiOrdine();
        if (Status s = CaricaSoggetti(); !s)
            tellError(s.error());
        CaricaProvinceOrdine();
        CaricaCittaOrdine();
        display(orderflow::afterYear(state(), command));
        CaricaDestinazioni();
        if (Status s = CaricaSceltaArticolo(); !s)
            tellError(s.error());
        NuovoNumeroOrdine();
        return;
    }
    Text1->setText(year);
    PulisciCampiOrdine();
    display(orderflow::afterYear(state(), command));
    // The listing reaches from just below the year line to the bottom of the panel.
    setListGeometry(600, 7690, 7320);
    CaricaOrdiniAnno();
}

void OrderPanel::NuovoNumeroOrdine() {
    T7->clear();
    auto next = numbering::nextOrderNumber(db(), Text1->text());
    if (!next) {
        // T7 stays empty: the user can still tick "Nr manuale" and type the number.
        tellError(next.error());
        return;
    }
    T7->setText(QString::number(*next));
}

void OrderPanel::PulisciCampiOrdine() {
    D1->setDate(ctx.clock.now().date());
    D2->clear();
    for (QComboBox* c : {Cbo3, Cbo4, Cbo5})
        c->setEditText(QString());
    for (QLabel* l : {L7, L8, L10})
        l->clear();
    Cbo6->setEditText(QString());
    Cbo9->setEditText(QString());
    for (QLineEdit* t : {T8, T9, T10, T11, T12, T13, T14})
        t->clear();
    T15->clear();
    ListView5->report()->clear();
    m_loaded.reset();
}

orderflow::State OrderPanel::state() const {
    orderflow::State s;
    s.mode = title();
    s.action = Cmd4->text();
    s.close = Cmd5->text();
    s.lineCaption = Frame4->title();
    s.listCaption = Frame5->title();
    s.shows = m_shows;
    s.panelShown = !isHidden();
    s.listShown = !Frame5->isHidden();
    s.deleteShown = !C1->isHidden();
    s.deleteTicked = C1->isChecked();
    s.manualShown = !C2->isHidden();
    s.manualTicked = C2->isChecked();
    return s;
}

void OrderPanel::display(const orderflow::State& s) {
    setTitle(s.mode);
    Cmd4->setText(s.action);
    Cmd5->setText(s.close);
    Frame4->setTitle(s.lineCaption);
    Frame5->setTitle(s.listCaption);
    m_shows = s.shows;
    C1->setChecked(s.deleteTicked);
    C1->setVisible(s.deleteShown);
    C2->setChecked(s.manualTicked);
    C2->setVisible(s.manualShown);
    T7->setReadOnly(!s.manualTicked);
    Frame5->setVisible(s.listShown);
    setVisible(s.panelShown);
    Q_EMIT stateShown();
}

void OrderPanel::tellRefusal(const QString& text) {
    tell::refusal(dialogs(), text, titles::t20());
}

void OrderPanel::tellError(const Error& error) {
    // Errors of the engine carry its code and go in the error box; the program's own
    // conditions (a number that cannot be read, a value that cannot be stored) are told plainly.
    tell::error(dialogs(), error, titles::t20());
}

void OrderPanel::setListGeometry(int frameTop, int frameHeight, int listHeight) {
    const int top = frameTop < 0 ? Frame5->y() : twips::px(this, frameTop);
    Frame5->setGeometry(Frame5->x(), top, Frame5->width(), twips::px(this, frameHeight));
    // The list never reaches past the sub-panel's lower border: its last row and the arrow of
    // its scroll bar stay in sight.
    const int room = Frame5->height() - ListView5->y() - twips::px(this, kListBottomMargin);
    ListView5->setGeometry(ListView5->x(), ListView5->y(), ListView5->width(),
                           qMin(twips::px(this, listHeight), room));
}

Status OrderPanel::CaricaSoggetti() {
    return lookups::fill(Cbo5, db(), lookups::kSoggetti);
}

void OrderPanel::CaricaProvinceOrdine() {
    if (Status s = lookups::fill(Cbo4, db(), lookups::kProvinceOrdine); !s)
        tellError(s.error());
}

void OrderPanel::CaricaCittaOrdine() {
    if (Status s = lookups::fill(Cbo9, db(), lookups::kCittaOrdine); !s)
        tellError(s.error());
}

void OrderPanel::CaricaDestinazioni() {
    if (Status s = lookups::fill(Cbo3, db(), lookups::kDestinazioni); !s)
        tellError(s.error());
}

Status OrderPanel::CaricaSceltaArticolo() {
    return lookups::fill(Cbo6, db(), lookups::kSceltaArticolo);
}
