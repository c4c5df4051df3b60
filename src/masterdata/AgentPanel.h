#pragma once

#include "ui/Panel.h"

#include <cstdint>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class ClickLabel;

// The agent's own details (Frame8), behind an access code.
class AgentPanel : public Panel {
    Q_OBJECT
public:
    AgentPanel(AppContext& ctx, QWidget* parent);

    QLineEdit* Text7;
    ClickLabel* L43;
    QLabel* Label42;
    QLineEdit* Text2;
    QLabel* Label40;
    QLineEdit* Text3;
    QLabel* Label39;
    QLineEdit* Text4;
    QLabel* Label38;
    ClickLabel* Label32;
    QLineEdit* Text5;
    QLabel* Label34;
    QLineEdit* Text6;
    QPushButton* Cmd6;

    // The menu command "&Utente": asks for the access code and opens the panel.
    void MUtente_Click();
    // Loads the agent's row into the fields; what cannot be read keeps what it showed.
    void CaricaUtente();
    // "Inserisci/Aggiorna": saves the fields into the agent's row.
    void Cmd6_Click();
    void L43_Click();
    void Label32_Click();

private:
    // The key of the row CaricaUtente read last.
    std::optional<std::int64_t> m_readId;
};
