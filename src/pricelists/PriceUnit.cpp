#include "PriceUnit.h"

#include "data/Database.h"
#include "text/ItalianText.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pricelists {
namespace {

// Prices and weights in ten-thousandths: the price as the list gives it has no more (the rows
// read keep four decimals), a weight of a tenth of a gram is fine enough.
constexpr double kScale = 10000;
constexpr std::int64_t kMaxPieces = 100000;

QString cellShown(const Cell* c) {
    if (!c)
        return QString();
    if (c->kind == Cell::Kind::Number)
        return itext::formatNumber(c->number);
    if (c->kind == Cell::Kind::Text)
        return itext::shortened(c->text.simplified());
    return QString();
}

// The cents of amount × pieces / weight (amount and weight in ten-thousandths), half up; none
// when it does not fit.
std::optional<std::int64_t> centsPerKilo(std::int64_t amount, std::int64_t pieces,
                                         std::int64_t weight) {
    std::int64_t n = 0;
    if (__builtin_mul_overflow(amount, pieces, &n) || __builtin_mul_overflow(n, 100, &n))
        return std::nullopt;
    const std::int64_t q = n / weight, r = n % weight;
    return q + (r >= weight - r ? 1 : 0);
}

} // namespace

QString unitName(PriceUnit unit) {
    switch (unit) {
    case PriceUnit::Kilo:
        return QStringLiteral("€/kg");
    case PriceUnit::Piece:
        return QStringLiteral("€/pz");
    case PriceUnit::Carton:
        return QStringLiteral("€/cartone");
    }
    return QString();
}

std::optional<PriceUnit> unitOfHeader(const QString& heading) {
    // The heading's words, lower case and without accents: "PREZZO ( €/KG )" gives prezzo, kg.
    const QString plain = heading.normalized(QString::NormalizationForm_D).toLower();
    QStringList words;
    QString word;
    for (QChar c : plain + QLatin1Char(' ')) {
        if (c.isLetterOrNumber()) {
            word.append(c);
        } else if (c.category() != QChar::Mark_NonSpacing && !word.isEmpty()) {
            words << word;
            word.clear();
        }
    }
    static const QStringList kilo{"kg",          "kilo", "chilo", "chili", "kilogrammo",
                                  "chilogrammo", "lt",   "l",     "litro", "litri"};
    static const QStringList piece{"pz", "pezzo", "pezzi", "cad", "cadauno", "cadauna", "unita"};
    static const QStringList carton{"cartone", "cartoni", "cart", "ct", "crt", "collo", "colli"};
    for (const QString& w : words) {
        if (kilo.contains(w))
            return PriceUnit::Kilo;
        if (piece.contains(w))
            return PriceUnit::Piece;
        if (carton.contains(w))
            return PriceUnit::Carton;
    }
    return std::nullopt;
}

Result<ListRows> perKilo(Database& db, const Sheet& sheet, const Mapping& m, ListRows rows,
                         PriceUnit unit) {
    if (unit == PriceUnit::Kilo)
        return rows;
    // The catalogue's weights, for the rows that give none.
    QHash<QString, std::optional<double>> weights;
    {
        Result<Statement> st = db.prepare("SELECT CODICE, PESO FROM ARTICOLO ORDER BY ID;");
        if (!st)
            return st.error();
        while (st->next()) {
            const QString code = st->text(0).trimmed().toUpper();
            if (!code.isEmpty() && !weights.contains(code))
                weights.insert(code,
                               st->isNull(1) ? std::nullopt : std::optional<double>(st->real(1)));
        }
        if (!st->status())
            return st->status().error();
    }
    ListRows out;
    out.refused = std::move(rows.refused);
    out.mark = rows.mark;
    out.markShown = rows.markShown;
    out.numberTexts = rows.numberTexts;
    for (Entry& e : rows.entries) {
        const int r = e.row - 1;
        auto refuse = [&](Field f, QString reason) {
            out.refused.push_back(
                {e.row, fieldName(f), cellShown(sheet.cell(r, m[f])), std::move(reason)});
        };
        std::int64_t pieces = 1;
        if (unit == PriceUnit::Piece) {
            const Cell* c = sheet.cell(r, m[Field::Pieces]);
            if (m[Field::Pieces] < 0) {
                refuse(Field::Price, QStringLiteral("è al pezzo, scegliere sopra la colonna dei "
                                                    "pezzi"));
                continue;
            }
            const std::optional<double> n = c ? listNumber(*c) : std::nullopt;
            if (!c || c->empty()) {
                refuse(Field::Pieces, QStringLiteral("mancano (servono per il prezzo al kg)"));
                continue;
            }
            if (!n || *n < 1 || *n > kMaxPieces || *n != std::floor(*n)) {
                refuse(Field::Pieces, QStringLiteral("non sono un numero intero positivo"));
                continue;
            }
            pieces = std::int64_t(*n);
        }
        std::optional<double> weight = e.weight;
        if (!weight)
            weight = weights.value(e.code);
        if (!weight) {
            refuse(Field::Weight, QStringLiteral("manca anche nel catalogo (serve per il prezzo "
                                                 "al kg)"));
            continue;
        }
        const std::int64_t carton = std::llround(*weight * kScale);
        if (carton <= 0) {
            refuse(Field::Weight, QStringLiteral("è zero (serve per il prezzo al kg)"));
            continue;
        }
        const std::int64_t amount = std::llround(e.price * kScale);
        const std::optional<std::int64_t> cents = centsPerKilo(amount, pieces, carton);
        if (!cents || *cents <= 0 || *cents >= std::int64_t(1e11)) {
            refuse(Field::Price, QStringLiteral("al kg risulta zero o fuori misura"));
            continue;
        }
        const QString listed =
            amount % 100 == 0 ? itext::formatFixed(e.price, 2, true) : itext::formatNumber(e.price);
        e.priceFrom = unit == PriceUnit::Piece
                          ? QStringLiteral("%1 %2 × %3 / %4 kg")
                                .arg(listed, unitName(unit),
                                     pieces == 1 ? QStringLiteral("1 pezzo")
                                                 : QStringLiteral("%1 pezzi").arg(pieces),
                                     itext::formatNumber(*weight))
                          : QStringLiteral("%1 %2 / %3 kg")
                                .arg(listed, unitName(unit), itext::formatNumber(*weight));
        e.price = double(*cents) / 100;
        out.entries.push_back(std::move(e));
    }
    std::stable_sort(out.refused.begin(), out.refused.end(),
                     [](const Refused& a, const Refused& b) { return a.row < b.row; });
    return out;
}

} // namespace pricelists
