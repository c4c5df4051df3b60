#include "SyncKit.h"

#include "data/Schema.h"
#include "sync/CatalogueLoad.h"
#include "sync/OrderLines.h"
#include "sync/ServerSchema.h"

#include <QTest>

#include <map>
#include <thread>

namespace synckit {

Result<agencysync::Report> sync(const Machine& m, const pg::Settings* through,
                                pg::Interrupt* interrupt) {
    Database::Options o;
    o.exclusive = false;
    auto db = Database::open(m.dir.dbPath(), schema::password(), o);
    if (!db)
        return db.error();
    auto server = pg::Connection::open(through ? *through : m.settings, interrupt);
    if (!server)
        return server.error();
    return agencysync::run(**db, **server);
}

QStringList syncAtOnce(const Machine& a, const Machine& b) {
    Result<agencysync::Report> ra = makeError(QString()), rb = makeError(QString());
    std::thread one([&] { ra = sync(a); });
    std::thread two([&] { rb = sync(b); });
    one.join();
    two.join();
    QStringList failures;
    for (const auto* r : {&ra, &rb})
        if (!*r)
            failures << r->error().text;
    return failures;
}

void addOrder(Database& db, int nr, int lines, const QString& note) {
    addOrders(db, nr, 1, lines, note);
}

void addOrders(Database& db, int first, int count, int lines, const QString& note) {
    Status s = db.write([&]() -> Status {
        auto st = db.prepare("INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, ARTICOLO, CODICE,"
                             " QVENDITA, PREZZO, SCONTO, NOTE) VALUES ('2026', ?1, '1',"
                             " '2026-12-08', ?2, ?3, ?4, ?5, NULL, ?6);");
        if (!st)
            return st.error();
        for (int n = first; n < first + count; ++n)
            for (int i = 0; i < lines; ++i) {
                st->reset();
                st->bind(1, QString::number(n)).bind(2, QStringLiteral("Articolo\t%1\n").arg(i));
                st->bind(3, QStringLiteral("C%1").arg(i)).bind(4, double(i + 1) / 3.0);
                st->bind(5, 0.1 + 0.2 * i).bindTextOrNull(6, note);
                if (Status r = st->run(); !r)
                    return r;
            }
        return {};
    });
    if (!s)
        qFatal("%s", qPrintable(s.error().text));
}

namespace {

using Orders = std::map<std::pair<QString, QString>, std::vector<orderlines::Line>>;

QByteArray describe(const Orders& orders) {
    QByteArray out;
    for (const auto& [key, lines] : orders)
        out += key.first.toUtf8() + '/' + key.second.toUtf8() + ':' +
               orderlines::fingerprint(lines).left(8) + ' ';
    return out;
}

} // namespace

QString disagreement(const Machine& m) {
    auto db = m.dir.open();
    auto server = pgkit::connect(m.settings);
    Orders local, remote;
    {
        auto st = db->prepare("SELECT ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO,"
                              " CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE"
                              " FROM ORDINE ORDER BY ANNO, NR, ID;");
        while (st->next())
            local[{st->text(0), st->text(1)}].push_back(orderlines::fromStatement(*st, 2));
    }
    auto r = server->query("SELECT anno, nr, id_cl, datao, datac, dest, citta, pr, articolo,"
                           " codice, formato, peso, qvendita, qomaggio, prezzo, sconto, note"
                           " FROM ordine_riga ORDER BY anno, nr, riga",
                           pg::Shape::any());
    if (!r)
        return r.error().text;
    for (int i = 0; i < r->count(); ++i)
        remote[{r->text(i, 0), r->text(i, 1)}].push_back(orderlines::fromRows(*r, i, 2));
    QString why;
    if (describe(local) != describe(remote))
        why += QStringLiteral("ordini: file %1 server %2; ")
                   .arg(QString::fromUtf8(describe(local)), QString::fromUtf8(describe(remote)));
    const QStringList live =
        pgkit::rows(*server, "SELECT count(*) FROM ordine WHERE NOT cancellato");
    if (live != QStringList{QString::number(remote.size())})
        why += QStringLiteral("ordini vivi senza righe; ");
    // Weights compared as numbers: each side writes them in its own way.
    auto weight = [](const std::optional<double>& v) {
        return v ? QString::number(*v, 'g', 17) : QString();
    };
    QStringList fileArticles;
    {
        auto st = db->prepare("SELECT CODICE, ARTICOLO, PESO FROM ARTICOLO WHERE CODICE IS NOT NULL"
                              " AND trim(CODICE) <> '' ORDER BY CODICE COLLATE BINARY;");
        while (st->next())
            fileArticles << st->text(0) + QLatin1Char('|') + st->text(1) + QLatin1Char('|') +
                                weight(st->isNull(2) ? std::nullopt
                                                     : std::optional<double>(st->real(2)));
    }
    QStringList serverArticles;
    auto a = server->query("SELECT codice, coalesce(articolo, ''), peso FROM articolo"
                           " WHERE NOT cancellato ORDER BY codice COLLATE \"C\"",
                           pg::Shape::any());
    if (!a)
        return a.error().text;
    for (int i = 0; i < a->count(); ++i)
        serverArticles << a->text(i, 0) + QLatin1Char('|') + a->text(i, 1) + QLatin1Char('|') +
                              weight(a->realOrNull(i, 2));
    if (fileArticles != serverArticles)
        why += QStringLiteral("articoli: file %1 server %2; ")
                   .arg(fileArticles.join(QLatin1Char(',')), serverArticles.join(QLatin1Char(',')));
    // The office's prices, as the file took them.
    QStringList filePrices;
    {
        auto st = db->prepare("SELECT p.CODICE, m.NOME, p.PREZZO, p.VALIDO_DAL, l.FILE"
                              " FROM PREZZO_LISTINO p JOIN SYNC_PREZZO s ON s.ID = p.ID"
                              " JOIN MANDANTE m ON m.ID = p.ID_MANDANTE"
                              " LEFT JOIN LISTINO l ON l.ID = p.ID_LISTINO;");
        while (st->next())
            filePrices << QStringList{st->text(0), st->text(1),
                                      weight(std::optional<double>(st->real(2))), st->text(3),
                                      st->text(4)}
                              .join(QLatin1Char('|'));
    }
    QStringList serverPrices;
    auto p = server->query("SELECT p.codice, p.mandante, p.prezzo, p.valido_dal,"
                           " coalesce(l.file, '') FROM prezzo_listino p"
                           " LEFT JOIN listino l ON l.id = p.id_listino AND NOT l.cancellato"
                           " WHERE NOT p.cancellato",
                           pg::Shape::any());
    if (!p)
        return p.error().text;
    for (int i = 0; i < p->count(); ++i)
        serverPrices << QStringList{p->text(i, 0), p->text(i, 1), weight(p->realOrNull(i, 2)),
                                    p->text(i, 3), p->text(i, 4)}
                            .join(QLatin1Char('|'));
    filePrices.sort();
    serverPrices.sort();
    if (filePrices != serverPrices)
        why += QStringLiteral("prezzi: file %1 server %2; ")
                   .arg(filePrices.join(QLatin1Char(',')), serverPrices.join(QLatin1Char(',')));
    const QString pending = value(*db, "SELECT count(*) FROM SYNC_ORDINE WHERE CAMBIATO > 0;");
    if (pending != QLatin1String("0"))
        why += QStringLiteral("%1 ordini in attesa; ").arg(pending);
    return why + customerDisagreement(m);
}

QString customerDisagreement(const Machine& m) {
    auto file = m.dir.open();
    QStringList local;
    for (const QStringList& r :
         rows(*file, "SELECT CASE WHEN s.SEDE = 1 THEN '' ELSE 'me' END, c.CODICE, c.SOGGETTO,"
                     " c.CITTA, c.PROVINCIA FROM CLIENTE c LEFT JOIN SYNC_CLIENTE s"
                     " ON s.ID = c.ID;"))
        local << r.join(QLatin1Char('|'));
    auto server = pgkit::connect(m.settings);
    QStringList remote =
        pgkit::rows(*server, "SELECT CASE WHEN proprietario = '' THEN '' ELSE 'me' END, codice,"
                             " coalesce(soggetto, ''), coalesce(citta, ''), coalesce(provincia, '')"
                             " FROM cliente WHERE NOT cancellato");
    // The texts as the server takes them: without NUL.
    local.replaceInStrings(QString(QChar(0)), QString());
    local.sort();
    remote.sort();
    QString why;
    if (local != remote)
        why =
            QStringLiteral("clienti: file %1 server %2; ").arg(local.join(u','), remote.join(u','));
    const QString pending = value(*file, "SELECT count(*) FROM SYNC_CLIENTE WHERE CAMBIATO > 0;");
    if (pending != QLatin1String("0"))
        why += QStringLiteral("%1 clienti in attesa").arg(pending);
    return why;
}

QString agencyWithCatalogue(const QStringList& agents) {
    const QString name = pgkit::freshDatabase();
    auto admin = pgkit::connect(pgkit::admin(name));
    if (!serverschema::migrate(*admin))
        qFatal("migration failed");
    for (const QString& a : agents)
        if (Status s = serverschema::createAgent(*admin, a, a + a); !s)
            qFatal("%s", qPrintable(s.error().text));
    TestDir office(TestDir::Content::Demo);
    auto file = office.open();
    // The demo file may hold one code twice; the office's catalogue has one article per code.
    exec(*file, "DELETE FROM ARTICOLO WHERE CODICE IS NULL OR trim(CODICE) = '' OR ID <> (SELECT"
                " max(ID) FROM ARTICOLO b WHERE b.CODICE = ARTICOLO.CODICE);");
    if (auto c = catalogueload::load(*file, *admin); !c)
        qFatal("%s", qPrintable(c.error().text));
    return name;
}

} // namespace synckit
