#include "ColumnMap.h"

#include "text/ItalianText.h"

#include <QRegularExpression>

#include <cmath>

namespace pricelists {

QString fieldName(Field f) {
    switch (f) {
    case Field::Code:
        return QStringLiteral("Codice");
    case Field::Description:
        return QStringLiteral("Descrizione");
    case Field::Format:
        return QStringLiteral("Formato");
    case Field::Weight:
        return QStringLiteral("Peso");
    case Field::Price:
        return QStringLiteral("Prezzo");
    case Field::Pieces:
        return QStringLiteral("Pezzi per cartone");
    }
    return QString();
}

QString normalisedName(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D).toLower();
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.isLetterOrNumber())
            out.append(c);
    return out;
}

std::optional<Field> fieldOfHeader(const QString& text) {
    const QString n = normalisedName(text);
    if (n.isEmpty())
        return std::nullopt;
    if (n.startsWith(QLatin1String("cod")))
        return Field::Code;
    if (n.startsWith(QLatin1String("prezzo")) || n.startsWith(QLatin1String("listino")))
        return Field::Price;
    if (n.startsWith(QLatin1String("descr")) || n.startsWith(QLatin1String("articolo")))
        return Field::Description;
    if (n.startsWith(QLatin1String("formato")) || n.startsWith(QLatin1String("confezione")) ||
        n == QLatin1String("conf"))
        return Field::Format;
    if (n.startsWith(QLatin1String("peso")))
        return Field::Weight;
    // "Pezzi per cartone", "Pz/ct", "Pezzi x collo".
    if (n.startsWith(QLatin1String("pezzi")) || n.startsWith(QLatin1String("pz")))
        return Field::Pieces;
    return std::nullopt;
}

QStringList headerTexts(const Sheet& sheet, int row) {
    QStringList out;
    if (row < 0 || row >= int(sheet.rows.size()))
        return out;
    for (const Cell& c : sheet.rows[std::size_t(row)])
        out << (c.kind == Cell::Kind::Text ? c.text.trimmed() : QString());
    return out;
}

Mapping findMapping(const Sheet& sheet, const QStringList& remembered) {
    const int last = std::min<int>(int(sheet.rows.size()), 50);
    for (int r = 0; r < last; ++r) {
        const QStringList texts = headerTexts(sheet, r);
        Mapping m;
        m.headerRow = r;
        for (int c = 0; c < texts.size(); ++c) {
            if (const std::optional<Field> f = fieldOfHeader(texts[c]); f && m[*f] < 0)
                m[*f] = c;
        }
        // What the agent chose for this principal before, where the same header is there.
        for (int f = 0; f < kFieldCount && f < remembered.size(); ++f) {
            if (remembered[f].isEmpty())
                continue;
            const QString want = normalisedName(remembered[f]);
            for (int c = 0; c < texts.size(); ++c)
                if (normalisedName(texts[c]) == want)
                    m.column[std::size_t(f)] = c;
        }
        if (m.usable())
            return m;
    }
    return Mapping{};
}

QStringList rememberedTexts(const Sheet& sheet, const Mapping& mapping) {
    const QStringList texts = headerTexts(sheet, mapping.headerRow);
    QStringList out;
    for (int f = 0; f < kFieldCount; ++f) {
        const int c = mapping.column[std::size_t(f)];
        out << (c >= 0 && c < texts.size() ? texts[c] : QString());
    }
    return out;
}

std::optional<QDate> serialDate(double serial) {
    if (!std::isfinite(serial) || serial < 1 || serial > 2958465)
        return std::nullopt;
    return QDate(1899, 12, 30).addDays(qint64(std::floor(serial)));
}

std::optional<QDate> validFromAbove(const Sheet& sheet, int headerRow) {
    static const QRegularExpression date(QStringLiteral("(\\d{1,2}/\\d{1,2}/\\d{4})"));
    for (int r = 0; r < headerRow && r < int(sheet.rows.size()); ++r) {
        bool named = false;
        for (const Cell& c : sheet.rows[std::size_t(r)]) {
            if (c.kind == Cell::Kind::Number) {
                if (named)
                    if (const auto d = serialDate(c.number))
                        return d;
                continue;
            }
            if (c.kind != Cell::Kind::Text)
                continue;
            const QString text = c.text.trimmed();
            if (named) {
                if (const auto d = itext::parseDate(text))
                    return d;
                if (const auto d = itext::parseIsoDate(text.left(10).toStdString()))
                    return d;
            }
            const QString n = normalisedName(text);
            if (n.contains(QLatin1String("valid")) || n.contains(QLatin1String("decorrenza")) ||
                n.startsWith(QLatin1String("dal"))) {
                named = true;
                const QRegularExpressionMatch m = date.match(text);
                if (m.hasMatch())
                    if (const auto d = itext::parseDate(m.captured(1)))
                        return d;
            }
        }
    }
    return std::nullopt;
}

} // namespace pricelists
