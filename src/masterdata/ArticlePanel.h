#pragma once

#include <optional>

#include "ui/Panel.h"

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
    void openAs(Mode mode);
    // The mode the panel was last opened in.
    std::optional<Mode> mode() const { return m_mode; }

    // Empties and refills the list from the database; a fill that fails is told in the error
    // box and the panel goes on.
    void CaricaArticoli();

    // The action button: insert, update or delete, as its caption says.
    void Cmd2_Click();
    // The "Excel" button: the table to a workbook.
    void Cmd3_Click();
    // A click on a row loads that article into the fields (not in insert mode).
    void ListView3_ItemClick(int row);
    void Label5_Click();

private:
    // The mode the panel was last opened in; none before the first opening.
    std::optional<Mode> m_mode;
    // After a completed action: empty fields and L3, refilled list; the mode stays.
    void refresh();
};
