#include "ListRows.h"

#include "text/ItalianText.h"

#include <array>

#include <cmath>

namespace pricelists {
namespace {

QString cellText(const Cell* c) {
    if (!c)
        return QString();
    switch (c->kind) {
    case Cell::Kind::Text:
        return c->text.simplified();
    case Cell::Kind::Number:
        if (c->number == std::floor(c->number) && std::fabs(c->number) < 1e15)
            return QString::number(qint64(c->number));
        return itext::formatNumber(c->number);
    case Cell::Kind::Formula:
    case Cell::Kind::Unreadable:
    case Cell::Kind::Empty:
        break;
    }
    return QString();
}

QString shown(const Cell* c) {
    if (!c || c->empty())
        return QString();
    if (c->kind == Cell::Kind::Unreadable)
        return QStringLiteral("(valore non leggibile)");
    if (c->kind == Cell::Kind::Formula)
        return QStringLiteral("(formula)");
    return itext::shortened(cellText(c));
}

// A number's text without its currency, unit and blanks.
QString numberText(QString t, bool weight) {
    t.remove(QChar(0x20AC));
    t.replace(QChar(0xA0), QLatin1Char(' '));
    t = t.trimmed();
    if (t.startsWith(QLatin1String("EUR"), Qt::CaseInsensitive))
        t = t.mid(3).trimmed();
    if (t.endsWith(QLatin1String("EUR"), Qt::CaseInsensitive))
        t.chop(3);
    if (weight) {
        const QString lower = t.toLower();
        for (const char* unit : {"kg", "lt", "l"}) {
            if (lower.endsWith(QLatin1String(unit))) {
                t.chop(int(qstrlen(unit)));
                break;
            }
        }
    }
    t.remove(QLatin1Char(' '));
    return t;
}

// How a number column's texts are read: the mark, and whether the file shows it (or the agent
// chose it) rather than its field separator suggesting it.
struct Reading {
    DecimalMark mark = DecimalMark::Comma;
    bool sure = false;
};

// A number as the column's reading gives it; an error text for the row when it cannot be
// read (not a number: an empty text).
struct Read {
    std::optional<double> value;
    QString doubt;
};

Read readNumber(const Cell& cell, bool weight, const Reading& how) {
    if (cell.kind == Cell::Kind::Number)
        return {std::isfinite(cell.number) ? std::optional<double>(cell.number) : std::nullopt, {}};
    if (cell.kind != Cell::Kind::Text)
        return {};
    QString t = numberText(cell.text, weight);
    if (t.isEmpty())
        return {};
    if (!how.sure && evidenceOf(t) == MarkEvidence::Ambiguous)
        return {std::nullopt, t.contains(QLatin1Char('.'))
                                  ? QStringLiteral("il punto può separare i decimali o le "
                                                   "migliaia: scegliere come leggere i numeri")
                                  : QStringLiteral("la virgola può separare i decimali o le "
                                                   "migliaia: scegliere come leggere i numeri")};
    if (how.mark == DecimalMark::Point) {
        for (QChar& c : t)
            if (c == QLatin1Char('.'))
                c = QLatin1Char(',');
            else if (c == QLatin1Char(','))
                c = QLatin1Char('.');
    }
    return {itext::parseNumber(t), {}};
}

// The reading of each number column: the marks its texts show, else those of the other number
// column, else the one the field separator suggests (a comma between fields: a point in the
// numbers, as English spreadsheets write them).
std::array<Reading, kFieldCount> readings(const Sheet& sheet, const Mapping& m,
                                          std::optional<DecimalMark> chosen) {
    std::array<Reading, kFieldCount> out;
    const DecimalMark guess = sheet.separator == ',' ? DecimalMark::Point : DecimalMark::Comma;
    std::array<int, kFieldCount> points{}, commas{};
    int allPoints = 0, allCommas = 0;
    for (Field f : {Field::Weight, Field::Price}) {
        const int c = m[f];
        if (c < 0)
            continue;
        for (int r = m.headerRow + 1; r < int(sheet.rows.size()); ++r) {
            const Cell* cell = sheet.cell(r, c);
            if (!cell || cell->kind != Cell::Kind::Text)
                continue;
            const MarkEvidence e = evidenceOf(numberText(cell->text, f == Field::Weight));
            points[std::size_t(f)] += e == MarkEvidence::Point;
            commas[std::size_t(f)] += e == MarkEvidence::Comma;
        }
        allPoints += points[std::size_t(f)];
        allCommas += commas[std::size_t(f)];
    }
    auto decide = [&](int p, int c) -> std::optional<DecimalMark> {
        if (p > c)
            return DecimalMark::Point;
        if (c > p)
            return DecimalMark::Comma;
        return p > 0 ? std::optional(guess) : std::nullopt;
    };
    for (int f = 0; f < kFieldCount; ++f) {
        Reading& how = out[std::size_t(f)];
        if (chosen) {
            how = {*chosen, true};
        } else if (const auto own = decide(points[std::size_t(f)], commas[std::size_t(f)])) {
            how = {*own, true};
        } else if (const auto file = decide(allPoints, allCommas)) {
            how = {*file, true};
        } else {
            how = {guess, false};
        }
    }
    return out;
}

} // namespace

std::optional<double> listNumber(const Cell& cell) {
    return readNumber(cell, false, Reading{DecimalMark::Comma, true}).value;
}

ListRows readRows(const Sheet& sheet, const Mapping& m, std::optional<DecimalMark> chosen) {
    ListRows out;
    if (!m.usable())
        return out;
    const std::array<Reading, kFieldCount> how = readings(sheet, m, chosen);
    out.mark = how[std::size_t(Field::Price)].mark;
    out.markShown = how[std::size_t(Field::Price)].sure;
    for (Field f : {Field::Weight, Field::Price})
        for (int r = m.headerRow + 1; r < int(sheet.rows.size()) && !out.numberTexts; ++r)
            if (const Cell* c = sheet.cell(r, m[f]); c && c->kind == Cell::Kind::Text)
                out.numberTexts =
                    evidenceOf(numberText(c->text, f == Field::Weight)) != MarkEvidence::None;
    auto at = [&](int r, Field f) -> const Cell* { return sheet.cell(r, m[f]); };
    for (int r = m.headerRow + 1; r < int(sheet.rows.size()); ++r) {
        const Row& row = sheet.rows[std::size_t(r)];
        bool any = false;
        for (int f = 0; f < kFieldCount && !any; ++f) {
            const Cell* c = sheet.cell(r, m.column[std::size_t(f)]);
            any = c && !c->empty();
        }
        if (!any || row.empty())
            continue; // an empty row in the middle of the list
        auto refuse = [&](Field f, QString reason) {
            out.refused.push_back({r + 1, fieldName(f), shown(at(r, f)), std::move(reason)});
        };
        // A formula whose file stores no result: its value is not known, and never computed here.
        std::optional<Field> formula;
        for (int f = 0; f < kFieldCount && !formula; ++f) {
            const Cell* c = sheet.cell(r, m.column[std::size_t(f)]);
            if (c && c->kind == Cell::Kind::Formula)
                formula = Field(f);
        }
        if (formula) {
            refuse(*formula, QStringLiteral("una formula senza risultato"));
            continue;
        }
        Entry e;
        e.row = r + 1;
        const Cell* code = at(r, Field::Code);
        if (code && code->kind == Cell::Kind::Unreadable) {
            refuse(Field::Code, QStringLiteral("il codice non ha un valore leggibile"));
            continue;
        }
        e.code = cellText(code).toUpper();
        if (e.code.isEmpty()) {
            refuse(Field::Code, QStringLiteral("manca il codice"));
            continue;
        }
        if (e.code.size() > kMaxCode) {
            refuse(Field::Code, QStringLiteral("il codice supera i %1 caratteri").arg(kMaxCode));
            continue;
        }
        const Cell* price = at(r, Field::Price);
        if (!price || price->empty()) {
            refuse(Field::Price, sheet.formulasUnread
                                     ? QStringLiteral("manca il prezzo (se è una formula, il "
                                                      "foglio .xls letto così non ne dà il "
                                                      "risultato)")
                                     : QStringLiteral("manca il prezzo"));
            continue;
        }
        const Read priceRead = readNumber(*price, false, how[std::size_t(Field::Price)]);
        const std::optional<double> p = priceRead.value;
        if (!priceRead.doubt.isEmpty()) {
            refuse(Field::Price, priceRead.doubt);
            continue;
        }
        if (!p) {
            refuse(Field::Price, price->kind == Cell::Kind::Unreadable
                                     ? QStringLiteral("il prezzo non ha un valore leggibile")
                                     : QStringLiteral("il prezzo non è un numero"));
            continue;
        }
        if (*p <= 0 || *p >= 1e9) {
            refuse(Field::Price, QStringLiteral("il prezzo deve essere maggiore di zero"));
            continue;
        }
        e.price = std::round(*p * 10000) / 10000;
        if (m[Field::Weight] >= 0) {
            const Cell* w = at(r, Field::Weight);
            if (w && !w->empty()) {
                const Read weight = readNumber(*w, true, how[std::size_t(Field::Weight)]);
                if (!weight.doubt.isEmpty()) {
                    refuse(Field::Weight, weight.doubt);
                    continue;
                }
                e.weight = weight.value;
                if (!e.weight || *e.weight < 0) {
                    refuse(Field::Weight, QStringLiteral("il peso non è un numero"));
                    continue;
                }
            }
        }
        e.description = cellText(at(r, Field::Description)).toUpper();
        e.format = cellText(at(r, Field::Format)).toUpper();
        out.entries.push_back(std::move(e));
    }
    return out;
}

} // namespace pricelists
