// A demo data set for trying the program: a food wholesaler's agent in Lombardy with a few
// dozen customers, a catalogue of cheeses, cured meats and oils, and two years of orders.

#include "MakeDb.h"

#include "data/Database.h"
#include "text/ItalianText.h"

#include <QDate>
#include <QStringList>

#include <array>
#include <cstdint>

namespace makedb {
namespace {

// A small fixed-seed generator: the demo file is the same every time it is made.
class Dice {
public:
    int roll(int n) {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((m_state >> 33) % std::uint64_t(n));
    }

private:
    std::uint64_t m_state = 20240517;
};

struct Place {
    const char* town;
    const char* province;
};

const Place kPlaces[] = {
    {"BERGAMO", "BG"},   {"MILANO", "MI"},
    {"BRESCIA", "BS"},   {"COMO", "CO"},
    {"CANTÙ", "CO"},     {"LECCO", "LC"},
    {"MONZA", "MB"},     {"PAVIA", "PV"},
    {"CREMONA", "CR"},   {"LODI", "LO"},
    {"FORLÌ", "FC"},     {"SARNICO", "BG"},
    {"TREVIGLIO", "BG"}, {"SESTO SAN GIOVANNI", "MI"},
};

const char* const kCustomers[] = {
    "ALIMENTARI D'ANGELO SNC",
    "SALUMERIA SANT'ORSOLA",
    "TRATTORIA DA NICOLÒ",
    "CAFFÈ DEL CORSO SRL",
    "BOTTEGA DELL'ABBAZIA",
    "GASTRONOMIA L'ÀNCORA",
    "PIZZERIA DA TOTÒ",
    "RISTORANTE LA PERGOLA",
    "MINIMARKET BELLINI",
    "SUPERMERCATO CONAD DI ROTA",
    "ENOTECA CÀ DEL BOSCO",
    "MACELLERIA FRATELLI COLOMBO",
    "FORNO DELL'ANGOLO",
    "OSTERIA DEI MILLE",
    "DROGHERIA MANZONI",
    "HOTEL SAN MARCO SPA",
    "RISTORANTE IL GABBIANO",
    "AGRITURISMO LA CASCINA",
    "BAR PASTICCERIA FUMAGALLI",
    "COOPERATIVA SOCIALE IL GIRASOLE",
    "MENSA AZIENDALE BREMBO",
    "ALIMENTARI RIVA ANGELA",
    "PANETTERIA GALBIATI",
    "SALUMIFICIO VALLE SERIANA",
    "LA BOTTEGA DI NONNA LINA",
    "TAVOLA CALDA L'OASI",
    "RISTORANTE PERÙ",
    "FRUTTA E VERDURA BRAMBILLA",
    "EMPORIO ZANETTI",
    "BISTROT DELLA STAZIONE",
    "CASEIFICIO SOCIALE DI LODI",
    "RIFUGIO ALPE CORTE",
    "CATERING L'ARTE DEL GUSTO",
    "ALBERGO ITALIA",
    "BAR SPORT DI GHISALBERTI",
    "TRATTORIA DEL PONTE VECCHIO",
    "PASTICCERIA MARCHESI",
    "RISTORANTE CINESE GRANDE MURAGLIA",
    "GELATERIA L'ORSO BIANCO",
    "ALIMENTARI CERIZZA GIÀ FUMAGALLI",
};

struct Article {
    const char* code;
    const char* name;
    const char* format;
    double weight;
    double price;
};

const Article kArticles[] = {
    {"F-PR24", "PARMIGIANO REGGIANO 24 MESI", "FORMA INTERA", 38.5, 14.90},
    {"F-PR12", "PARMIGIANO REGGIANO 12 MESI", "1/8 SOTTOVUOTO", 4.5, 12.50},
    {"F-GP01", "GRANA PADANO DOP", "FORMA INTERA", 36, 10.80},
    {"F-GP02", "GRANA PADANO GRATTUGIATO", "BUSTA 1 KG X 10", 10, 9.40},
    {"F-TAL", "TALEGGIO DOP", "CARTONE 4 PEZZI", 8.8, 8.20},
    {"F-GOR", "GORGONZOLA DOLCE DOP", "1/2 FORMA", 6, 7.90},
    {"F-STR", "STRACCHINO", "CARTONE 6 X 1 KG", 6, 6.40},
    {"F-PEC", "PECORINO ROMANO DOP", "1/4 SOTTOVUOTO", 6.5, 11.30},
    {"F-ASI", "ASIAGO PRESSATO", "FORMA INTERA", 13, 8.70},
    {"F-FON", "FONTINA VALDOSTANA", "1/2 FORMA", 4.5, 13.60},
    {"F-MOZ", "MOZZARELLA FIOR DI LATTE", "CASSA 12 X 125 G", 1.5, 6.90},
    {"F-MAS", "MASCARPONE", "VASCHETTA 2 KG X 2", 4, 5.80},
    {"S-CRU", "PROSCIUTTO CRUDO DI PARMA 18 MESI", "DISOSSATO PRESSATO", 7.5, 19.50},
    {"S-COT", "PROSCIUTTO COTTO ALTA QUALITÀ", "INTERO", 9, 11.20},
    {"S-SAL", "SALAME MILANO", "CARTONE 4 PEZZI", 10, 12.90},
    {"S-BRE", "BRESAOLA DELLA VALTELLINA IGP", "PUNTA D'ANCA", 3.2, 24.80},
    {"S-MOR", "MORTADELLA BOLOGNA IGP", "1/2 SOTTOVUOTO", 8, 8.60},
    {"S-SPE", "SPECK ALTO ADIGE", "BARATTOLO SOTTOVUOTO", 5, 15.40},
    {"S-PAN", "PANCETTA ARROTOLATA", "INTERA", 4, 9.90},
    {"S-COP", "COPPA DI PARMA", "INTERA", 2.2, 16.70},
    {"O-EVO5", "OLIO EXTRAVERGINE D'OLIVA", "LATTA 5 LT", 5, 7.95},
    {"O-EVO1", "OLIO EXTRAVERGINE D'OLIVA", "CARTONE 12 X 1 LT", 12, 8.40},
    {"O-SEM", "OLIO DI SEMI DI GIRASOLE", "TANICA 10 LT", 10, 2.30},
    {"P-SPA", "SPAGHETTI DI GRAGNANO IGP", "CARTONE 12 X 500 G", 6, 3.10},
    {"P-PEN", "PENNE RIGATE", "CARTONE 24 X 500 G", 12, 1.85},
    {"C-POM", "POMODORI PELATI", "CARTONE 6 X 2,5 KG", 15, 1.40},
    {"C-PAS", "PASSATA DI POMODORO", "CARTONE 12 X 700 G", 8.4, 1.65},
    {"C-TON", "TONNO ALL'OLIO D'OLIVA", "CARTONE 6 X 1,7 KG", 10.2, 9.80},
    {"V-ACE", "ACETO BALSAMICO DI MODENA IGP", "CARTONE 6 X 500 ML", 3, 6.20},
    {"D-CAF", "CAFFÈ IN GRANI MISCELA BAR", "CARTONE 6 X 1 KG", 6, 15.90},
};

const char* const kNotes[] = {
    "CONSEGNA AL MATTINO",          "SCARICO DAL RETRO, CHIAMARE PRIMA",
    "PAGAMENTO A 30 GG D.F.",       "MERCE PER L'INAUGURAZIONE",
    "FATTURA A NOME DELLA SOCIETÀ", "CONSEGNARE ENTRO LE 11:00\nCHIUSO IL LUNEDÌ",
};

QString text(const char* s) {
    return QString::fromUtf8(s);
}

} // namespace

Status fillDemo(Database& db, int currentYear) {
    Dice dice;
    return db.write([&]() -> Status {
        auto cl = db.prepare(
            "INSERT INTO CLIENTE (CODICE, SOGGETTO, CITTA, PROVINCIA) VALUES (?1, ?2, ?3, ?4);");
        if (!cl)
            return cl.error();
        QStringList codes;
        QStringList names;
        int n = 0;
        for (const char* name : kCustomers) {
            const Place& p = kPlaces[size_t(n) % std::size(kPlaces)];
            const QString code = QString::number(10001 + n * 7);
            ++n;
            cl->reset();
            cl->bind(1, code).bind(2, text(name)).bind(3, text(p.town)).bind(4, text(p.province));
            if (Status s = cl->run(); !s)
                return s;
            codes << code;
            names << text(name);
        }

        const QDate today = QDate::currentDate();
        auto ar = db.prepare("INSERT INTO ARTICOLO (CODICE, ARTICOLO, FORMATO, PESO, AGG) "
                             "VALUES (?1, ?2, ?3, ?4, ?5);");
        if (!ar)
            return ar.error();
        int k = 0;
        for (const Article& a : kArticles) {
            ar->reset();
            ar->bind(1, a.code)
                .bind(2, text(a.name))
                .bind(3, text(a.format))
                .bind(4, a.weight)
                .bind(5, itext::isoDate(today.addDays(-7 * k++)));
            if (Status s = ar->run(); !s)
                return s;
        }

        auto ord = db.prepare(
            "INSERT INTO ORDINE (ANNO, NR, ID_CL, DATAO, DATAC, DEST, CITTA, PR, ARTICOLO, "
            "CODICE, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, SCONTO, NOTE) VALUES "
            "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17);");
        if (!ord)
            return ord.error();
        for (int year = currentYear - 1; year <= currentYear; ++year) {
            const int orders = year == currentYear ? 24 : 32;
            for (int nr = 1; nr <= orders; ++nr) {
                const int c = dice.roll(int(codes.size()));
                const Place& p = kPlaces[size_t(c) % std::size(kPlaces)];
                const QDate date = QDate(year, 1, 8).addDays((nr - 1) * 330 / orders);
                const bool delivery = dice.roll(4) != 0;
                const bool elsewhere = dice.roll(5) == 0;
                const QString dest =
                    elsewhere ? QStringLiteral("MAGAZZINO CENTRALE ") + names[c] : names[c];
                // Order 3 of the current year is the large one.
                const int lines = (year == currentYear && nr == 3) ? 12 : 1 + dice.roll(6);
                int first = dice.roll(int(std::size(kArticles)));
                for (int l = 0; l < lines; ++l) {
                    const Article& a = kArticles[size_t(first + l * 7) % std::size(kArticles)];
                    const int sold = 1 + dice.roll(12);
                    const int free = dice.roll(6) == 0 ? 1 : 0;
                    const int discount = std::array{0, 0, 0, 3, 5, 10}[size_t(dice.roll(6))];
                    ord->reset();
                    ord->bind(1, QString::number(year))
                        .bind(2, QString::number(nr))
                        .bind(3, codes[c])
                        .bind(4, itext::isoDate(date));
                    if (delivery)
                        ord->bind(5, itext::isoDate(date.addDays(3 + dice.roll(10))));
                    else
                        ord->bindNull(5);
                    ord->bind(6, dest)
                        .bind(7, text(p.town))
                        .bind(8, text(p.province))
                        .bind(9, text(a.name))
                        .bind(10, a.code)
                        .bind(11, text(a.format))
                        .bind(12, a.weight)
                        .bind(13, double(sold))
                        .bind(14, double(free))
                        .bind(15, a.price)
                        .bind(16, double(discount));
                    if (dice.roll(4) == 0)
                        ord->bind(17, text(kNotes[size_t(dice.roll(int(std::size(kNotes))))]));
                    else
                        ord->bindNull(17);
                    if (Status s = ord->run(); !s)
                        return s;
                }
            }
        }
        return Status();
    });
}

} // namespace makedb
