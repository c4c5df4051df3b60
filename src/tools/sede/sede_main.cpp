// gestione-sede: the office's tool for the agency's server. It makes and updates the server's
// tables, makes the agents' logins and loads the catalogue from a file of the program or from a
// principal's price list.

#include "data/Database.h"
#include "data/FileKey.h"
#include "mail/MailHeaders.h"
#include "sync/CatalogueLoad.h"
#include "sync/CustomerRequests.h"
#include "sync/ListLoad.h"
#include "sync/Pg.h"
#include "sync/ServerSchema.h"
#include "text/ItalianText.h"
#include "tools/makedb/TerminalPassword.h"
#include "tools/makedb/ToolHelp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

int fail(const QString& text) {
    QTextStream(stderr) << text << '\n';
    return 1;
}

void say(const QString& text) {
    QTextStream(stdout) << text << '\n';
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gestione-sede"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Strumento della sede per il server PostgreSQL dell'agenzia.\n"
        "Comandi:\n"
        "  schema            crea o aggiorna le tabelle, i ruoli e le regole del server\n"
        "  agente NOME       crea l'accesso di un agente, o gli dà una nuova password (la\n"
        "                    password si legge dal terminale, o dalla prima riga\n"
        "                    dell'ingresso); un altro ruolo del server è rifiutato\n"
        "  catalogo FILE     carica articoli, mandanti e listini da un file del programma,\n"
        "                    o il listino di una mandante (.xlsx, .xls, .ods, .csv; con\n"
        "                    --mandante)\n"
        "  clienti FILE      carica i clienti della sede da un file del programma\n"
        "  richieste         elenca le richieste degli agenti di cambiare clienti della sede\n"
        "  accetta N         accetta la richiesta N: il cliente cambia per tutti gli agenti\n"
        "  respingi N        respinge la richiesta N\n"
        "  mandante NOME INDIRIZZO\n"
        "                    imposta l'indirizzo di posta degli ordini della mandante NOME:\n"
        "                    gli agenti lo avranno alla prossima sincronizzazione\n"
        "La password dell'amministratore si prende da PGPASSWORD o dal file .pgpass."));
    const QCommandLineOption help = toolhelp::option();
    parser.addOption(help);
    const QCommandLineOption host(QStringLiteral("server"), QStringLiteral("Indirizzo del server."),
                                  QStringLiteral("indirizzo"), QStringLiteral("localhost"));
    const QCommandLineOption port(QStringLiteral("porta"), QStringLiteral("Porta del server."),
                                  QStringLiteral("numero"), QStringLiteral("5432"));
    const QCommandLineOption database(QStringLiteral("database"),
                                      QStringLiteral("Database dell'agenzia sul server."),
                                      QStringLiteral("nome"), QStringLiteral("gestione"));
    const QCommandLineOption user(QStringLiteral("utente"),
                                  QStringLiteral("Amministratore sul server."),
                                  QStringLiteral("nome"), QStringLiteral("postgres"));
    const QCommandLineOption ca(QStringLiteral("ca"),
                                QStringLiteral("Certificato dell'autorità che firma quello del "
                                               "server (senza: quelle del sistema)."),
                                QStringLiteral("file"));
    const QCommandLineOption sslMode(
        QStringLiteral("sslmode"),
        QStringLiteral("Controllo della connessione cifrata (predefinito verify-full)."),
        QStringLiteral("modo"), QStringLiteral("verify-full"));
    const QCommandLineOption personal(
        QStringLiteral("password-personale"),
        QStringLiteral("Il file del catalogo è protetto da una password personale (chiesta)."));
    const QCommandLineOption principal(
        QStringLiteral("mandante"),
        QStringLiteral("La mandante del listino, quando il catalogo è un listino."),
        QStringLiteral("nome"));
    const QCommandLineOption validFrom(
        QStringLiteral("valido-dal"),
        QStringLiteral("Da quando vale il listino (GG/MM/AAAA; senza: la data scritta nel "
                       "listino, o oggi)."),
        QStringLiteral("data"));
    parser.addOptions({host, port, database, user, ca, sslMode, personal, principal, validFrom});
    parser.addPositionalArgument(QStringLiteral("comando"),
                                 QStringLiteral("schema, agente NOME, catalogo FILE, clienti FILE,"
                                                " richieste, accetta N, respingi N o mandante NOME"
                                                " INDIRIZZO."));
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        say(toolhelp::text(parser).trimmed());
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool customers = command == QLatin1String("clienti");
    const bool decision =
        command == QLatin1String("accetta") || command == QLatin1String("respingi");
    const bool principalAddress = command == QLatin1String("mandante") && args.size() == 3;
    if (command.isEmpty() ||
        !(principalAddress || command == QLatin1String("schema") ||
          command == QLatin1String("richieste") ||
          ((command == QLatin1String("agente") || command == QLatin1String("catalogo") ||
            customers || decision) &&
           args.size() == 2)) ||
        ((command == QLatin1String("schema") || command == QLatin1String("richieste")) &&
         args.size() != 1))
        return fail(QStringLiteral("Comando non valido. Usare: schema, agente NOME o catalogo "
                                   "FILE (--aiuto per l'aiuto)."));
    if (principalAddress && !mail::headers::isAddress(args[2].trimmed()))
        return fail(QStringLiteral("\"%1\" non è un indirizzo di posta valido: l'indirizzo della "
                                   "mandante non è cambiato.")
                        .arg(args[2]));
    std::int64_t requestId = 0;
    if (decision) {
        bool ok = false;
        requestId = args[1].toLongLong(&ok);
        if (!ok || requestId < 1)
            return fail(QStringLiteral("\"%1\" non è il numero di una richiesta.").arg(args[1]));
    }
    bool portOk = false;
    const int portNumber = parser.value(port).toInt(&portOk);
    if (!portOk || portNumber < 1 || portNumber > 65535)
        return fail(QStringLiteral("La porta \"%1\" non è valida: serve un numero da 1 a 65535.")
                        .arg(parser.value(port)));

    pg::Settings settings;
    settings.host = parser.value(host);
    settings.port = portNumber;
    settings.database = parser.value(database);
    settings.user = parser.value(user);
    settings.sslMode = parser.value(sslMode);
    if (QString why = pg::checkSslMode(settings.sslMode); !why.isEmpty())
        return fail(why);
    settings.caFile = parser.value(ca);

    // The agent's password and the catalogue's file are read before the server is reached.
    QString agentPassword;
    std::unique_ptr<Database> file;
    listload::Request list;
    if (command == QLatin1String("agente")) {
        if (QString why = serverschema::checkLoginName(args[1]); !why.isEmpty())
            return fail(why);
        std::optional<QString> typed = readPassword("Password dell'agente: ");
        if (!typed)
            return fail(QStringLiteral("Nessuna password letta: l'accesso non è stato creato."));
        agentPassword = *typed;
    } else if (command == QLatin1String("catalogo")) {
        if (!QFileInfo(args[1]).isFile())
            return fail(QStringLiteral("Il file \"%1\" non esiste.").arg(args[1]));
        if (listload::isPriceList(args[1])) {
            list.file = args[1];
            list.principal = parser.value(principal).simplified();
            list.now = QDateTime::currentDateTime();
            if (list.principal.isEmpty())
                return fail(QStringLiteral("Per caricare il listino \"%1\" serve la sua mandante "
                                           "(--mandante NOME).")
                                .arg(args[1]));
            if (parser.isSet(validFrom)) {
                list.validFrom = itext::parseDate(parser.value(validFrom));
                if (!list.validFrom)
                    return fail(QStringLiteral("La data \"%1\" non è valida: scriverla come "
                                               "GG/MM/AAAA.")
                                    .arg(parser.value(validFrom)));
            }
        }
    }
    if (customers && !QFileInfo(args[1]).isFile())
        return fail(QStringLiteral("Il file \"%1\" non esiste.").arg(args[1]));
    if ((command == QLatin1String("catalogo") && list.file.isEmpty()) || customers) {
        FileKey key = FileKey::builtIn();
        if (parser.isSet(personal)) {
            std::optional<QString> typed = readPassword("Password personale del file: ");
            if (!typed)
                return fail(customers ? QStringLiteral("Nessuna password letta: i clienti non sono "
                                                       "stati caricati.")
                                      : QStringLiteral("Nessuna password letta: il catalogo non è "
                                                       "stato caricato."));
            key = FileKey::personalPassword(*typed);
        }
        Database::Options options;
        options.exclusive = false;
        auto opened = Database::open(args[1], key, options);
        if (!opened)
            return fail(
                QStringLiteral("Il file \"%1\" non si apre: %2").arg(args[1], opened.error().text));
        file = std::move(*opened);
    }

    auto connected = pg::Connection::open(settings);
    if (!connected)
        return fail(connected.error().text);
    pg::Connection& server = **connected;

    if (command == QLatin1String("schema")) {
        auto before = serverschema::migrate(server);
        if (!before)
            return fail(before.error().text);
        if (*before == serverschema::currentVersion())
            say(QStringLiteral("Lo schema del server è già alla versione %1.")
                    .arg(serverschema::currentVersion()));
        else
            say(QStringLiteral("Schema del server portato dalla versione %1 alla %2.")
                    .arg(*before)
                    .arg(serverschema::currentVersion()));
        return 0;
    }
    auto v = serverschema::version(server);
    if (!v)
        return fail(v.error().text);
    if (*v > serverschema::currentVersion())
        return fail(server.failure(serverfailure::NewerSchema).text);
    if (*v != serverschema::currentVersion())
        return fail(QStringLiteral("Lo schema del server non è pronto (versione %1, serve la %2): "
                                   "eseguire prima \"gestione-sede schema\".")
                        .arg(*v)
                        .arg(serverschema::currentVersion()));
    if (command == QLatin1String("agente")) {
        bool changed = false;
        if (Status s = serverschema::createAgent(server, args[1], agentPassword, &changed); !s)
            return fail(s.error().text);
        say(changed ? QStringLiteral("Nuova password dell'agente \"%1\" impostata.")
                          .arg(args[1].toLower())
                    : QStringLiteral("Accesso dell'agente \"%1\" pronto.").arg(args[1].toLower()));
        return 0;
    }
    if (principalAddress) {
        const QString email = args[2].trimmed();
        if (Status s = catalogueload::setOrderAddress(server, args[1], email); !s)
            return fail(s.error().text);
        say(QStringLiteral("Indirizzo degli ordini della mandante \"%1\": %2. Gli agenti lo "
                           "avranno alla prossima sincronizzazione.")
                .arg(args[1].simplified(), email));
        return 0;
    }
    if (customers) {
        auto loaded = customerrequests::loadOffice(*file, server);
        if (!loaded)
            return fail(loaded.error().text);
        say(QStringLiteral("Clienti della sede caricati: %1 nuovi, %2 aggiornati.")
                .arg(loaded->added)
                .arg(loaded->updated));
        return 0;
    }
    if (command == QLatin1String("richieste")) {
        auto open = customerrequests::listOpen(server);
        if (!open)
            return fail(open.error().text);
        if (open->empty())
            say(QStringLiteral("Nessuna richiesta in attesa."));
        for (const customerrequests::Open& r : *open)
            say(r.text);
        return 0;
    }
    if (decision) {
        const bool yes = command == QLatin1String("accetta");
        Status s = yes ? customerrequests::accept(server, requestId)
                       : customerrequests::refuse(server, requestId);
        if (!s)
            return fail(s.error().text);
        say(yes ? QStringLiteral("Richiesta %1 accettata: gli agenti avranno il cliente cambiato "
                                 "alla prossima sincronizzazione.")
                      .arg(requestId)
                : QStringLiteral("Richiesta %1 respinta.").arg(requestId));
        return 0;
    }
    if (!list.file.isEmpty()) {
        auto loaded = listload::load(list, server);
        if (!loaded)
            return fail(loaded.error().text);
        say(QStringLiteral("Listino caricato: %1 articoli nuovi, %2 articoli aggiornati, %3 "
                           "prezzi registrati, %4 righe scartate.")
                .arg(loaded->added)
                .arg(loaded->updated)
                .arg(loaded->prices)
                .arg(loaded->refused));
        return 0;
    }
    auto counts = catalogueload::load(*file, server);
    if (!counts)
        return fail(counts.error().text);
    say(QStringLiteral("Catalogo caricato: %1 articoli, %2 mandanti, %3 prezzi di listino.")
            .arg(counts->articles)
            .arg(counts->principals)
            .arg(counts->prices));
    return 0;
}
