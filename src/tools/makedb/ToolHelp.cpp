#include "ToolHelp.h"

#include <QCommandLineParser>
#include <QStringList>

namespace toolhelp {

QCommandLineOption option() {
    return QCommandLineOption(
        QStringList{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("aiuto")},
        QStringLiteral("Mostra questo aiuto ed esce."));
}

QString text(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    text.replace(QLatin1String("Usage:"), QLatin1String("Uso:"))
        .replace(QLatin1String("[options]"), QLatin1String("[opzioni]"))
        .replace(QLatin1String("Options:"), QLatin1String("Opzioni:"))
        .replace(QLatin1String("Arguments:"), QLatin1String("Argomenti:"));
    return text;
}

} // namespace toolhelp
