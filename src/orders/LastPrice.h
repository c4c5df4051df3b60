#pragma once

#include <QObject>
#include <QString>

struct AppContext;
class OrderPanel;
class QLabel;

// The price paid last time: when an article is picked in Cbo6 for the customer shown in L7
// and the price T13 is empty (or still shows a proposal untouched), T13 takes the price of that
// customer's latest order of the article, selected so that typing replaces it, and a small text
// under it names the order. Nothing changes for a customer who never ordered the article.
class LastPrice : public QObject {
    Q_OBJECT
public:
    LastPrice(AppContext& ctx, OrderPanel* panel);

    QLabel* label() const { return m_label; }
    // After the panel's own handling of the choice (Cbo6_Click); a price proposed for the
    // article before, and not touched since, gives way.
    void propose();

private:
    // Takes back a proposal T13 still shows as it was put; whether T13 is empty now.
    bool withdraw();

    AppContext& m_ctx;
    OrderPanel* m_panel;
    QLabel* m_label;
    // The text put in T13; the note goes when T13 shows anything else.
    QString m_proposed;
};
