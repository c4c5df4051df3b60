#pragma once

#include <QString>

// Box titles: "Gestione Ordini" and a run of full stops whose length belongs to the message.
namespace titles {

inline QString dots(int n) {
    return QStringLiteral("Gestione Ordini") + QString(n, QLatin1Char('.'));
}

inline QString t13() {
    return dots(13);
}
inline QString t18() {
    return dots(18);
}
inline QString t20() {
    return dots(20);
}
inline QString t38() {
    return dots(38);
}

} // namespace titles
