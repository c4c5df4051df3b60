#pragma once

#include <QObject>

class OrderPanel;
class QLabel;

// The totals of the order on screen, in a line of text beside "Elimina" under the list of its
// lines: shown while the list holds the order's lines, written again at every refill of the
// list (after each line stored, modified or deleted), hidden while it holds a year's orders.
class OrderTotalsLine : public QObject {
    Q_OBJECT
public:
    explicit OrderTotalsLine(OrderPanel* panel);

    QLabel* label() const { return m_label; }
    // Counts the totals of the order again from its lines in the list, when the list shows them.
    void refresh();

private:
    OrderPanel* m_panel;
    QLabel* m_label;
};
