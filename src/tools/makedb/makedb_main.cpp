// gestione-makedb: makes the database file that ships with the program.

#include "MakeDb.h"
#include "TerminalPassword.h"
#include "ToolHelp.h"
#include "data/Database.h"
#include "data/Rekey.h"
#include "files/FolderNames.h"
#include "oldarchive/ArchiveImport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QStringDecoder>
#include <QTextStream>

#include <unistd.h>

namespace {

// The bytes the user gave for the argument the toolkit read as `arg`: it reads arguments as
// UTF-8 and cannot give back bytes that are not (they become replacement characters).
QByteArray bytesOf(int argc, char** argv, const QString& arg) {
    for (int i = argc - 1; i > 0; --i)
        if (QString::fromLocal8Bit(argv[i]) == arg)
            return QByteArray(argv[i]);
    return QFile::encodeName(arg);
}

// A name as the user reads it in a message: its bytes as Latin-1 where they are not UTF-8.
QString readable(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : decoded;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gestione-makedb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Crea il database cifrato di Gestione Ordini (cinque tabelle, anni, agente), "
        "oppure aggiunge un anno a un database esistente."));
    const QCommandLineOption help = toolhelp::option();
    parser.addOption(help);
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Riempie il nuovo database con dati di prova."));
    // The options speak Italian, as the program does; the first English spelling still works.
    const QCommandLineOption year(
        QStringList{QStringLiteral("aggiungi-anno"), QStringLiteral("add-year")},
        QStringLiteral("Aggiunge l'anno alla tabella ANNO del file."), QStringLiteral("anno"));
    const QCommandLineOption agent(QStringLiteral("agente"),
                                   QStringLiteral("Nome dell'agente nella tabella UTENTE."),
                                   QStringLiteral("nome"));
    const QCommandLineOption current(QStringLiteral("anno-corrente"),
                                     QStringLiteral("Anno attorno al quale mettere gli anni "
                                                    "(predefinito: l'anno di oggi)."),
                                     QStringLiteral("anno"));
    const QCommandLineOption import(
        QStringList{QStringLiteral("importa")},
        QStringLiteral("Crea il nuovo database con le righe dell'archivio Access del programma "
                       "precedente (il file indicato, che resta com'è)."),
        QStringLiteral("archivio.mdb"));
    const QCommandLineOption personal(
        QStringLiteral("password-personale"),
        QStringLiteral("Il file è (o sarà) protetto da una password personale, chiesta al "
                       "terminale senza mostrarla (o letta dalla prima riga dell'input)."));
    parser.addOptions({demo, year, agent, current, import, personal});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("Il file del database (Ordine.mdb)."));
    QTextStream err(stderr);
    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        err << (unknown.isEmpty() ? QStringLiteral("Opzione senza il valore richiesto.")
                                  : QStringLiteral("Opzione sconosciuta: %1.").arg(unknown.first()))
            << "\nPer l'elenco delle opzioni: gestione-makedb --aiuto\n";
        return 2;
    }
    if (parser.isSet(help)) {
        QTextStream(stdout) << toolhelp::text(parser);
        return 0;
    }

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        err << "Indicare un solo file.\n";
        return 2;
    }
    // The new file gets the very bytes given: its folder is reached through a name the toolkit
    // can hold, and its own name is given as bytes.
    QString path = args.first();
    const QByteArray given = bytesOf(argc, argv, path);
    QByteArray native;
    const QString shown = readable(given);
    if (given != QFile::encodeName(path)) {
        const qsizetype slash = given.lastIndexOf('/');
        const QByteArray folder =
            slash < 0 ? QByteArray(".") : given.left(qMax<qsizetype>(slash, 1));
        const QString usable = folders::usable(folder);
        if (usable.isEmpty()) {
            err << shown << ": la cartella del file non si può aprire\n";
            return 1;
        }
        native = QFile::encodeName(usable) + "/" + given.mid(slash + 1);
        path = usable + QLatin1Char('/') + QFile::decodeName(given.mid(slash + 1));
    }

    // Asked before any work, never taken from the command line.
    FileKey key = FileKey::builtIn();
    if (parser.isSet(personal)) {
        std::optional<QString> typed = readPassword("Password personale: ");
        if (!typed) {
            err << "Nessuna password letta.\n";
            return 2;
        }
        const bool adding = parser.isSet(year);
        if (const auto weak = weakPassword(*typed); weak && !adding) {
            err << *weak << "\n";
            return 2;
        }
        if (!adding && ::isatty(::fileno(stdin))) {
            std::optional<QString> again = readPassword("Ripetere la password personale: ");
            if (!again || *again != *typed) {
                err << "Le due password non coincidono.\n";
                return 2;
            }
        }
        key = FileKey::personalPassword(*typed);
        typed->fill(QLatin1Char(' '));
    }
    // A new file is made under the built-in key and then written anew under the personal one;
    // when that fails it goes, rather than stay readable with the built-in key.
    auto protect = [&]() -> Status {
        if (!key.personal)
            return {};
        Status s = rekey::changeKey(path, FileKey::builtIn(), key);
        if (!s)
            Database::removeFiles(path);
        return s;
    };

    if (parser.isSet(import)) {
        archiveimport::Placing placing;
        placing.nativeTarget = native;
        placing.key = key;
        auto report = archiveimport::fromJetFile(parser.value(import), path, placing);
        if (!report) {
            err << shown << ": " << report.error().text << "\n";
            return 1;
        }
        QTextStream(stdout) << archiveimport::summary(*report);
        // Rows left out are a failure of the conversion, though the new file holds the rest.
        return report->leftOut.isEmpty() ? 0 : 3;
    }

    if (parser.isSet(year)) {
        bool ok = false;
        const int y = parser.value(year).toInt(&ok);
        if (!ok || y < 1000 || y > 9999) {
            err << "Anno non valido: " << parser.value(year) << "\n";
            return 2;
        }
        if (!native.isEmpty()) {
            err << shown
                << ": il nome del file non è UTF-8: va rinominato per aggiungervi "
                   "un anno\n";
            return 1;
        }
        if (Status s = makedb::addYear(path, y, key); !s) {
            err << shown << ": " << s.error().text << "\n";
            return 1;
        }
        return 0;
    }

    int currentYear = QDate::currentDate().year();
    if (parser.isSet(current))
        currentYear = parser.value(current).toInt();

    makedb::Agent a;
    if (parser.isSet(demo)) {
        a = {QStringLiteral("LUCA FERRARI"), QStringLiteral("VIA GIUSEPPE GARIBALDI 27"),
             QStringLiteral("24121"), QStringLiteral("BERGAMO"), QStringLiteral("BG")};
    }
    if (parser.isSet(agent))
        a.name = parser.value(agent).toUpper();

    makedb::Making making;
    making.demo = parser.isSet(demo);
    making.nativePath = native;
    if (Status s = makedb::makeSupplied(path, currentYear, a, making); !s) {
        err << shown << ": " << s.error().text << "\n";
        return 1;
    }
    if (Status s = protect(); !s) {
        err << shown << ": " << s.error().text << "\n";
        return 1;
    }
    return 0;
}
