#pragma once

#include "SyncSettings.h"

#include <QDialog>

class QLineEdit;
class QComboBox;
class QSpinBox;

// "Server dell'agenzia": where the server is, the agent's login (with a line that says where its
// password is kept), the check of the encrypted connection and how often to sync.
class SyncSettingsDialog : public QDialog {
    Q_OBJECT
public:
    SyncSettingsDialog(const syncsettings::Settings& current, const QString& passwordPlace,
                       QWidget* parent = nullptr);
    syncsettings::Settings settings() const;

private:
    QLineEdit* m_host;
    QLineEdit* m_port;
    QLineEdit* m_database;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_ca;
    QComboBox* m_sslMode;
    QSpinBox* m_minutes;
};
