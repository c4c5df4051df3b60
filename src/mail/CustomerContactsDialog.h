#pragma once

#include "CustomerContacts.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class Database;
class Dialogs;

// "Scheda cliente": the contacts of one customer beside the register (e-mail, PEC, phone,
// street, postal code, Partita IVA, tax code). Every field is checked as it is typed: the first
// bad one is named under the fields and "Salva" stays off until it is mended.
class CustomerContactsDialog : public QDialog {
    Q_OBJECT
public:
    CustomerContactsDialog(Database& db, Dialogs& dialogs, const QString& code, const QString& name,
                           QWidget* parent = nullptr);

    // False when the card could not be read (the box was shown).
    bool load();

    QLineEdit* SchedaEmail;
    QLineEdit* SchedaPec;
    QLineEdit* SchedaTelefono;
    QLineEdit* SchedaVia;
    QLineEdit* SchedaCap;
    QLineEdit* SchedaPartitaIva;
    QLineEdit* SchedaCodiceFiscale;
    // What is wrong in the fields, empty when nothing is.
    QLabel* SchedaErrore;
    QPushButton* SchedaSalva;
    QPushButton* SchedaAnnulla;

    mail::contacts::Card shown() const;
    void Salva_Click();

private:
    void checkFields();

    Database& m_db;
    Dialogs& m_dialogs;
    mail::contacts::Card m_loaded;
};
