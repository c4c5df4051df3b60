#include "LargeData.h"

#include "data/AddedTables.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "text/ItalianText.h"
#include "tools/makedb/MakeDb.h"

#include <QDate>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace largedata {
namespace {

class Dice {
public:
    std::uint32_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return std::uint32_t(m_state >> 11);
    }
    int roll(int n) { return int(next() % std::uint32_t(n)); }
    template <class T, size_t N> const T& pick(const T (&a)[N]) { return a[roll(int(N))]; }

private:
    std::uint64_t m_state = 0x9E3779B97F4A7C15ULL;
};

const char* const kKinds[] = {"ALIMENTARI", "SALUMERIA",   "TRATTORIA",  "RISTORANTE", "BAR",
                              "PIZZERIA",   "GASTRONOMIA", "MINIMARKET", "ENOTECA",    "OSTERIA",
                              "PANETTERIA", "PASTICCERIA", "HOTEL",      "MENSA",      "BOTTEGA"};
const char* const kNames[] = {
    "ROSSI",   "BIANCHI",   "D'AMICO",    "COLOMBO",    "FERRARI",    "ESPOSITO", "RICCI",
    "MARINO",  "GRECO",     "BRUNO",      "GALLO",      "CONTI",      "DE LUCA",  "MANCINI",
    "COSTA",   "GIORDANO",  "RIZZO",      "LOMBARDI",   "MORETTI",    "BARBIERI", "FONTANA",
    "SANTORO", "MARIANI",   "RINALDI",    "CARUSO",     "FERRARA",    "GALLI",    "MARTINI",
    "LEONE",   "LONGO",     "GENTILE",    "MARTINELLI", "VITALE",     "LOMBARDO", "SERRA",
    "COPPOLA", "DE SANTIS", "D'ANGELO",   "MARCHETTI",  "PARISI",     "VILLA",    "CONTE",
    "NICOLÒ",  "FERRI",     "FABBRI",     "BIANCO",     "MARINI",     "GRASSO",   "VALENTINI",
    "MESSINA", "SALA",      "DE ANGELIS", "GATTI",      "PELLEGRINI", "PALUMBO"};
const char* const kSuffixes[] = {"SNC",     "SRL", "SAS", "& FIGLI", "DI MARIO",
                                 "DI ANNA", "SPA", "",    "",        ""};

struct Town {
    const char* name;
    const char* province;
};
const Town kTowns[] = {
    {"MILANO", "MI"},      {"BERGAMO", "BG"}, {"BRESCIA", "BS"},  {"COMO", "CO"},
    {"CANTÙ", "CO"},       {"LECCO", "LC"},   {"MONZA", "MB"},    {"PAVIA", "PV"},
    {"CREMONA", "CR"},     {"LODI", "LO"},    {"FORLÌ", "FC"},    {"VARESE", "VA"},
    {"SONDRIO", "SO"},     {"MANTOVA", "MN"}, {"TORINO", "TO"},   {"GENOVA", "GE"},
    {"VERONA", "VR"},      {"PADOVA", "PD"},  {"TRENTO", "TN"},   {"BOLOGNA", "BO"},
    {"PARMA", "PR"},       {"MODENA", "MO"},  {"PIACENZA", "PC"}, {"NOVARA", "NO"},
    {"ALESSANDRIA", "AL"}, {"ASTI", "AT"},    {"CUNEO", "CN"},    {"VICENZA", "VI"},
    {"TREVISO", "TV"},     {"VENEZIA", "VE"}, {"RAVENNA", "RA"},  {"RIMINI", "RN"},
};

const char* const kFoods[] = {"PARMIGIANO REGGIANO",
                              "GRANA PADANO",
                              "TALEGGIO",
                              "GORGONZOLA",
                              "PROSCIUTTO CRUDO",
                              "PROSCIUTTO COTTO",
                              "SALAME",
                              "BRESAOLA",
                              "MORTADELLA",
                              "SPECK",
                              "PANCETTA",
                              "OLIO EXTRAVERGINE D'OLIVA",
                              "PASSATA DI POMODORO",
                              "TONNO ALL'OLIO",
                              "CAFFÈ IN GRANI",
                              "ACETO BALSAMICO",
                              "PECORINO",
                              "ASIAGO",
                              "FONTINA",
                              "MOZZARELLA"};
const char* const kQualities[] = {"DOP",        "IGP",       "STAGIONATO", "DOLCE",
                                  "PICCANTE",   "BIOLOGICO", "CLASSICO",   "EXTRA",
                                  "DELLA CASA", "24 MESI",   "12 MESI"};
const char* const kFormats[] = {"FORMA INTERA",      "1/2 SOTTOVUOTO",     "1/4 SOTTOVUOTO",
                                "CARTONE 6 X 1 KG",  "CARTONE 12 X 500 G", "LATTA 5 LT",
                                "CARTONE 12 X 1 LT", "BUSTA 1 KG X 10",    "VASCHETTA 2 KG"};
const char* const kNotes[] = {"CONSEGNA AL MATTINO", "CHIAMARE PRIMA DELLA CONSEGNA",
                              "PAGAMENTO A 30 GG D.F.", "SCARICO DAL RETRO",
                              "MERCE PER L'INAUGURAZIONE"};

const int kDiscounts[] = {0, 0, 0, 3, 5, 10};

QString text(const char* s) {
    return QString::fromUtf8(s);
}

struct Article {
    QString code, name, format;
    double weight;
};

} // namespace

Status make(const QString& path, const Sizes& sizes) {
    if (Status s = makedb::makeSupplied(path, sizes.lastYear, makedb::Agent{}); !s)
        return s;
    auto opened = Database::open(path, schema::password());
    if (!opened)
        return opened.error();
    Database& db = **opened;
    // The search's tables are filled from all the lines at once, at the end.
    if (Status s = db.write([&] { return addedtables::setAsideSearch(db); }); !s)
        return s;
    Dice dice;
    QStringList codes;
    QStringList names;

    Status s = db.write([&]() -> Status {
        for (int y = sizes.lastYear - sizes.years + 1; y <= sizes.lastYear; ++y) {
            auto st = db.prepare("INSERT OR IGNORE INTO ANNO (ANNO) VALUES (?1);");
            st->bind(1, QString::number(y));
            if (Status r = st->run(); !r)
                return r;
        }
        auto cl = db.prepare(
            "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES (?1, ?2, ?3, ?4);");
        if (!cl)
            return cl.error();
        for (int i = 0; i < sizes.customers; ++i) {
            const Town& t = dice.pick(kTowns);
            QString name = text(dice.pick(kKinds)) + QLatin1Char(' ') + text(dice.pick(kNames));
            const QString suffix = text(dice.pick(kSuffixes));
            if (!suffix.isEmpty())
                name += QLatin1Char(' ') + suffix;
            name += QStringLiteral(" %1").arg(i + 1);
            const QString code = QString::number(1000000 + i);
            cl->reset();
            cl->bind(1, code).bind(2, name).bind(3, text(t.name)).bind(4, text(t.province));
            if (Status r = cl->run(); !r)
                return r;
            codes << code;
            names << name;
        }
        return Status();
    });
    if (!s)
        return s;

    std::vector<Article> articles;
    articles.reserve(size_t(sizes.articles));
    s = db.write([&]() -> Status {
        auto ar = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG) "
                             "VALUES (?1, ?2, ?3, ?4, ?5);");
        if (!ar)
            return ar.error();
        const QDate base(sizes.lastYear, 1, 1);
        for (int i = 0; i < sizes.articles; ++i) {
            Article a;
            a.code = QStringLiteral("A%1").arg(i + 1, 7, 10, QLatin1Char('0'));
            a.name = text(dice.pick(kFoods)) + QLatin1Char(' ') + text(dice.pick(kQualities)) +
                     QStringLiteral(" %1").arg(i + 1);
            a.format = text(dice.pick(kFormats));
            a.weight = (1 + dice.roll(400)) / 10.0;
            ar->reset();
            ar->bind(1, a.code)
                .bind(2, a.name)
                .bind(3, a.format)
                .bind(4, a.weight)
                .bind(5, itext::isoDate(base.addDays(-dice.roll(3650))));
            if (Status r = ar->run(); !r)
                return r;
            articles.push_back(std::move(a));
        }
        return Status();
    });
    if (!s)
        return s;

    for (int y = sizes.lastYear - sizes.years + 1; y <= sizes.lastYear; ++y) {
        s = db.write([&]() -> Status {
            auto ord = db.prepare(
                "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, "
                "CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE) VALUES "
                "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17);");
            if (!ord)
                return ord.error();
            const QString year = QString::number(y);
            int lines = 0;
            int nr = 0;
            while (lines < sizes.linesPerYear) {
                ++nr;
                // The last year opens with the benchmark's large orders.
                int count = 1 + dice.roll(9);
                if (y == sizes.lastYear && nr == 1)
                    count = 1000;
                else if (y == sizes.lastYear && nr == 2)
                    count = 200;
                const int c = dice.roll(int(codes.size()));
                const Town& t = dice.pick(kTowns);
                const QDate date = QDate(y, 1, 1).addDays(dice.roll(360));
                const QString iso = itext::isoDate(date);
                const bool delivery = dice.roll(4) != 0;
                const QString deliveryIso = itext::isoDate(date.addDays(2 + dice.roll(12)));
                for (int l = 0; l < count; ++l) {
                    const Article& a = articles[size_t(dice.roll(int(articles.size())))];
                    ord->reset();
                    ord->bind(1, year).bind(2, QString::number(nr)).bind(3, codes[c]).bind(4, iso);
                    if (delivery)
                        ord->bind(5, deliveryIso);
                    else
                        ord->bindNull(5);
                    ord->bind(6, names[c])
                        .bind(7, text(t.name))
                        .bind(8, text(t.province))
                        .bind(9, a.name)
                        .bind(10, a.code)
                        .bind(11, a.format)
                        .bind(12, a.weight)
                        .bind(13, double(1 + dice.roll(20)))
                        .bind(14, double(dice.roll(8) == 0 ? 1 : 0))
                        .bind(15, (50 + dice.roll(3000)) / 100.0)
                        .bind(16, double(dice.pick(kDiscounts)));
                    if (dice.roll(8) == 0)
                        ord->bind(17, text(dice.pick(kNotes)));
                    else
                        ord->bindNull(17);
                    if (Status r = ord->run(); !r)
                        return r;
                }
                lines += count;
            }
            return Status();
        });
        if (!s)
            return s;
    }
    if (s = schema::ensureIndexes(db); !s)
        return s;
    return db.exec("PRAGMA wal_checkpoint(TRUNCATE);");
}

} // namespace largedata
