#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The window title: a greeting with the date in the system's short date form and the time in
// its long time form.
QString testoTitolo(const QDateTime& now, const QLocale& locale = QLocale::system());
