#pragma once

#include "app/Panel.h"

class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class ClickLabel;
class ReportView;

// The article catalogue (Frame2): list, insert, update and delete articles.
class ArticlePanel : public Panel {
    Q_OBJECT
public:
    ArticlePanel(AppContext& ctx, QWidget* parent);

    ClickLabel* Label5;
    QLabel* Label2;
    QLineEdit* T3;
    QLabel* Label8;
    QComboBox* Cbo2;
    QLabel* L3;
    QLabel* Label7;
    QLineEdit* T5;
    QLabel* Label9;
    QLineEdit* T6;
    QPushButton* Cmd2;
    QPushButton* Cmd3;
    QLabel* Label6;
    ReportView* ListView3;

    enum class Mode { Insert, Update, Delete };
    // Opens the panel in a mode (the menu commands "Nuovo", "Aggiorna", "Elimina").
    void apri(Mode mode);

    void Label5_Click();
};
