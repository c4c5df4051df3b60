#pragma once

#include <QDialog>

#include <cstdint>
#include <optional>

struct AppContext;
class QLabel;
class QLineEdit;
class QPushButton;

// "Dati dell'agente": the agent's name and address, asked at the start while the name is still
// the one the supplied file holds, and again by the command that changes the name.
class AgentDialog : public QDialog {
    Q_OBJECT
public:
    AgentDialog(AppContext& ctx, QWidget* parent);

    QLabel* TestoAgente;
    QLineEdit* NomeAgente;
    QLineEdit* ViaAgente;
    QLineEdit* CapAgente;
    QLineEdit* CittaAgente;
    QLineEdit* PrAgente;
    // The agent's own e-mail: the sender of the orders sent by e-mail.
    QLineEdit* EmailAgente;
    QPushButton* SalvaAgente;
    QPushButton* AnnullaAgente;

    // Fills the fields from the agent's row; false when there is none to update.
    bool load();
    // "Salva": the name is required; the row is updated and the dialog closes.
    void save();

    // The name of the agent in the supplied file, which the user has not replaced yet.
    static QString suppliedName() { return QStringLiteral("AGENTE"); }
    // Where the details are changed later, as the dialog tells it.
    static QString whereToChange();

    // At the start: the dialog when the agent's name is still the supplied one.
    static void askOnStart(AppContext& ctx, QWidget* parent);
    // The command "Nome dell'agente…": the access code, then the dialog. True when the details
    // were saved.
    static bool changeBehindCode(AppContext& ctx, QWidget* parent);

private:
    AppContext& ctx;
    std::optional<std::int64_t> m_id;
};
