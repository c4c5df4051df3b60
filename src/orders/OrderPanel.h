#pragma once

#include "app/Panel.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QComboBox;
class QPushButton;
class QCheckBox;
class QGroupBox;
class DateBox;
class ReportView;

// The order panel (Frame3): the order header, the line being entered (Frame4) and the list
// (Frame5). Its caption is the panel's mode.
class OrderPanel : public Panel {
    Q_OBJECT
public:
    OrderPanel(AppContext& ctx, QWidget* parent);

    QLabel* Label14;
    QLineEdit* Text1;
    QLabel* L9;
    QLabel* L10;
    QCheckBox* C2;
    QLabel* Label13;
    QLineEdit* T7;
    QLabel* Label17;
    DateBox* D1;
    QLabel* Label18;
    DateBox* D2;
    QLabel* Label15;
    QComboBox* Cbo3;
    QLabel* Label31;
    QComboBox* Cbo9;
    QLabel* Label19;
    QComboBox* Cbo4;
    QLabel* Label11;
    QComboBox* Cbo5;
    QLabel* Label12;
    QLabel* L7;
    QLabel* Label21;
    QLabel* L8;

    QGroupBox* Frame4;
    QLabel* Label10;
    QComboBox* Cbo6;
    QLabel* Label20;
    QLineEdit* T8;
    QLabel* Label23;
    QLineEdit* T9;
    QLabel* Label24;
    QLineEdit* T10;
    QLabel* Label25;
    QLineEdit* T11;
    QLabel* Label26;
    QLineEdit* T12;
    QLabel* Label27;
    QLineEdit* T13;
    QLabel* Label28;
    QLineEdit* T14;
    QLabel* Label30;
    QPlainTextEdit* T15;
    QGroupBox* Frame6;
    QPushButton* Cmd4;
    QPushButton* Cmd5;

    QGroupBox* Frame5;
    ReportView* ListView5;
    QCheckBox* C1;

    // A year chosen in the year panel for the pending order command (1 to 4).
    void ScegliAnno(int command, const QString& year);

    // Places the list sub-panel: top (or -1 to keep it), its height and the list's height, in
    // twips.
    void setListGeometry(int frameTop, int frameHeight, int listHeight);

    // Lookup fills of the panel's combos.
    Status CaricaSoggetti();
    void CaricaProvinceOrdine();
    void CaricaCittaOrdine();
    void CaricaDestinazioni();
    Status CaricaSceltaArticolo();
};
