// The order panel's actions: the six of Cmd4, the close button, the customer and article
// lookups and the two check boxes.

#include "OrderPanel.h"

#include "OrderForm.h"
#include "OrderMessages.h"
#include "text/ItalianText.h"
#include "ui/Titles.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/ReportList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using orderflow::Action;
using orderflow::Outcome;

namespace {

QString weightText(const std::optional<double>& weight) {
    return weight ? itext::formatNumber(*weight) : QString();
}

// Entries of a lookup list can repeat (two customers, or two articles, of one name); the
// n-th entry of a name stands for the n-th stored row of that name.
int occurrence(const QComboBox* combo, int index) {
    if (index < 0 || index >= combo->count())
        return 0;
    const QString text = combo->itemText(index);
    int n = 0;
    for (int i = 0; i < index; ++i)
        if (combo->itemText(i) == text)
            ++n;
    return n;
}

} // namespace

void OrderPanel::Cmd4_Click() {
    const orderflow::State before = state();
    const Action action = orderflow::pressAction(before);
    Outcome outcome = Outcome::Refused;
    switch (action) {
    case Action::None:
        return;
    case Action::RichiamaArticoli:
        outcome = RichiamaArticoli();
        break;
    case Action::AggiungiArticolo:
        outcome = AggiungiArticolo();
        break;
    case Action::ModificaArticolo:
        outcome = ModificaArticolo();
        break;
    case Action::EliminaArticolo:
        outcome = EliminaArticolo();
        break;
    case Action::EliminaOrdine:
        outcome = EliminaOrdine();
        break;
    case Action::StampaOrdine:
        outcome = StampaOrdine();
        break;
    }
    display(orderflow::afterPress(before, action, outcome));
}

Outcome OrderPanel::RichiamaArticoli() {
    CaricaRigheOrdine();
    return Outcome::Done;
}

Outcome OrderPanel::AggiungiArticolo() {
    orderform::Fields f = fields();
    if (!requiredFieldsFilled(f))
        return Outcome::Refused;
    // Everything is checked before anything is asked or written.
    const bool newNumber = title() == orderflow::kNuovoOrdine;
    auto checked = orderform::header(f, QString(), newNumber);
    if (!checked) {
        tellRefusal(checked.error().text + ordermsg::nothingStored());
        return Outcome::Refused;
    }
    if (!readableLine(f))
        return Outcome::Refused;
    auto customer = customerOfName(f.customer);
    if (!customer) {
        tellError(customer.error());
        return Outcome::Refused;
    }
    if (!*customer) {
        tellRefusal(ordermsg::unknownCustomer(f.customer));
        return Outcome::Refused;
    }
    if ((*customer)->code.isEmpty()) {
        tellRefusal(ordermsg::customerWithoutCode(f.customer));
        return Outcome::Refused;
    }
    const auto article = chosenArticle(f.article);
    if (!article)
        return Outcome::Refused;
    // The fields show what will be stored: the customer and article the names stand for, and
    // the number in its plain digits.
    L7->setText((*customer)->code);
    L8->setText((*customer)->province);
    setArticle(*article);
    T7->setText(checked->number);
    f = fields();
    auto header = orderform::header(f, L7->text(), newNumber);
    auto line = orderform::line(f);
    if (!header || !line) {
        tellError(header ? line.error() : header.error());
        return Outcome::Refused;
    }
    // A number typed by hand may be another customer's order.
    if (auto free = orderstore::checkNumber(db(), *header); !free || *free) {
        if (!free)
            tellError(free.error());
        else
            tellRefusal(**free);
        return Outcome::Refused;
    }

    if (!dialogs().question(ordermsg::askInsert(), titles::t38()))
        return Outcome::Declined;
    auto stored = orderstore::insertLine(db(), *header, *line);
    if (!stored) {
        ShowErrMsg(dialogs(), stored.error());
        return Outcome::Refused;
    }
    if (*stored) {
        tellRefusal(**stored);
        return Outcome::Refused;
    }
    dialogs().message(ordermsg::lineStored(), titles::t18(), BoxIcon::None);
    CaricaRigheOrdine();
    CaricaCittaOrdine();
    CaricaProvinceOrdine();
    clearArticle();
    return Outcome::Done;
}

Outcome OrderPanel::ModificaArticolo() {
    orderform::Fields f = fields();
    if (!requiredFieldsFilled(f))
        return Outcome::Refused;
    const auto id = loadedLine(false);
    if (!id)
        return Outcome::Refused;
    if (!readableLine(f))
        return Outcome::Refused;
    const auto article = chosenArticle(f.article);
    if (!article)
        return Outcome::Refused;
    setArticle(*article);
    auto line = orderform::line(fields());
    if (!line) {
        tellError(line.error());
        return Outcome::Refused;
    }

    if (!dialogs().question(ordermsg::askUpdate(), titles::t38()))
        return Outcome::Declined;
    auto changed = orderstore::updateLine(db(), *id, *line);
    if (!changed) {
        ShowErrMsg(dialogs(), changed.error());
        return Outcome::Refused;
    }
    if (*changed == 0) {
        tellRefusal(ordermsg::lineNoLongerThere(false));
        return Outcome::Refused;
    }
    dialogs().message(ordermsg::updateDone(), titles::t18(), BoxIcon::None);
    clearArticle();
    CaricaRigheOrdine();
    return Outcome::Done;
}

Outcome OrderPanel::EliminaArticolo() {
    const auto id = loadedLine(true);
    if (!id)
        return Outcome::Refused;
    if (!dialogs().questionDefaultNo(ordermsg::askDelete(), titles::t20()))
        return Outcome::Declined;
    auto deleted = orderstore::deleteLine(db(), *id);
    if (!deleted) {
        ShowErrMsg(dialogs(), deleted.error());
        return Outcome::Refused;
    }
    if (*deleted == 0) {
        tellRefusal(ordermsg::lineNoLongerThere(true));
        return Outcome::Refused;
    }
    dialogs().message(ordermsg::deletionDone(), titles::t20(), BoxIcon::Information);
    // The line is gone: nothing is loaded any more.
    L10->clear();
    clearArticle();
    CaricaRigheOrdine();
    return Outcome::Done;
}

Outcome OrderPanel::EliminaOrdine() {
    if (!dialogs().questionDefaultNo(ordermsg::askDelete(), titles::t20()))
        return Outcome::Declined;
    auto deleted = orderstore::deleteOrder(db(), Text1->text(), T7->text());
    if (!deleted) {
        ShowErrMsg(dialogs(), deleted.error());
        return Outcome::Refused;
    }
    if (*deleted == 0) {
        tellRefusal(ordermsg::orderWithoutLines(T7->text(), Text1->text()));
        return Outcome::Refused;
    }
    dialogs().message(ordermsg::deletionDone(), titles::t20(), BoxIcon::Information);
    clearArticle();
    return Outcome::Done;
}

Outcome OrderPanel::StampaOrdine() {
    if (printOrder)
        printOrder(ctx, Text1->text(), T7->text(), L7->text());
    return Outcome::Done;
}

void OrderPanel::Cmd5_Click() {
    display(orderflow::afterClose(state()));
}

void OrderPanel::Cbo5_Click(int index) {
    const QString name = Cbo5->currentText();
    if (name.isEmpty())
        return;
    auto found = orderstore::customersNamed(db(), name);
    if (!found) {
        tellError(found.error());
        return;
    }
    if (found->empty()) {
        L7->clear();
        L8->clear();
        return;
    }
    const auto& c = (*found)[std::min(size_t(occurrence(Cbo5, index)), found->size() - 1)];
    L7->setText(c.code);
    L8->setText(c.province);
}

void OrderPanel::Cbo6_Click(int index) {
    const QString description = Cbo6->currentText();
    if (description.isEmpty())
        return;
    auto found = orderstore::articlesNamed(db(), description);
    if (!found) {
        tellError(found.error());
        return;
    }
    if (found->empty()) {
        setArticle({});
    } else {
        const auto& a = (*found)[std::min(size_t(occurrence(Cbo6, index)), found->size() - 1)];
        setArticle({a.code, a.format, weightText(a.weight)});
    }
    T11->setFocus();
}

void OrderPanel::C1_Click(bool checked) {
    display(orderflow::afterDeleteTick(state(), checked));
}

void OrderPanel::C2_Click(bool checked) {
    display(orderflow::afterManualTick(state(), checked));
}

Result<std::optional<orderstore::Customer>> OrderPanel::customerOfName(const QString& name) {
    auto found = orderstore::customersNamed(db(), name);
    if (!found)
        return found.error();
    if (found->empty())
        return std::optional<orderstore::Customer>();
    for (const auto& c : *found)
        if (c.code == L7->text())
            return std::optional<orderstore::Customer>(c);
    return std::optional<orderstore::Customer>(found->front());
}

Result<std::optional<OrderPanel::ArticleFields>>
OrderPanel::articleOfName(const QString& description) {
    using Found = std::optional<ArticleFields>;
    const ArticleFields shown = articleShown();
    if (m_loaded && m_loaded->first == description && m_loaded->second == shown)
        return Found(shown);
    auto found = orderstore::articlesNamed(db(), description);
    if (!found)
        return found.error();
    if (found->empty())
        return Found();
    for (const auto& a : *found) {
        const ArticleFields f{a.code, a.format, weightText(a.weight)};
        if (f == shown)
            return Found(f);
    }
    const auto& a = found->front();
    return Found(ArticleFields{a.code, a.format, weightText(a.weight)});
}

std::optional<OrderPanel::ArticleFields> OrderPanel::chosenArticle(const QString& description) {
    auto article = articleOfName(description);
    if (!article) {
        tellError(article.error());
        return std::nullopt;
    }
    if (!*article)
        tellRefusal(ordermsg::unknownArticle(description));
    return *article;
}

bool OrderPanel::requiredFieldsFilled(const orderform::Fields& f) {
    if (orderform::requiredFilled(f))
        return true;
    dialogs().message(ordermsg::requiredFields(), titles::t20(), BoxIcon::Information);
    return false;
}

bool OrderPanel::readableLine(const orderform::Fields& f) {
    auto l = orderform::line(f);
    if (!l)
        tellRefusal(l.error().text + ordermsg::nothingStored());
    return bool(l);
}

std::optional<std::int64_t> OrderPanel::loadedLine(bool deleting) {
    const auto id = itext::parseId(L10->text());
    if (!id) {
        tellRefusal(ordermsg::noLineChosen(deleting));
        return std::nullopt;
    }
    auto exists = orderstore::lineExists(db(), *id);
    if (!exists) {
        tellError(exists.error());
        return std::nullopt;
    }
    if (!*exists) {
        tellRefusal(ordermsg::lineNoLongerThere(deleting));
        return std::nullopt;
    }
    return id;
}

orderform::Fields OrderPanel::fields() const {
    orderform::Fields f;
    f.year = Text1->text();
    f.number = T7->text();
    f.orderDate = D1->text();
    f.deliveryDate = D2->text();
    f.customer = Cbo5->currentText();
    f.destination = Cbo3->currentText();
    f.town = Cbo9->currentText();
    f.province = Cbo4->currentText();
    f.article = Cbo6->currentText();
    f.code = T8->text();
    f.format = T9->text();
    f.weight = T10->text();
    f.sold = T11->text();
    f.free = T12->text();
    f.price = T13->text();
    f.discount = T14->text();
    f.notes = T15->toPlainText();
    return f;
}

void OrderPanel::clearArticle() {
    Cbo6->setEditText(QString());
    for (QLineEdit* t : {T8, T9, T10, T11, T12, T13, T14})
        t->clear();
    T15->clear();
    m_loaded.reset();
}

void OrderPanel::setArticle(const ArticleFields& a) {
    T8->setText(a.code);
    T9->setText(a.format);
    T10->setText(a.weight);
}

OrderPanel::ArticleFields OrderPanel::articleShown() const {
    return {T8->text(), T9->text(), T10->text()};
}
