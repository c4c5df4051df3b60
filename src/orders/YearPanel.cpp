#include "YearPanel.h"

#include "OrderMessages.h"
#include "masterdata/Lookups.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/ClickLabel.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/Keys.h"
#include "ui/widgets/Twips.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>

YearPanel::YearPanel(AppContext& c, QWidget* parent)
    : Panel(c, "Frame7", QStringLiteral("Seleziona Anno"), parent) {
    twips::place(this, 3840, 120, 4335, 1815);
    setFont(twips::arial(9));
    Elements e(this);
    L12 = e.closeLabel("L12", {3960, 240, 150, 270});
    Cbo7 = e.combo("Cbo7", {1200, 720, 1935, 315}, {9.75, true});
    lookups::prepare(Cbo7);
    connect(L12, &ClickLabel::clicked, this, &YearPanel::L12_Click);
    connect(Cbo7, &QComboBox::activated, this, &YearPanel::Cbo7_Click);
    // Keys reach the combo or, past it, its edit field.
    Cbo7->installEventFilter(this);
    Cbo7->lineEdit()->installEventFilter(this);
    // Return in the open list of suggestions as well: the list would complete a part of a year.
    if (QCompleter* c = Cbo7->completer())
        c->popup()->installEventFilter(this);
    keys::escapeCloses(this, [this] { L12_Click(); });
}

void YearPanel::readyToType() {
    Cbo7->setFocus(Qt::OtherFocusReason);
    Cbo7->lineEdit()->selectAll();
}

// Return chooses the typed year as picking it from the list does; a year the list lacks is
// told, not ignored.
bool YearPanel::eventFilter(QObject* watched, QEvent* e) {
    QWidget* suggestions = Cbo7->completer() ? Cbo7->completer()->popup() : nullptr;
    if ((watched != Cbo7 && watched != Cbo7->lineEdit() && watched != suggestions) ||
        e->type() != QEvent::KeyPress)
        return Panel::eventFilter(watched, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    // A year picked in the list is in the field already; only the field's text is taken.
    if (suggestions && suggestions->isVisible())
        suggestions->hide();
    const QString typed = Cbo7->currentText().trimmed();
    if (typed.isEmpty())
        return true;
    const int index = Cbo7->findText(typed, Qt::MatchFixedString);
    if (index < 0) {
        tell::refusal(dialogs(), ordermsg::yearNotListed(typed), titles::t20());
        readyToType();
        return true;
    }
    Cbo7->setCurrentIndex(index);
    Cbo7_Click();
    return true;
}

Status YearPanel::CaricaAnni() {
    return lookups::fill(Cbo7, db(), lookups::kAnni);
}

void YearPanel::L12_Click() {
    Cbo7->setEditText(QString());
    hide();
}

void YearPanel::Cbo7_Click() {
    const QString caption = title();
    const QString year = Cbo7->currentText();
    if (year.isEmpty() || caption.isEmpty())
        return;
    const QChar digit = caption.front();
    if (digit >= QLatin1Char('1') && digit <= QLatin1Char('4'))
        Q_EMIT yearChosen(digit.digitValue(), year);
}
