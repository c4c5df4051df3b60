#pragma once

#include <cstdint>
#include <optional>

#include "ui/Panel.h"

class QLabel;
class QLineEdit;
class QComboBox;
class QPushButton;
class ClickLabel;
class ReportView;

namespace customers {
struct Customer;
}

// The customer register (Frame1): list, insert, modify and delete customers.
class CustomerPanel : public Panel {
    Q_OBJECT
public:
    CustomerPanel(AppContext& ctx, QWidget* parent);

    ClickLabel* Label4;
    QLabel* L1;
    QLabel* Label3;
    QLineEdit* T1;
    QLabel* Label1;
    QLineEdit* T2;
    QLabel* Label22;
    QComboBox* Cbo8;
    QLabel* Label29;
    QComboBox* Cbo1;
    QPushButton* Cmd1;
    QLabel* L2;
    ReportView* ListView2;

    enum class Mode { Insert, Modify, Delete };
    // Opens the panel in a mode (the menu commands "Nuovo", "Aggiorna", "Elimina").
    void openAs(Mode mode);
    // The mode the panel was last opened in.
    std::optional<Mode> mode() const { return m_mode; }

    // Empties and refills the list from the database. Like the lookup fills, a fill that fails
    // is told in the error box and the panel goes on.
    void CaricaClienti();
    // Lookup fills of the two combos.
    void CaricaProvince();
    void CaricaCitta();

    // The action button: insert, modify or delete, as its caption says.
    void Cmd1_Click();
    // A click on a row loads that customer into the fields (not in insert mode).
    void ListView2_ItemClick(int row);
    void Label4_Click();

private:
    // The mode the panel was last opened in; none before the first opening.
    std::optional<Mode> m_mode;
    // A change to one of the office's customers, made into a request to the office; true when
    // recorded.
    bool requestChange(std::int64_t id, const customers::Customer& c);
    // After a completed action: empty fields, refilled combos and list; mode and L1 stay.
    void refresh();
};
