#include "ArticlePanel.h"

#include "ArticleStore.h"
#include "ExportCommands.h"
#include "InputRules.h"
#include "MasterDataMessages.h"
#include "pricelists/PriceListStore.h"
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

ArticlePanel::ArticlePanel(AppContext& c, QWidget* parent)
    : Panel(c, "Frame2", QStringLiteral("Frame2"), parent) {
    twips::place(this, 120, 120, 14535, 8655);
    setFont(twips::arial(9.75));
    Elements e(this);
    Label5 = e.closeLabel("Label5", {14160, 240, 150, 270});
    Label2 = e.label("Label2", QStringLiteral("Codice Articolo"), {480, 600, 1320, 240}, {9.75});
    T3 = e.text("T3", {480, 840, 2295, 360}, {9.75}, 13, Qt::AlignHCenter);
    Label8 =
        e.label("Label8", QStringLiteral("Descrizione Articolo"), {2880, 600, 1740, 240}, {9.75});
    Cbo2 = e.combo("Cbo2", {2880, 840, 6855, 315}, {11.25});
    L3 = e.holder("L3", QStringLiteral("L3"), {9960, 840, 855, 255});
    Label7 = e.label("Label7", QStringLiteral("Formato"), {480, 1320, 720, 240}, {9.75});
    T5 = e.text("T5", {480, 1560, 7335, 360}, {9.75});
    Label9 =
        e.label("Label9", QStringLiteral("Peso Collo (KG/LIT)"), {7920, 1320, 1725, 240}, {9.75});
    T6 = e.text("T6", {7920, 1560, 1815, 360}, {9.75});
    Cmd2 = e.button("Cmd2", QString(), {9960, 1560, 1695, 375}, {9.75});
    Cmd3 = e.button("Cmd3", QStringLiteral("Excel"), {12000, 1560, 1695, 375}, {9.75});
    Label6 = e.label("Label6", QStringLiteral("Elenco"), {480, 2160, 600, 240}, {9.75});
    ListView3 = e.list("ListView3", {480, 2400, 13680, 5880}, {9});

    inputrules::upperCase(T3);
    inputrules::upperCase(Cbo2);
    inputrules::upperCase(T5);
    inputrules::upperCase(T6);

    Elements::tabOrder({T3, Cbo2, T5, T6, Cmd2, ListView3, Cmd3});

    connect(Label5, &ClickLabel::clicked, this, &ArticlePanel::Label5_Click);
    keys::escapeClosesAsking(
        this, dialogs(), [this] { return writesSoFar(); }, [this] { Label5_Click(); });
    connect(Cmd2, &QPushButton::clicked, this, &ArticlePanel::Cmd2_Click);
    connect(Cmd3, &QPushButton::clicked, this, &ArticlePanel::Cmd3_Click);
    connect(ListView3, &ReportView::rowClicked, this, &ArticlePanel::ListView3_ItemClick);
}

void ArticlePanel::openAs(Mode mode) {
    struct Texts {
        const char* caption;
        const char* button;
        const char* list;
    };
    static const Texts texts[] = {
        {"Inserisci Articolo", "Inserisci", "Elenco Articoli Inseriti "},
        {"Aggiorna Articolo", "Aggiorna",
         "Seleziona  l'Articolo da Aggiornare Cliccando sulla Riga Interessata "},
        {"Elimina Articolo", "Elimina",
         "Seleziona  l' Articolo da Eliminare  Cliccando sulla Riga Interessata "},
    };
    const Texts& t = texts[int(mode)];
    m_mode = mode;
    setTitle(QString::fromUtf8(t.caption));
    Cmd2->setText(QString::fromUtf8(t.button));
    Label6->setText(QString::fromUtf8(t.list));
    // The instructions are longer than the title the label was drawn for: show them whole.
    Label6->resize(qMax(Label6->width(), Label6->sizeHint().width()), Label6->height());
    refresh();
}

void ArticlePanel::CaricaArticoli() {
    std::vector<ReportColumn> columns({
        {QStringLiteral("ID"), QStringLiteral("ID"), 0},
        {QStringLiteral("CODICE"), QStringLiteral("CODICE"), 1800},
        {QStringLiteral("ARTICOLO"), QStringLiteral("DESCRIZIONE ARTICOLO"), 5000},
        {QStringLiteral("FORMATO"), QStringLiteral("FORMATO"), 4000},
        {QStringLiteral("PESO"), QStringLiteral("PESO"), 1000, Qt::AlignLeft, CellKind::Number},
        {QStringLiteral("AGG"), QStringLiteral("AGG."), 1800, Qt::AlignLeft, CellKind::Date},
    });
    // A list that cannot be read holds the rows read so far, and the error box tells why: an
    // empty list must never pass for an empty catalogue.
    auto st = db().prepare(articles::kList);
    Status s;
    if (st) {
        s = ListView3->showRows(std::move(columns), *st);
    } else {
        ListView3->setColumns(std::move(columns));
        s = st.error();
    }
    if (!s)
        ShowErrMsg(dialogs(), s.error());
}

void ArticlePanel::ListView3_ItemClick(int row) {
    if (m_mode != Mode::Delete && m_mode != Mode::Update)
        return;
    const ReportModel* list = ListView3->report();
    if (row < 0 || row >= list->rows())
        return;
    // The date is not loaded: every update stamps its own.
    L3->setText(list->cell(row, 0));
    T3->setText(list->cell(row, 1));
    Cbo2->setEditText(list->cell(row, 2));
    T5->setText(list->cell(row, 3));
    T6->setText(list->cell(row, 4));
    // The article's list prices, newest first, without a change to the panel.
    T3->setToolTip(pricelists::historyNote(db(), list->cell(row, 1)));
}

void ArticlePanel::Cmd2_Click() {
    if (T3->text().isEmpty() || Cbo2->currentText().isEmpty()) {
        // A Yes/No box whose answer changes nothing, as the users know it.
        (void)dialogs().question(mdmsg::articleRequired(), titles::t18());
        return;
    }
    if (!m_mode)
        return;
    articles::Article a{T3->text(), Cbo2->currentText(), T5->text(), std::nullopt};
    if (m_mode != Mode::Delete) {
        // PESO is a number: a text that is none is told before anything is asked or written.
        auto weight = articles::weightField(T6->text());
        if (!weight) {
            dialogs().message(weight.error().text, titles::t18(), BoxIcon::Exclamation);
            return;
        }
        a.weight = *weight;
    }
    // L3 is emptied by every command and action: then no row is held.
    const std::optional<std::int64_t> id = itext::parseId(L3->text());
    const QDate today = ctx.clock.today();
    if (m_mode == Mode::Insert) {
        if (!dialogs().question(mdmsg::askInsert(), titles::t38()))
            return;
        if (Status s = articles::insert(db(), a, today); !s) {
            ShowErrMsg(dialogs(), s.error());
            return;
        }
        dialogs().message(mdmsg::inserted(), titles::t18(), BoxIcon::None);
    } else if (m_mode == Mode::Update) {
        if (!tell::mayGoOn(dialogs(), articles::checkUpdate(db(), id), titles::t18()))
            return;
        if (!dialogs().question(mdmsg::askUpdate(), titles::t38()))
            return;
        if (!tell::mayGoOn(dialogs(), articles::update(db(), id, a, today), titles::t18()))
            return;
        dialogs().message(mdmsg::updated(), titles::t18(), BoxIcon::None);
    } else {
        if (!tell::mayGoOn(dialogs(), articles::checkDelete(db(), id), titles::t18()))
            return;
        if (!dialogs().questionDefaultNo(mdmsg::askDeleteArticle(), titles::t20()))
            return;
        if (!tell::mayGoOn(dialogs(), articles::remove(db(), id), titles::t18()))
            return;
        dialogs().message(mdmsg::deleted(), titles::t20(), BoxIcon::Information);
    }
    refresh();
}

void ArticlePanel::refresh() {
    T3->clear();
    T3->setToolTip(QString());
    L3->clear();
    T5->clear();
    T6->clear();
    Cbo2->setEditText(QString());
    T3->setFocus();
    CaricaArticoli();
}

void ArticlePanel::Cmd3_Click() {
    tableexport::Esporta(ctx);
}

void ArticlePanel::Label5_Click() {
    hide();
}
