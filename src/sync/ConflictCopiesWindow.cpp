#include "ConflictCopiesWindow.h"

#include "text/ItalianText.h"
#include "ui/AppContext.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Copie in conflitto");

QString when(const QDateTime& t) {
    if (!t.isValid())
        return QStringLiteral("?");
    const QDateTime local = t.toLocalTime();
    return itext::formatDate(local.date()) + QLatin1Char(' ') +
           local.time().toString(QStringLiteral("HH:mm"));
}

QString number(const std::optional<double>& v) {
    return v ? itext::formatNumber(*v) : QString();
}

QTableWidget* table(QWidget* parent, const char* name, const QStringList& headings) {
    auto* t = new QTableWidget(0, int(headings.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(headings);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

} // namespace

ConflictCopiesWindow::ConflictCopiesWindow(AppContext& c, const pg::Settings& server,
                                           std::function<void()> taken, QWidget* parent)
    : QDialog(parent), ctx(c), m_server(server), m_taken(std::move(taken)) {
    setObjectName(QStringLiteral("CopieConflitto"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Ordini cambiati su due computer: la versione "
                                                "non tenuta, salvata sul server."),
                                 this));
    m_list = table(this, "CopieElenco",
                   {QStringLiteral("Ordine"), QStringLiteral("Anno"), QStringLiteral("Cambiato il"),
                    QStringLiteral("Computer"), QStringLiteral("Righe")});
    layout->addWidget(m_list);
    m_lines = table(this, "CopieRighe",
                    {QStringLiteral("Codice"), QStringLiteral("Articolo"), QStringLiteral("Q.tà"),
                     QStringLiteral("Omaggio"), QStringLiteral("Prezzo"), QStringLiteral("Sconto"),
                     QStringLiteral("Note")});
    layout->addWidget(m_lines);
    auto* buttons = new QHBoxLayout;
    m_take = new QPushButton(QStringLiteral("Usa come ordine"), this);
    m_take->setObjectName(QStringLiteral("CopiaUsa"));
    m_dismiss = new QPushButton(QStringLiteral("Scarta"), this);
    m_dismiss->setObjectName(QStringLiteral("CopiaScarta"));
    auto* closeButton = new QPushButton(QStringLiteral("Chiudi"), this);
    closeButton->setObjectName(QStringLiteral("CopieChiudi"));
    buttons->addWidget(m_take);
    buttons->addWidget(m_dismiss);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this]() { showLines(); });
    connect(m_take, &QPushButton::clicked, this, [this]() { Usa_Click(); });
    connect(m_dismiss, &QPushButton::clicked, this, [this]() { Scarta_Click(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    resize(760, 480);
}

bool ConflictCopiesWindow::reload() {
    auto server = pg::Connection::open(m_server);
    Result<std::vector<conflictcopies::Copy>> read =
        server ? conflictcopies::list(**server)
               : Result<std::vector<conflictcopies::Copy>>(server.error());
    if (!read) {
        ctx.dialogs.message(QStringLiteral("Le copie in conflitto non si leggono dal server: %1")
                                .arg(read.error().text),
                            kTitle, BoxIcon::Critical);
        return false;
    }
    m_copies = std::move(*read);
    m_list->setRowCount(int(m_copies.size()));
    for (int r = 0; r < int(m_copies.size()); ++r) {
        const conflictcopies::Copy& c = m_copies[size_t(r)];
        setRow(m_list, r,
               {c.nr, c.anno, when(c.changedAt),
                c.machine.isEmpty() ? QStringLiteral("?") : c.machine,
                QString::number(c.lines.size())});
    }
    if (!m_copies.empty())
        m_list->selectRow(0);
    showLines();
    return true;
}

const conflictcopies::Copy* ConflictCopiesWindow::selected() const {
    const int r = m_list->currentRow();
    if (r < 0 || r >= int(m_copies.size()) || m_list->selectedItems().isEmpty())
        return nullptr;
    return &m_copies[size_t(r)];
}

void ConflictCopiesWindow::showLines() {
    const conflictcopies::Copy* c = selected();
    m_take->setEnabled(c != nullptr);
    m_dismiss->setEnabled(c != nullptr);
    m_lines->setRowCount(c ? int(c->lines.size()) : 0);
    if (!c)
        return;
    for (int r = 0; r < int(c->lines.size()); ++r) {
        const orderlines::Line& l = c->lines[size_t(r)];
        setRow(m_lines, r,
               {l.codice.value_or(QString()), l.articolo.value_or(QString()), number(l.qVendita),
                number(l.qOmaggio), number(l.prezzo), number(l.sconto),
                l.note.value_or(QString())});
    }
}

QString ConflictCopiesWindow::describe(const conflictcopies::Copy& c) const {
    return QStringLiteral("la copia dell'ordine %1 dell'anno %2 cambiata il %3 su %4")
        .arg(c.nr, c.anno, when(c.changedAt),
             c.machine.isEmpty() ? QStringLiteral("un computer sconosciuto") : c.machine);
}

void ConflictCopiesWindow::Usa_Click() {
    const conflictcopies::Copy* c = selected();
    if (!c)
        return;
    if (!ctx.dialogs.question(QStringLiteral("L'ordine %1 dell'anno %2 di questo computer sarà "
                                             "sostituito da %3. Continuare?")
                                  .arg(c->nr, c->anno, describe(*c)),
                              kTitle, BoxIcon::Exclamation, BoxDefault::No))
        return;
    auto server = pg::Connection::open(m_server);
    Status s = server ? conflictcopies::take(ctx.db(), **server, *c) : Status(server.error());
    if (!s) {
        ctx.dialogs.message(QStringLiteral("La copia non è stata usata: %1").arg(s.error().text),
                            kTitle, BoxIcon::Critical);
        reload();
        return;
    }
    ctx.dialogs.message(QStringLiteral("L'ordine %1 dell'anno %2 ora è quello della copia: sarà "
                                       "inviato al server con la sincronizzazione.")
                            .arg(c->nr, c->anno),
                        kTitle, BoxIcon::Information);
    reload();
    if (m_taken)
        m_taken();
}

void ConflictCopiesWindow::Scarta_Click() {
    const conflictcopies::Copy* c = selected();
    if (!c)
        return;
    if (!ctx.dialogs.question(
            QStringLiteral("Scartare %1? La copia non si potrà più recuperare.").arg(describe(*c)),
            kTitle, BoxIcon::Exclamation, BoxDefault::No))
        return;
    auto server = pg::Connection::open(m_server);
    Status s = server ? conflictcopies::dismiss(**server, c->id) : Status(server.error());
    if (!s)
        ctx.dialogs.message(QStringLiteral("La copia non è stata scartata: %1").arg(s.error().text),
                            kTitle, BoxIcon::Critical);
    reload();
}
