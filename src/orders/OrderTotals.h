#pragma once

#include <QString>

#include <optional>

// The same sums in SQL, over the ORDINE rows a query groups, are written in each statement as
// five columns:
//   COUNT(*), TOTAL(QVENDITA), TOTAL(QOMAGGIO), TOTAL(QVENDITA * PESO),
//   TOTAL(QVENDITA * PESO * PREZZO)

// The totals of an order: cartons sold (the sum of QVENDITA), free cartons (QOMAGGIO), kg
// (QVENDITA × PESO) and gross value (QVENDITA × PESO × PREZZO), over its lines. A missing value
// adds nothing to the totals it enters. The order panel's totals line, the order sheet's totals
// row, the search results and a customer's history all count them so.
struct OrderTotals {
    int lines = 0;
    double sold = 0;
    double free = 0;
    double kg = 0;
    double gross = 0;

    // Counts one line in.
    void add(const std::optional<double>& sold, const std::optional<double>& free,
             const std::optional<double>& weight, const std::optional<double>& price);

    // "Righe 3   Cartoni 12   Omaggio 2   Kg 144,00   Lordo € 1.234,56"
    QString text() const;
};
