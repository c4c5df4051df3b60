#pragma once

#include <QObject>

#include <functional>

class CustomerPanel;
class QAction;
class QDialog;
class QWidget;
struct AppContext;

// The addresses orders are sent to: "Scheda cliente…" (customer menu) for the customer chosen in
// the customer panel, and "Mandanti…" (articles menu, beside the price lists).
class ContactCommands : public QObject {
    Q_OBJECT
public:
    ContactCommands(AppContext& ctx, CustomerPanel* customers, QWidget* window);

    QAction* SchedaCliente; // "Scheda cliente…"
    QAction* Mandanti;      // "Mandanti…"

    void SchedaCliente_Click();
    void Mandanti_Click();

    // Runs a dialog; tests put their own in its place.
    std::function<void(QDialog&)> runDialog;

private:
    AppContext& ctx;
    CustomerPanel* m_customers;
    QWidget* m_window;
};
