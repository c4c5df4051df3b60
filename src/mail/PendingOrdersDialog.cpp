#include "PendingOrdersDialog.h"

#include "OrderMailCommands.h"
#include "ui/AppContext.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Ordini da inviare");
constexpr int kYearRole = Qt::UserRole;
constexpr int kNumberRole = Qt::UserRole + 1;

QTreeWidget* list(QWidget* parent, const char* name, const QStringList& headings) {
    auto* w = new QTreeWidget(parent);
    w->setObjectName(QLatin1String(name));
    w->setHeaderLabels(headings);
    w->setRootIsDecorated(false);
    w->setUniformRowHeights(true);
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    w->header()->setStretchLastSection(true);
    return w;
}

QTreeWidgetItem* row(const mail::sendrecord::Pending& p) {
    auto* item = new QTreeWidgetItem(
        {p.date.isValid() ? p.date.toString(QStringLiteral("dd/MM/yyyy")) : QString(),
         QStringLiteral("%1/%2").arg(p.number, p.year), p.customer});
    item->setData(0, kYearRole, p.year);
    item->setData(0, kNumberRole, p.number);
    return item;
}

QString orderOf(const QTreeWidgetItem* item) {
    return QStringLiteral("%1/%2").arg(item->data(0, kNumberRole).toString(),
                                       item->data(0, kYearRole).toString());
}

} // namespace

PendingOrdersDialog::PendingOrdersDialog(OrderMailCommands& commands,
                                         const mail::settings::Settings& settings, QWidget* parent)
    : QDialog(parent), m_commands(commands), m_settings(settings) {
    setObjectName(QStringLiteral("OrdiniDaInviareDialog"));
    setWindowTitle(kTitle);
    DaInviarePeriodo = new QComboBox(this);
    DaInviarePeriodo->setObjectName(QStringLiteral("DaInviarePeriodo"));
    DaInviarePeriodo->addItems({QStringLiteral("Ultima settimana"), QStringLiteral("Ultimo mese"),
                                QStringLiteral("Ultimi tre mesi"), QStringLiteral("Quest'anno"),
                                QStringLiteral("Tutti")});
    DaInviarePeriodo->setCurrentIndex(1);
    DaInviareLista =
        list(this, "DaInviareLista",
             {QStringLiteral("Data"), QStringLiteral("Ordine"), QStringLiteral("Cliente")});
    DaInviareIncerti = list(this, "DaInviareIncerti",
                            {QStringLiteral("Data"), QStringLiteral("Ordine"),
                             QStringLiteral("Cliente"), QStringLiteral("Invio incerto del")});
    DaInviareNota = new QLabel(this);
    DaInviareNota->setObjectName(QStringLiteral("DaInviareNota"));
    DaInviareNota->setWordWrap(true);
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    DaInviareInvia = button("DaInviareInvia", QStringLiteral("Invia i selezionati"));
    DaInviareSegna = button("DaInviareSegna", QStringLiteral("Segna come inviato"));
    DaInviareDiNuovo = button("DaInviareDiNuovo", QStringLiteral("Invia di nuovo"));
    DaInviareChiudi = button("DaInviareChiudi", QStringLiteral("Chiudi"));

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Ordini del periodo:"), this));
    top->addWidget(DaInviarePeriodo);
    top->addStretch();
    auto* send = new QHBoxLayout;
    send->addStretch();
    send->addWidget(DaInviareInvia);
    auto* uncertain = new QHBoxLayout;
    uncertain->addStretch();
    uncertain->addWidget(DaInviareSegna);
    uncertain->addWidget(DaInviareDiNuovo);
    auto* close = new QHBoxLayout;
    close->addStretch();
    close->addWidget(DaInviareChiudi);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(new QLabel(QStringLiteral("Non inviati, i più recenti per primi:"), this));
    layout->addWidget(DaInviareLista, 3);
    layout->addLayout(send);
    layout->addWidget(new QLabel(QStringLiteral("Invio incerto (il server potrebbe averli "
                                                "ricevuti):"),
                                 this));
    layout->addWidget(DaInviareIncerti, 1);
    layout->addWidget(DaInviareNota);
    layout->addLayout(uncertain);
    layout->addLayout(close);
    resize(620, 520);

    connect(DaInviarePeriodo, &QComboBox::currentIndexChanged, this, &PendingOrdersDialog::Carica);
    connect(DaInviareInvia, &QPushButton::clicked, this, &PendingOrdersDialog::Invia_Click);
    connect(DaInviareSegna, &QPushButton::clicked, this, &PendingOrdersDialog::Segna_Click);
    connect(DaInviareDiNuovo, &QPushButton::clicked, this, &PendingOrdersDialog::DiNuovo_Click);
    connect(DaInviareChiudi, &QPushButton::clicked, this, &QDialog::accept);
    Carica();
}

std::pair<std::optional<QDate>, std::optional<QDate>>
PendingOrdersDialog::period(int choice, const QDate& today) {
    switch (choice) {
    case 0:
        return {today.addDays(-6), std::nullopt};
    case 1:
        return {today.addMonths(-1), std::nullopt};
    case 2:
        return {today.addMonths(-3), std::nullopt};
    case 3:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    default:
        return {std::nullopt, std::nullopt};
    }
}

void PendingOrdersDialog::Carica() {
    AppContext& ctx = m_commands.context();
    DaInviareLista->clear();
    DaInviareIncerti->clear();
    const auto [from, to] = period(DaInviarePeriodo->currentIndex(), ctx.clock.today());
    auto found = mail::sendrecord::pending(ctx.db(), from, to);
    if (!found) {
        ctx.dialogs.message(found.error().text, kTitle, BoxIcon::Critical);
        return;
    }
    for (const mail::sendrecord::Pending& p : *found) {
        QTreeWidgetItem* item = row(p);
        if (p.uncertain) {
            const QDateTime when = p.attempted.toLocalTime();
            item->setText(3, when.toString(QStringLiteral("dd/MM/yyyy HH:mm")));
            DaInviareIncerti->addTopLevelItem(item);
        } else {
            item->setCheckState(0, Qt::Checked);
            DaInviareLista->addTopLevelItem(item);
        }
    }
    for (QTreeWidget* w : {DaInviareLista, DaInviareIncerti})
        for (int c = 0; c + 1 < w->columnCount(); ++c)
            w->resizeColumnToContents(c);
    DaInviareNota->setText(
        DaInviareIncerti->topLevelItemCount() > 0
            ? QStringLiteral("Gli ordini con invio incerto non sono inviati da soli: chiedere al "
                             "mandante se li ha ricevuti, poi scegliere \"Segna come inviato\" o "
                             "\"Invia di nuovo\".")
            : QStringLiteral("Nessun ordine con invio incerto."));
}

void PendingOrdersDialog::Invia_Click() {
    AppContext& ctx = m_commands.context();
    QList<QTreeWidgetItem*> chosen;
    for (int i = 0; i < DaInviareLista->topLevelItemCount(); ++i)
        if (DaInviareLista->topLevelItem(i)->checkState(0) == Qt::Checked)
            chosen << DaInviareLista->topLevelItem(i);
    if (chosen.isEmpty()) {
        ctx.dialogs.message(DaInviareLista->topLevelItemCount() == 0
                                ? QStringLiteral("Nel periodo scelto non ci sono ordini da "
                                                 "inviare.")
                                : QStringLiteral("Spuntare prima gli ordini da inviare."),
                            kTitle, BoxIcon::Information);
        return;
    }
    QStringList names;
    for (const QTreeWidgetItem* item : chosen)
        names << orderOf(item);
    if (!ctx.dialogs.question(chosen.size() == 1
                                  ? QStringLiteral("Inviare ora l'ordine %1?").arg(names.first())
                                  : QStringLiteral("Inviare ora %1 ordini, uno dopo l'altro?\n%2")
                                        .arg(chosen.size())
                                        .arg(names.join(QStringLiteral(", "))),
                              kTitle))
        return;
    mail::settings::Settings settings = m_settings;
    if (!m_commands.withPassword(settings.server, kTitle))
        return;
    QStringList done;
    for (const QTreeWidgetItem* item : chosen) {
        const QString year = item->data(0, kYearRole).toString();
        const QString number = item->data(0, kNumberRole).toString();
        const OrderMailCommands::Delivered d = m_commands.sendUnattended(settings, year, number);
        if (d.outcome == mail::sendrecord::Outcome::Sent) {
            done << orderOf(item);
            continue;
        }
        const bool uncertain = d.outcome == mail::sendrecord::Outcome::Uncertain;
        const QString before =
            done.isEmpty()
                ? QString()
                : QStringLiteral("\nInviati prima: %1.").arg(done.join(QStringLiteral(", ")));
        ctx.dialogs.message((uncertain ? QStringLiteral("Ordine %1: %2%3")
                                       : QStringLiteral("L'ordine %1 non è stato inviato: %2%3"))
                                .arg(orderOf(item), d.text, before),
                            kTitle, d.icon);
        Carica();
        return;
    }
    ctx.dialogs.message(QStringLiteral("Ordini inviati: %1.").arg(done.join(QStringLiteral(", "))),
                        kTitle, BoxIcon::Information);
    Carica();
}

std::optional<std::pair<QString, QString>> PendingOrdersDialog::chosenUncertain() {
    const QTreeWidgetItem* item = DaInviareIncerti->currentItem();
    if (!item) {
        m_commands.context().dialogs.message(
            QStringLiteral("Scegliere prima un ordine tra quelli con invio incerto."), kTitle,
            BoxIcon::Exclamation);
        return std::nullopt;
    }
    return std::pair{item->data(0, kYearRole).toString(), item->data(0, kNumberRole).toString()};
}

void PendingOrdersDialog::Segna_Click() {
    const auto order = chosenUncertain();
    if (!order)
        return;
    AppContext& ctx = m_commands.context();
    const auto& [year, number] = *order;
    if (!ctx.dialogs.questionDefaultNo(QStringLiteral("Segnare l'ordine %1/%2 come inviato? "
                                                      "Farlo solo se il mandante l'ha ricevuto.")
                                           .arg(number, year),
                                       kTitle))
        return;
    if (Status s = mail::sendrecord::markSent(ctx.db(), year, number); !s)
        ctx.dialogs.message(s.error().text, kTitle, BoxIcon::Critical);
    Carica();
}

void PendingOrdersDialog::DiNuovo_Click() {
    const auto order = chosenUncertain();
    if (!order)
        return;
    m_commands.sendOrder(order->first, order->second, true);
    Carica();
}
