#include "ListRows.h"

#include "data/ItalianText.h"

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

std::optional<double> numberText(QString t, bool weight) {
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
    if (t.isEmpty())
        return std::nullopt;
    return itext::parseNumber(t);
}

std::optional<double> readNumber(const Cell& cell, bool weight) {
    if (cell.kind == Cell::Kind::Number)
        return std::isfinite(cell.number) ? std::optional<double>(cell.number) : std::nullopt;
    if (cell.kind == Cell::Kind::Text)
        return numberText(cell.text, weight);
    return std::nullopt;
}

} // namespace

std::optional<double> listNumber(const Cell& cell) {
    return readNumber(cell, false);
}

ListRows readRows(const Sheet& sheet, const Mapping& m) {
    ListRows out;
    if (!m.usable())
        return out;
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
            refuse(Field::Price, QStringLiteral("manca il prezzo"));
            continue;
        }
        const std::optional<double> p = readNumber(*price, false);
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
                e.weight = readNumber(*w, true);
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
