#include "OrderFocus.h"

#include "OrderFlow.h"
#include "OrderPanel.h"
#include "ui/widgets/ReportList.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace orderfocus {

namespace {

void focusList(OrderPanel& p) {
    ReportView* list = p.ListView5;
    if (!list->isVisible())
        return;
    if (!list->currentIndex().isValid() && list->report()->rows() > 0)
        list->setCurrentIndex(list->report()->index(0, 0));
    list->setFocus(Qt::OtherFocusReason);
}

void focusEntry(QWidget* w) {
    w->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
}

bool is(const QString& caption, QLatin1String text) {
    return caption == text;
}

// A line stored, changed or deleted, the next line begins at the article; the lines recalled,
// one is chosen from the list.
void afterAction(OrderPanel& p) {
    if (!p.isVisible())
        return;
    const QString action = p.Cmd4->text();
    if (is(action, orderflow::kRichiamaArticoli) && p.Frame5->isVisible()) {
        focusList(p);
        return;
    }
    if (is(action, orderflow::kAggiungiArticolo) && p.Cbo6->currentText().isEmpty())
        focusEntry(p.Cbo6);
}

// A line chosen goes on to its quantity (or to the deletion); an order chosen to the button
// that acts on it.
void afterChoice(OrderPanel& p) {
    const QString action = p.Cmd4->text();
    if (is(action, orderflow::kModificaArticolo))
        focusEntry(p.T11);
    else if (p.Cmd4->isVisible() && !is(action, orderflow::kAggiungiArticolo))
        p.Cmd4->setFocus(Qt::OtherFocusReason);
}

} // namespace

void follow(OrderPanel& p) {
    QObject::connect(p.Cmd4, &QPushButton::clicked, &p, [&p] { afterAction(p); });
    QObject::connect(p.ListView5, &ReportView::keyChosen, &p, [&p] { afterChoice(p); });
}

void afterYear(OrderPanel& p) {
    if (!p.isVisible())
        return;
    if (is(p.title(), orderflow::kNuovoOrdine))
        focusEntry(p.Cbo3);
    else
        focusList(p);
}

} // namespace orderfocus
