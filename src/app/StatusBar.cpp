#include "StatusBar.h"

#include "ui/widgets/Twips.h"

#include <QLabel>

namespace {

QLabel* panel(QWidget* parent, const char* name, int widthTwips) {
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setFixedWidth(twips::px(widthTwips));
    l->setMinimumWidth(twips::px(widthTwips));
    l->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    return l;
}

} // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setFont(twips::arial(8.25, true));
    setSizeGripEnabled(false);
    setFixedHeight(twips::px(375));
    Panel1 = panel(this, "Panel1", 11625);
    Panel1->setText(QStringLiteral("Gestione Ordini - clienti, articoli e ordini dell'agente"));
    Panel2 = panel(this, "Panel2", 1440);
    Panel3 = panel(this, "Panel3", 1440);
    Panel2->setAlignment(Qt::AlignCenter);
    Panel3->setAlignment(Qt::AlignCenter);
    addWidget(Panel1);
    addWidget(Panel2);
    addWidget(Panel3);
}

void StatusBar::showLocks(const std::optional<KeyboardLocks>& locks) {
    Panel2->setText(locks && locks->numLock ? QStringLiteral("BLOC NUM") : QString());
    Panel3->setText(locks && locks->capsLock ? QStringLiteral("BLOC MAIUSC") : QString());
}
