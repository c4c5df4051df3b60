#pragma once

#include "ui/Panel.h"

class QComboBox;
class ClickLabel;

// The year panel (Frame7): its caption's first digit names the pending order command.
class YearPanel : public Panel {
    Q_OBJECT
public:
    YearPanel(AppContext& ctx, QWidget* parent);

    ClickLabel* L12;
    QComboBox* Cbo7;

    Status CaricaAnni();
    void L12_Click();
    // A year picked from the list.
    void Cbo7_Click();
    // The focus in Cbo7 with its text selected, so that a typed year replaces it.
    void readyToType();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

Q_SIGNALS:
    // The pending command (1 to 4) and the year chosen.
    void yearChosen(int command, const QString& year);
};
