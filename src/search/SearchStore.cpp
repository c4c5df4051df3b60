#include "SearchStore.h"

namespace searchstore {

std::optional<int> orderNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 8)
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int n = t.toInt();
    if (n < 1 || n > 32767)
        return std::nullopt;
    return n;
}

} // namespace searchstore
