#pragma once

#include <QObject>

struct AppContext;
class OrderPanel;
class QLabel;

// The totals of the order on screen, in a line of text beside "Elimina" under the list of its
// lines: shown while the list holds the order's lines, written again at every refill of the
// list (after each line stored, modified or deleted), hidden while it holds a year's orders.
class OrderTotalsLine : public QObject {
    Q_OBJECT
public:
    OrderTotalsLine(AppContext& ctx, OrderPanel* panel);

    QLabel* label() const { return m_label; }
    // Reads the totals of the order Text1/T7 again, when the list shows its lines.
    void refresh();

private:
    AppContext& m_ctx;
    OrderPanel* m_panel;
    QLabel* m_label;
};
