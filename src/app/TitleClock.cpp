#include "TitleClock.h"

#include <QRegularExpression>

namespace {

// The long time form without the time zone: the title shows the clock, as on the desktop.
QString longTimeFormat(const QLocale& locale) {
    QString f = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    f.replace(zone, QStringLiteral(" "));
    return f.trimmed();
}

} // namespace

QString testoTitolo(const QDateTime& now, const QLocale& locale) {
    return QStringLiteral("Gestione Ordini   -  Benvenuto, oggi è il ") +
           locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral(" e sono le ore ") +
           locale.toString(now.time(), longTimeFormat(locale));
}
