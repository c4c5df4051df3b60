#include "PrincipalsDialog.h"

#include "ui/Dialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("Mandanti");

} // namespace

PrincipalsDialog::PrincipalsDialog(Database& db, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_db(db), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("MandantiDialog"));
    setWindowTitle(kTitle);
    MandantiElenco = new QListWidget(this);
    MandantiElenco->setObjectName(QStringLiteral("MandantiElenco"));
    connect(MandantiElenco, &QListWidget::currentRowChanged, this, &PrincipalsDialog::rowChosen);
    MandanteNome = new QLineEdit(this);
    MandanteNome->setObjectName(QStringLiteral("MandanteNome"));
    MandanteNome->setMaxLength(100);
    MandanteEmail = new QLineEdit(this);
    MandanteEmail->setObjectName(QStringLiteral("MandanteEmail"));
    MandanteEmail->setMaxLength(254);
    connect(MandanteNome, &QLineEdit::textChanged, this, &PrincipalsDialog::checkFields);
    connect(MandanteEmail, &QLineEdit::textChanged, this, &PrincipalsDialog::checkFields);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Nome:"), MandanteNome);
    form->addRow(QStringLiteral("E-mail per gli ordini:"), MandanteEmail);
    MandanteErrore = new QLabel(this);
    MandanteErrore->setObjectName(QStringLiteral("MandanteErrore"));
    MandanteErrore->setWordWrap(true);
    MandanteErrore->setStyleSheet(QStringLiteral("color: #b00000;"));
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    MandanteNuova = button("MandanteNuova", QStringLiteral("Nuova"));
    MandanteSalva = button("MandanteSalva", QStringLiteral("Salva"));
    MandanteElimina = button("MandanteElimina", QStringLiteral("Elimina"));
    MandantiChiudi = button("MandantiChiudi", QStringLiteral("Chiudi"));
    connect(MandanteNuova, &QPushButton::clicked, this, &PrincipalsDialog::Nuova_Click);
    connect(MandanteSalva, &QPushButton::clicked, this, &PrincipalsDialog::Salva_Click);
    connect(MandanteElimina, &QPushButton::clicked, this, &PrincipalsDialog::Elimina_Click);
    connect(MandantiChiudi, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MandanteNuova);
    buttons->addWidget(MandanteSalva);
    buttons->addWidget(MandanteElimina);
    buttons->addStretch();
    buttons->addWidget(MandantiChiudi);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MandantiElenco);
    layout->addLayout(form);
    layout->addWidget(MandanteErrore);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    Nuova_Click();
}

bool PrincipalsDialog::load() {
    auto rows = mail::principals::list(m_db);
    if (!rows) {
        m_dialogs.message(rows.error().text, kTitle, BoxIcon::Critical);
        return false;
    }
    m_rows = *rows;
    const QSignalBlocker quiet(MandantiElenco);
    MandantiElenco->clear();
    int chosen = -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        const auto& p = m_rows[i];
        MandantiElenco->addItem(p.email.isEmpty() ? p.name
                                                  : QStringLiteral("%1 <%2>").arg(p.name, p.email));
        if (p.id == m_id)
            chosen = i;
    }
    MandantiElenco->setCurrentRow(chosen);
    if (chosen < 0)
        Nuova_Click();
    return true;
}

void PrincipalsDialog::rowChosen(int row) {
    if (row < 0 || row >= m_rows.size())
        return;
    m_id = m_rows[row].id;
    MandanteNome->setText(m_rows[row].name);
    MandanteEmail->setText(m_rows[row].email);
    MandanteElimina->setEnabled(true);
}

void PrincipalsDialog::checkFields() {
    const Status s = mail::principals::check(
        {m_id, MandanteNome->text().trimmed(), MandanteEmail->text().trimmed()});
    // An empty name is told when "Salva" is pressed, not while the fields are still blank.
    const bool blank = MandanteNome->text().trimmed().isEmpty();
    MandanteErrore->setText(s || blank ? QString() : s.error().text);
    MandanteSalva->setEnabled(bool(s) || blank);
}

void PrincipalsDialog::Nuova_Click() {
    m_id = 0;
    {
        const QSignalBlocker quiet(MandantiElenco);
        MandantiElenco->setCurrentRow(-1);
    }
    MandanteNome->clear();
    MandanteEmail->clear();
    MandanteElimina->setEnabled(false);
    MandanteNome->setFocus();
}

void PrincipalsDialog::Salva_Click() {
    auto saved = mail::principals::save(m_db, {m_id, MandanteNome->text(), MandanteEmail->text()});
    if (!saved) {
        m_dialogs.message(saved.error().text, kTitle, BoxIcon::Exclamation);
        return;
    }
    m_id = *saved;
    load();
}

void PrincipalsDialog::Elimina_Click() {
    if (m_id == 0)
        return;
    const QString name = MandanteNome->text().trimmed();
    if (!m_dialogs.questionDefaultNo(QStringLiteral("Eliminare la mandante \"%1\"?").arg(name),
                                     kTitle))
        return;
    if (Status s = mail::principals::remove(m_db, m_id); !s) {
        m_dialogs.message(s.error().text, kTitle, BoxIcon::Exclamation);
        load();
        return;
    }
    m_id = 0;
    load();
}
