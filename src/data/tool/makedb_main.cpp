// gestione-makedb: makes the database file that ships with the program.

#include "MakeDb.h"
#include "TerminalPassword.h"
#include "data/ArchiveImport.h"
#include "data/Database.h"
#include "data/Rekey.h"
#include "data/Schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gestione-makedb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Crea il database cifrato di Gestione Ordini (cinque tabelle, anni, agente), "
        "oppure aggiunge un anno a un database esistente."));
    parser.addHelpOption();
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Riempie il nuovo database con dati di prova."));
    const QCommandLineOption year(QStringLiteral("add-year"),
                                  QStringLiteral("Aggiunge l'anno alla tabella ANNO del file."),
                                  QStringLiteral("anno"));
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
    parser.process(app);

    QTextStream err(stderr);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        err << "Indicare un solo file.\n";
        return 2;
    }
    const QString path = args.first();

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
    // A new file is made under the built-in key and then written anew under the personal one.
    auto protect = [&]() -> Status {
        return key.personal ? rekey::changeKey(path, FileKey::builtIn(), key) : Status();
    };

    if (parser.isSet(import)) {
        auto report = archiveimport::fromJetFile(parser.value(import), path);
        if (!report) {
            err << path << ": " << report.error().text << "\n";
            return 1;
        }
        if (Status s = protect(); !s) {
            err << path << ": " << s.error().text << "\n";
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
        if (Status s = makedb::addYear(path, y, key); !s) {
            err << path << ": " << s.error().text << "\n";
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

    if (Status s = makedb::makeSupplied(path, currentYear, a); !s) {
        err << path << ": " << s.error().text << "\n";
        return 1;
    }
    if (parser.isSet(demo)) {
        auto db = Database::open(path, schema::password());
        Status s = db ? makedb::fillDemo(**db, currentYear) : Status(db.error());
        if (!s) {
            err << path << ": " << s.error().text << "\n";
            return 1;
        }
    }
    if (Status s = protect(); !s) {
        err << path << ": " << s.error().text << "\n";
        return 1;
    }
    return 0;
}
