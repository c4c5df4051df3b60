#pragma once

#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

// The help of the command-line tools, in Italian: the toolkit's own help option is described in
// English and its help text has English headings.
namespace toolhelp {

// -h, --help and --aiuto.
QCommandLineOption option();
// The parser's help with Italian headings.
QString text(const QCommandLineParser& parser);

} // namespace toolhelp
