#include "YearPanel.h"

#include "masterdata/Lookups.h"
#include "ui/widgets/ClickLabel.h"
#include "ui/widgets/Elements.h"
#include "ui/widgets/Twips.h"

#include <QComboBox>

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
