#pragma once

#include <QObject>
#include <QString>

struct AppContext;
class OrderPanel;
class QLabel;
namespace pricelists {
struct ListPrice;
}

// The price paid last time: when an article is picked in Cbo6 for the customer shown in L7
// and the price T13 is empty (or still shows a proposal untouched), T13 takes the price of that
// customer's latest order of the article, selected so that typing replaces it, and a small text
// under it names the order; for a customer who never ordered the article, the list price valid
// on the order's date. A list of the article that starts later is said under the notes.
class LastPrice : public QObject {
    Q_OBJECT
public:
    LastPrice(AppContext& ctx, OrderPanel* panel);

    QLabel* label() const { return m_label; }
    // Under the notes: a list of the article that is not yet valid on the order's date.
    QLabel* future() const { return m_future; }
    // After the panel's own handling of the choice (Cbo6_Click); a price proposed for the
    // article before, and not touched since, gives way.
    void propose();

private:
    // Takes back a proposal T13 still shows as it was put; whether T13 is empty now.
    bool withdraw();
    // The note of the later list, with what was proposed instead (`tail`).
    void showLater(const pricelists::ListPrice& later, const QString& tail);

    AppContext& m_ctx;
    OrderPanel* m_panel;
    QLabel* m_label;
    // The text put in T13; the note goes when T13 shows anything else.
    QString m_proposed;
    QLabel* m_future;
    // The article the note of a later list is for; it goes with another article.
    QString m_futureCode;
};
