#pragma once

#include <QDialog>

struct AppContext;
class QChartView;
class QLabel;
class ReportView;

// A customer's card: its orders, newest first (as the search shows its history), and its own
// chart of the months of a year against the year before. Return or a double click on an order
// opens it in the order panel.
class CustomerSummary : public QDialog {
    Q_OBJECT
public:
    CustomerSummary(AppContext& ctx, QWidget* parent);

    QLabel* LCliente;
    QChartView* GraficoCliente;
    ReportView* StoricoCliente;

    // Shows the card of the customer for the year; false (and a box) when it could not be read.
    bool showFor(const QString& code, const QString& name, int year);

Q_SIGNALS:
    void orderChosen(const QString& year, const QString& number);

private:
    void openOrder(int row);
    AppContext& ctx;
};
