#pragma once

#include <QLabel>

// A label that reports a click, for the small "X" labels that close a panel.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};
