#include "ContactCommands.h"

#include "CustomerContactsDialog.h"
#include "PrincipalsDialog.h"
#include "masterdata/CustomerPanel.h"
#include "ui/AppContext.h"

#include <QAction>
#include <QLineEdit>

ContactCommands::ContactCommands(AppContext& c, CustomerPanel* customers, QWidget* window)
    : QObject(window), runDialog([](QDialog& d) { d.exec(); }), ctx(c), m_customers(customers),
      m_window(window) {
    SchedaCliente = new QAction(QStringLiteral("Scheda cliente…"), this);
    SchedaCliente->setObjectName(QStringLiteral("SchedaCliente"));
    connect(SchedaCliente, &QAction::triggered, this, &ContactCommands::SchedaCliente_Click);
    Mandanti = new QAction(QStringLiteral("Mandanti…"), this);
    Mandanti->setObjectName(QStringLiteral("Mandanti"));
    connect(Mandanti, &QAction::triggered, this, &ContactCommands::Mandanti_Click);
}

void ContactCommands::SchedaCliente_Click() {
    const QString title = QStringLiteral("Scheda cliente");
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non è aperto."), title, BoxIcon::Critical);
        return;
    }
    const auto mode = m_customers->mode();
    const QString code = m_customers->T1->text().trimmed();
    if (!m_customers->isVisible() || !mode || *mode == CustomerPanel::Mode::Insert ||
        code.isEmpty()) {
        ctx.dialogs.message(QStringLiteral("Scegliere prima il cliente: dal menu \"Gestione "
                                           "Cliente\", \"Aggiorna\", un clic sulla sua riga "
                                           "nell'elenco."),
                            title, BoxIcon::Information);
        return;
    }
    CustomerContactsDialog dialog(ctx.db(), ctx.dialogs, code, m_customers->T2->text().trimmed(),
                                  m_window);
    if (dialog.load())
        runDialog(dialog);
}

void ContactCommands::Mandanti_Click() {
    if (!ctx.connected()) {
        ctx.dialogs.message(QStringLiteral("Il database non è aperto."), QStringLiteral("Mandanti"),
                            BoxIcon::Critical);
        return;
    }
    PrincipalsDialog dialog(ctx.db(), ctx.dialogs, m_window);
    if (dialog.load())
        runDialog(dialog);
}
