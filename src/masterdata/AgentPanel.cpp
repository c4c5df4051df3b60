#include "AgentPanel.h"

#include "AgentStore.h"
#include "InputRules.h"
#include "MasterDataMessages.h"
#include "text/ItalianText.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/ClickLabel.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/Keys.h"
#include "ui/widgets/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AgentPanel::AgentPanel(AppContext& c, QWidget* parent)
    : Panel(c, "Frame8", QStringLiteral("Utente"), parent) {
    twips::place(this, 5280, 120, 7215, 3855);
    setFont(twips::arial(9));
    Elements e(this);
    Text7 = e.text("Text7", {5640, 360, 615, 360}, {9.75, true}, 2, Qt::AlignHCenter);
    Text7->setText(QStringLiteral("1"));
    Text7->setVisible(false);
    L43 = e.closeLabel("L43", {6600, 360, 150, 270});
    Label42 = e.label("Label42", QStringLiteral("Utente"), {360, 720, 1575, 375}, {9.75});
    Text2 = e.text("Text2", {360, 960, 6495, 360}, {9.75, true}, 0, Qt::AlignLeft, true);
    Label40 = e.label("Label40", QStringLiteral("Indirizzo"), {360, 1440, 1575, 375}, {9.75});
    Text3 = e.text("Text3", {360, 1680, 6495, 360}, {9.75, true});
    Label39 = e.label("Label39", QStringLiteral("CAP"), {360, 2040, 1575, 375}, {9.75});
    Text4 = e.text("Text4", {360, 2280, 855, 360}, {9.75, true}, 5, Qt::AlignHCenter);
    // Label38 has the same text and place as Label32 and lies behind it.
    Label38 = e.label("Label38", QStringLiteral("Città"), {1320, 2040, 1575, 375}, {9.75});
    Label32 = e.clickLabel("Label32", QStringLiteral("Città"), {1320, 2040, 1575, 375}, {9.75});
    Label32->setCursor(Qt::ArrowCursor);
    // Opaque, so that the twin behind it does not show through and thicken the text.
    Label32->setAutoFillBackground(true);
    Text5 = e.text("Text5", {1320, 2280, 4815, 360}, {9.75, true});
    Label34 = e.label("Label34", QStringLiteral("Pr"), {6240, 2040, 495, 375}, {9.75});
    Text6 = e.text("Text6", {6240, 2280, 615, 360}, {9.75, true}, 2, Qt::AlignHCenter);
    Cmd6 = e.button("Cmd6", QStringLiteral("Inserisci/Aggiorna"), {3000, 2760, 1695, 375}, {9.75});

    inputrules::upperCase(Text2);
    inputrules::upperCase(Text3);
    inputrules::upperCase(Text5);
    inputrules::upperCase(Text6);
    inputrules::numericKeys(Text4);

    Elements::tabOrder({Text2, Text3, Text4, Text5, Text6, Cmd6});

    connect(L43, &ClickLabel::clicked, this, &AgentPanel::L43_Click);
    keys::escapeClosesAsking(
        this, dialogs(), [this] { return writesSoFar(); }, [this] { L43_Click(); });
    connect(Label32, &ClickLabel::clicked, this, &AgentPanel::Label32_Click);
    connect(Cmd6, &QPushButton::clicked, this, &AgentPanel::Cmd6_Click);
}

void AgentPanel::MUtente_Click() {
    const std::optional<QString> typed = dialogs().input(mdmsg::accessCodePrompt(), titles::t13());
    // An empty or cancelled box is the user changing their mind, not a wrong code.
    if (!typed || typed->trimmed().isEmpty())
        return;
    if (!agent::isAccessCode(*typed)) {
        dialogs().message(mdmsg::wrongAccessCode(), mdmsg::wrongAccessCodeTitle(),
                          BoxIcon::Exclamation);
        return;
    }
    show();
    raise();
    CaricaUtente();
    Text2->setFocus();
}

void AgentPanel::CaricaUtente() {
    auto row = agent::load(db());
    if (!row || !*row)
        return;
    const agent::Stored& r = **row;
    m_readId = r.id;
    Text7->setText(QString::number(r.id));
    Text2->setText(r.agent.name);
    Text3->setText(r.agent.street);
    Text5->setText(r.agent.town);
    Text6->setText(r.agent.province);
    Text4->setText(r.agent.postCode);
}

void AgentPanel::Cmd6_Click() {
    if (Text2->text().isEmpty()) {
        dialogs().message(mdmsg::agentRequired(), titles::t20(), BoxIcon::Information);
        return;
    }
    // Text7 takes at most two characters and would cut a longer key: the key as read is kept
    // whole beside it. Before any row was read, Text7's own text names the row.
    const std::optional<std::int64_t> id = m_readId ? m_readId : itext::parseId(Text7->text());
    if (!tell::mayGoOn(dialogs(), agent::checkSave(db(), id), titles::t18()))
        return;
    if (!dialogs().question(mdmsg::askInsert(), titles::t38()))
        return;
    const agent::Agent a{Text2->text(), Text3->text(), Text4->text(), Text5->text(), Text6->text()};
    if (!tell::mayGoOn(dialogs(), agent::save(db(), id, a), titles::t18()))
        return;
    dialogs().message(mdmsg::inserted(), titles::t18(), BoxIcon::None);
}

void AgentPanel::L43_Click() {
    hide();
}

void AgentPanel::Label32_Click() {
    hide();
}
