#pragma once

#include <QDialog>

struct AppContext;
class QChartView;
class QLabel;
class ReportView;

// A customer's card: its orders, newest first (as the search shows its history), and its own
// chart of the months of a year against the year before. Return or a double click on an order
// opens it in the order panel.
class CustomerCard : public QDialog {
    Q_OBJECT
public:
    CustomerCard(AppContext& ctx, QWidget* parent);

    QLabel* LCliente;
    QChartView* GraficoCliente;
    ReportView* StoricoCliente;

    // Shows the card of the customer for the year; false (and a box) when it could not be read.
    bool mostra(const QString& code, const QString& name, int year);

Q_SIGNALS:
    void orderChosen(const QString& year, const QString& number);

private:
    void apriOrdine(int row);
    AppContext& ctx;
};
