#pragma once

#include "KeyboardLocks.h"

#include <QStatusBar>

#include <optional>

class QLabel;

// StatusBar1: a fixed text line and the Num Lock and Caps Lock indicators.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent);

    QLabel* Panel1;
    QLabel* Panel2;
    QLabel* Panel3;

    void showLocks(const std::optional<KeyboardLocks>& locks);
};
