#include "LastPrice.h"

#include "OrderHistory.h"
#include "OrderPanel.h"
#include "masterdata/InputRules.h"
#include "pricelists/PriceListStore.h"
#include "text/ItalianText.h"
#include "ui/AppContext.h"
#include "ui/Tell.h"
#include "ui/Titles.h"
#include "ui/widgets/DateBox.h"
#include "ui/widgets/Elements.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

LastPrice::LastPrice(AppContext& ctx, OrderPanel* panel)
    : QObject(panel), m_ctx(ctx), m_panel(panel) {
    // Under T13, in the gap above the notes.
    m_label =
        Elements(panel->Frame4).label("LUltimoPrezzo", QString(), {5880, 1560, 3855, 225}, {8.25});
    m_label->hide();
    // Under the notes, the whole width they take.
    m_future =
        Elements(panel->Frame4).label("LListinoFuturo", QString(), {240, 2295, 9495, 225}, {8.25});
    m_future->hide();
    connect(panel->T8, &QLineEdit::textChanged, this, [this](const QString& code) {
        if (code != m_futureCode)
            m_future->hide();
    });
    // Connected after the panel's own handler, so it runs once the article's fields are set.
    connect(panel->Cbo6, &QComboBox::activated, this, &LastPrice::propose);
    connect(panel->T13, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_proposed)
            m_label->hide();
    });
    // Another customer: a price proposed for the one before goes.
    connect(panel->Cbo5, &QComboBox::activated, this, [this] {
        withdraw();
        m_future->hide();
    });
}

bool LastPrice::withdraw() {
    // A price the user has not touched is still only a proposal.
    if (!m_label->isVisible() || m_panel->T13->text() != m_proposed)
        return m_panel->T13->text().isEmpty();
    m_panel->T13->clear();
    m_label->hide();
    return true;
}

void LastPrice::showLater(const pricelists::ListPrice& later, const QString& tail) {
    m_futureCode = m_panel->T8->text();
    m_future->setText(
        QStringLiteral("Il listino%1 dal %2 non è ancora in vigore%3")
            .arg(later.principal.isEmpty() ? QString() : QStringLiteral(" ") + later.principal,
                 itext::formatDate(later.validFrom), tail));
    m_future->show();
}

void LastPrice::propose() {
    QLineEdit* price = m_panel->T13;
    const QString customer = m_panel->L7->text();
    const QString description = m_panel->Cbo6->currentText();
    m_future->hide();
    const bool free = withdraw();
    if (description.isEmpty() || !m_ctx.connected())
        return;
    const QString code = m_panel->T8->text().trimmed();
    const QDate on = m_panel->D1->date().value_or(m_ctx.clock.now().date());
    // A list of the article that starts after the order's date: said on the line whatever is
    // proposed, for its prices are not yet the ones to ask.
    std::optional<pricelists::ListPrice> later;
    if (!code.isEmpty()) {
        auto after = pricelists::listPriceAfter(m_ctx.db(), code, on);
        if (!after) {
            tell::error(m_ctx.dialogs, after.error(), titles::t20());
            return;
        }
        later = *after;
    }
    if (!free) {
        if (later)
            showLater(*later, QStringLiteral("."));
        return;
    }
    if (!customer.isEmpty()) {
        auto last = orderhistory::lastPrice(m_ctx.db(), customer, m_panel->T8->text(), description);
        if (!last) {
            tell::error(m_ctx.dialogs, last.error(), titles::t20());
            return;
        }
        if (*last) {
            m_proposed = CtrNumD((*last)->price);
            price->setText(m_proposed);
            price->selectAll();
            const auto date = itext::parseIsoDate((*last)->orderDate.toStdString());
            m_label->setText(
                QStringLiteral("Ultimo prezzo: ordine %1/%2%3")
                    .arg((*last)->number, (*last)->year,
                         date ? QStringLiteral(" del ") + itext::formatDate(*date) : QString()));
            m_label->show();
            if (later)
                showLater(*later, QStringLiteral("."));
            return;
        }
    }
    // Never sold to this customer: the principal's list price valid on the order's date.
    if (code.isEmpty())
        return;
    auto listed = pricelists::listPriceOn(m_ctx.db(), code, on);
    if (!listed) {
        tell::error(m_ctx.dialogs, listed.error(), titles::t20());
        return;
    }
    if (later)
        showLater(*later, (*listed ? QStringLiteral(": proposto il prezzo in vigore il %1.")
                                   : QStringLiteral(": nessun prezzo di listino in vigore il %1."))
                              .arg(itext::formatDate(on)));
    if (!*listed)
        return;
    m_proposed = CtrNumD((*listed)->price);
    price->setText(m_proposed);
    price->selectAll();
    m_label->setText(QStringLiteral("Prezzo di listino%1 dal %2")
                         .arg((*listed)->principal.isEmpty()
                                  ? QString()
                                  : QStringLiteral(" ") + (*listed)->principal,
                              itext::formatDate((*listed)->validFrom)));
    m_label->show();
}
