#include "OrderTotals.h"

#include "text/ItalianText.h"

void OrderTotals::add(const std::optional<double>& s, const std::optional<double>& f,
                      const std::optional<double>& weight, const std::optional<double>& price) {
    ++lines;
    if (f)
        free += *f;
    if (!s)
        return;
    sold += *s;
    if (!weight)
        return;
    kg += *s * *weight;
    if (price)
        gross += *s * *weight * *price;
}

QString OrderTotals::text() const {
    return QStringLiteral("Righe %1   Cartoni %2   Omaggio %3   Kg %4   Lordo € %5")
        .arg(QString::number(lines), itext::formatNumber(sold), itext::formatNumber(free),
             itext::formatGrouped2(kg), itext::formatGrouped2(gross));
}
