#pragma once

#include "Principals.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class Database;
class Dialogs;

// "Mandanti": the principals and the e-mail their orders go to. A row chosen in the list is
// shown in the fields to change or delete; "Nuova" empties them for a new one.
class PrincipalsDialog : public QDialog {
    Q_OBJECT
public:
    PrincipalsDialog(Database& db, Dialogs& dialogs, QWidget* parent = nullptr);

    // Fills the list again; false when it could not be read (the box was shown).
    bool load();

    QListWidget* MandantiElenco;
    QLineEdit* MandanteNome;
    QLineEdit* MandanteEmail;
    QLabel* MandanteErrore;
    QPushButton* MandanteNuova;
    QPushButton* MandanteSalva;
    QPushButton* MandanteElimina;
    QPushButton* MandantiChiudi;

    void Nuova_Click();
    void Salva_Click();
    void Elimina_Click();

private:
    void rowChosen(int row);
    void checkFields();
    // The id of the principal in the fields, 0 for a new one.
    std::int64_t m_id = 0;
    QList<mail::principals::Principal> m_rows;
    Database& m_db;
    Dialogs& m_dialogs;
};
