#include "CustomerPanel.h"

#include "CustomerStore.h"
#include "InputRules.h"
#include "Lookups.h"
#include "MasterDataMessages.h"
#include "OfficeCustomer.h"
#include "text/ItalianText.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/ClickLabel.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/Keys.h"
#include "ui/widgets/ReportList.h"
#include "ui/widgets/Twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CustomerPanel::CustomerPanel(AppContext& c, QWidget* parent)
    : Panel(c, "Frame1", QStringLiteral("Frame1"), parent) {
    twips::place(this, 240, 240, 14535, 7455);
    setFont(twips::arial(9.75));
    Elements e(this);
    Label4 = e.closeLabel("Label4", {14040, 240, 150, 270});
    L1 = e.holder("L1", QStringLiteral("L1"), {360, 480, 855, 375});
    Label3 = e.label("Label3", QStringLiteral("Codice Cliente"), {360, 840, 1260, 240}, {9.75});
    T1 = e.text("T1", {360, 1080, 1335, 360}, {9.75}, 11);
    Label1 = e.label("Label1", QStringLiteral("Denominazione /Cognome-Nome"),
                     {1800, 840, 2850, 240}, {9.75});
    T2 = e.text("T2", {1800, 1080, 5295, 360}, {9});
    Label22 = e.label("Label22", QStringLiteral("Città"), {7200, 840, 405, 240}, {9.75});
    Cbo8 = e.combo("Cbo8", {7200, 1080, 2895, 315}, {9});
    Label29 = e.label("Label29", QStringLiteral("Provincia"), {10200, 840, 780, 240}, {9.75});
    Cbo1 = e.combo("Cbo1", {10200, 1080, 2655, 315}, {9});
    Cmd1 = e.button("Cmd1", QString(), {13080, 1080, 1215, 375}, {9.75});
    L2 = e.label("L2", QStringLiteral("Elenco"), {360, 1680, 600, 240}, {9.75});
    ListView2 = e.list("ListView2", {360, 1920, 13800, 5160}, {9});

    lookups::prepare(Cbo8);
    lookups::prepare(Cbo1);
    inputrules::numericKeys(T1);
    inputrules::upperCase(T2);
    inputrules::upperCase(Cbo8);
    inputrules::upperCase(Cbo1);

    Elements::tabOrder({T1, T2, Cbo8, Cbo1, Cmd1, ListView2});

    connect(Label4, &ClickLabel::clicked, this, &CustomerPanel::Label4_Click);
    keys::escapeClosesAsking(
        this, dialogs(), [this] { return writesSoFar(); }, [this] { Label4_Click(); });
    connect(Cmd1, &QPushButton::clicked, this, &CustomerPanel::Cmd1_Click);
    connect(ListView2, &ReportView::rowClicked, this, &CustomerPanel::ListView2_ItemClick);
}

void CustomerPanel::openAs(Mode mode) {
    struct Texts {
        const char* caption;
        const char* button;
        const char* list;
    };
    static const Texts texts[] = {
        {"Nuovo Cliente", "Inserisci", "Elenco dei Clienti Inseriti"},
        {"Aggiorna Cliente", "Modifica", "Seleziona la riga del Cliente che si vuole Modificare"},
        {"Elimina Cliente", "Elimina", "Seleziona la riga del Cliente che si vuole Eliminare"},
    };
    const Texts& t = texts[int(mode)];
    m_mode = mode;
    setTitle(QString::fromUtf8(t.caption));
    Cmd1->setText(QString::fromUtf8(t.button));
    L2->setText(QString::fromUtf8(t.list));
    // The instructions are longer than the title the label was drawn for: show them whole.
    L2->resize(qMax(L2->width(), L2->sizeHint().width()), L2->height());
    CaricaClienti();
    T1->clear();
    T1->setFocus();
    Cbo1->setEditText(QString());
    Cbo8->setEditText(QString());
    T2->clear();
    CaricaProvince();
    CaricaCitta();
}

void CustomerPanel::CaricaClienti() {
    std::vector<ReportColumn> columns({
        {QStringLiteral("ID"), QStringLiteral("ID"), 0},
        {QStringLiteral("CODICE"), QStringLiteral("CODICE"), 1800},
        {QStringLiteral("SOGGETTO"), QStringLiteral("CLIENTE"), 5900, Qt::AlignLeft, CellKind::Text,
         true},
        {QStringLiteral("CITTA"), QStringLiteral("CITTA'"), 3000},
        {QStringLiteral("PROVINCIA"), QStringLiteral("PROVINCIA"), 3000},
    });
    // A list that cannot be read holds the rows read so far, and the error box tells why: an
    // empty list must never pass for an empty register.
    auto st = db().prepare(customers::kList);
    Status s;
    if (st) {
        s = ListView2->showRows(std::move(columns), *st);
    } else {
        ListView2->setColumns(std::move(columns));
        s = st.error();
    }
    if (!s)
        ShowErrMsg(dialogs(), s.error());
}

void CustomerPanel::ListView2_ItemClick(int row) {
    if (m_mode != Mode::Modify && m_mode != Mode::Delete)
        return;
    const ReportModel* list = ListView2->report();
    if (row < 0 || row >= list->rows())
        return;
    L1->setText(list->cell(row, 0));
    T1->setText(list->cell(row, 1));
    T2->setText(list->cell(row, 2));
    Cbo8->setEditText(list->cell(row, 3));
    Cbo1->setEditText(list->cell(row, 4));
}

void CustomerPanel::Cmd1_Click() {
    const customers::Customer c{T1->text(), T2->text(), Cbo8->currentText(), Cbo1->currentText()};
    if (c.code.isEmpty() || c.name.isEmpty() || c.province.isEmpty() || c.town.isEmpty()) {
        // A Yes/No box whose answer changes nothing, as the users know it.
        (void)dialogs().question(mdmsg::customerRequired(), titles::t18());
        return;
    }
    // L1 holds the last clicked row; its design text "L1" is no row.
    const std::optional<std::int64_t> id = itext::parseId(L1->text());
    if (m_mode == Mode::Insert) {
        if (!tell::mayGoOn(dialogs(), customers::checkInsert(db(), c), titles::t18()))
            return;
        if (!dialogs().question(mdmsg::askInsert(), titles::t38()))
            return;
        if (!tell::mayGoOn(dialogs(), customers::insert(db(), c), titles::t18()))
            return;
        dialogs().message(mdmsg::inserted(), titles::t18(), BoxIcon::None);
    } else if (m_mode == Mode::Modify) {
        auto office = id ? officecustomer::isOffice(db(), *id) : Result<bool>(false);
        if (!office) {
            ShowErrMsg(dialogs(), office.error());
            return;
        }
        if (*office) {
            if (!requestChange(*id, c))
                return;
            refresh();
            return;
        }
        if (!tell::mayGoOn(dialogs(), customers::checkModify(db(), id, c), titles::t18()))
            return;
        if (!dialogs().question(mdmsg::askModify(), titles::t38()))
            return;
        if (!tell::mayGoOn(dialogs(), customers::modify(db(), id, c), titles::t18()))
            return;
        dialogs().message(mdmsg::updated(), titles::t18(), BoxIcon::None);
    } else if (m_mode == Mode::Delete) {
        if (!tell::mayGoOn(dialogs(), customers::checkDelete(db(), id), titles::t18()))
            return;
        if (!dialogs().questionDefaultNo(mdmsg::askDeleteCustomer(), titles::t20()))
            return;
        if (!tell::mayGoOn(dialogs(), customers::remove(db(), id), titles::t18()))
            return;
        dialogs().message(mdmsg::deleted(), titles::t20(), BoxIcon::Information);
    } else {
        return;
    }
    refresh();
}

bool CustomerPanel::requestChange(std::int64_t id, const customers::Customer& c) {
    if (!tell::mayGoOn(dialogs(), officecustomer::checkRequest(db(), id, c), titles::t18()))
        return false;
    auto who = officecustomer::who(db(), id);
    if (!who) {
        ShowErrMsg(dialogs(), who.error());
        return false;
    }
    if (!dialogs().question(officecustomer::askRequest(*who), titles::t38()))
        return false;
    if (!tell::mayGoOn(dialogs(), officecustomer::request(db(), id, c), titles::t18()))
        return false;
    dialogs().message(officecustomer::requested(), titles::t18(), BoxIcon::Information);
    return true;
}

void CustomerPanel::refresh() {
    T1->clear();
    T2->clear();
    Cbo1->setEditText(QString());
    Cbo8->setEditText(QString());
    CaricaProvince();
    CaricaCitta();
    CaricaClienti();
}

void CustomerPanel::CaricaProvince() {
    if (Status s = lookups::fill(Cbo1, db(), lookups::kProvince); !s)
        ShowErrMsg(dialogs(), s.error());
}

void CustomerPanel::CaricaCitta() {
    if (Status s = lookups::fill(Cbo8, db(), lookups::kCitta); !s)
        ShowErrMsg(dialogs(), s.error());
}

void CustomerPanel::Label4_Click() {
    hide();
}
