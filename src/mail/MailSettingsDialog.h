#pragma once

#include "MailSettings.h"
#include "SendProgress.h"
#include "secrets/Vault.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class Database;
class Dialogs;

// "Impostazioni invio": the outgoing server, its protection, the account, the sender, the way
// orders leave and the texts of their message, kept in the database; the account's password
// where the secrets are, as a line under it says. "Prova" sends a message to the agent's own
// address with what the fields say; a server without protection is kept only after a warning
// the user accepted.
class MailSettingsDialog : public QDialog {
    Q_OBJECT
public:
    MailSettingsDialog(Database& db, Dialogs& dialogs, secrets::Vault& vault,
                       QWidget* parent = nullptr);

    QLineEdit* ImpServer;
    QSpinBox* ImpPorta;
    QComboBox* ImpSicurezza;
    QLineEdit* ImpUtente;
    QLineEdit* ImpPassword;
    // Where the password is kept.
    QLabel* ImpDovePassword;
    // The certificate of the server's own authority: its file, chosen with the button.
    QLineEdit* ImpCertificato;
    QPushButton* ImpScegliCertificato;
    QLineEdit* ImpNomeMittente;
    QLineEdit* ImpMittente;
    QComboBox* ImpModo;
    QLineEdit* ImpOggetto;
    QPlainTextEdit* ImpTesto;
    QPushButton* ImpProva;
    QPushButton* ImpSalva;
    QPushButton* ImpAnnulla;

    // The settings the fields show.
    mail::settings::Settings shown() const;
    void Salva_Click();
    void Prova_Click();
    void ScegliCertificato_Click();

    SendFunction send;
    // Authorities for the server's certificate in place of the system's store (tests only).
    QString caFile;

private:
    // Asks, for a server without protection not yet accepted, whether to go on; true to go on.
    bool plainAccepted();

    Database& m_db;
    Dialogs& m_dialogs;
    secrets::Vault& m_vault;
    // The password as it was read, to tell whether the field changed it.
    QString m_password;
    mail::settings::Settings m_loaded;
};
