#include "ItalianText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace itext {
namespace {

// Decimal digits of a value rounded to 15 significant digits: value = 0.digits * 10^exp10.
struct Decimal {
    bool negative = false;
    std::string digits; // no leading or trailing zeros; empty for zero
    int exp10 = 0;      // position of the decimal point relative to the first digit
};

Decimal toDecimal(double value) {
    Decimal d;
    if (value == 0 || !std::isfinite(value))
        return d;
    std::array<char, 64> buf{};
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                             std::chars_format::scientific, kMaxDigits - 1);
    std::string_view s(buf.data(), size_t(res.ptr - buf.data()));
    if (!s.empty() && s.front() == '-') {
        d.negative = true;
        s.remove_prefix(1);
    }
    const size_t e = s.find('e');
    std::string_view mant = s.substr(0, e);
    int exp = 0;
    std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exp);
    for (char c : mant)
        if (c != '.')
            d.digits.push_back(c);
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    d.exp10 = exp + 1;
    return d;
}

// Integer and fraction digits of d, the fraction rounded half away from zero to `decimals`
// places when decimals >= 0.
void fixedParts(const Decimal& d, int decimals, std::string& intPart, std::string& frac) {
    std::string digits = d.digits;
    int point = d.exp10;
    if (decimals >= 0) {
        const int keep = point + decimals;
        if (keep < 0) {
            digits.clear();
        } else if (int(digits.size()) > keep) {
            const bool up = digits[size_t(keep)] >= '5';
            digits.resize(size_t(keep));
            if (up) {
                int i = keep - 1;
                while (i >= 0 && digits[size_t(i)] == '9') {
                    digits[size_t(i)] = '0';
                    --i;
                }
                if (i < 0) {
                    digits.insert(digits.begin(), '1');
                    ++point;
                } else {
                    ++digits[size_t(i)];
                }
            }
        }
    }
    intPart.clear();
    frac.clear();
    for (int i = 0; i < point; ++i)
        intPart.push_back(i < int(digits.size()) ? digits[size_t(i)] : '0');
    for (int i = point; i < int(digits.size()); ++i) {
        if (i < 0)
            continue;
        frac.push_back(digits[size_t(i)]);
    }
    if (point < 0)
        frac.insert(0, size_t(-point), '0');
    if (intPart.empty())
        intPart = "0";
    size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? std::string("0") : intPart.substr(nz);
    if (decimals >= 0) {
        frac.resize(size_t(decimals), '0');
    } else {
        while (!frac.empty() && frac.back() == '0')
            frac.pop_back();
    }
}

bool allZero(const std::string& intPart, const std::string& frac) {
    return intPart.find_first_not_of('0') == std::string::npos &&
           frac.find_first_not_of('0') == std::string::npos;
}

QString assemble(bool negative, const std::string& intPart, const std::string& frac, bool grouped) {
    std::string out;
    if (negative && !allZero(intPart, frac))
        out.push_back('-');
    if (grouped) {
        const size_t n = intPart.size();
        for (size_t i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                out.push_back('.');
            out.push_back(intPart[i]);
        }
    } else {
        out += intPart;
    }
    if (!frac.empty()) {
        out.push_back(',');
        out += frac;
    }
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

QString format(double value, int decimals, bool grouped) {
    const Decimal d = toDecimal(value);
    std::string intPart, frac;
    fixedParts(d, decimals, intPart, frac);
    return assemble(d.negative, intPart, frac, grouped);
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<double> parseNumber(QStringView text) {
    text = text.trimmed();
    std::string plain;
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        if (text[i] == QLatin1Char('-'))
            plain.push_back('-');
        ++i;
    }
    // Integer part: plain digits, or groups of three after the first separated by full stops.
    int intDigits = 0;
    int group = 0;
    bool sawDot = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            plain.push_back(char(c.unicode()));
            ++intDigits;
            ++group;
        } else if (c == QLatin1Char('.')) {
            if (intDigits == 0 || (sawDot ? group != 3 : group > 3))
                return std::nullopt;
            sawDot = true;
            group = 0;
        } else {
            break;
        }
    }
    if (sawDot && group != 3)
        return std::nullopt;
    int fracDigits = 0;
    if (i < n && text[i] == QLatin1Char(',')) {
        plain.push_back('.');
        for (++i; i < n && isDigit(text[i]); ++i) {
            plain.push_back(char(text[i].unicode()));
            ++fracDigits;
        }
    }
    if (i != n || intDigits + fracDigits == 0)
        return std::nullopt;

    // Significant digits: from the first non-zero digit to the last non-zero digit.
    std::string digits;
    for (char c : plain)
        if (c >= '0' && c <= '9')
            digits.push_back(c);
    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos) {
        const size_t last = digits.find_last_not_of('0');
        const size_t intEnd = size_t(intDigits);
        // Zeros at the end of the integer part count: 1000 has four digits that matter.
        const size_t end = std::max(last + 1, std::min(intEnd, digits.size()));
        if (end - first > size_t(kMaxDigits))
            return std::nullopt;
    }
    if (plain == "-" || plain == "-." || plain == ".")
        return std::nullopt;
    std::string_view sv(plain);
    if (!sv.empty() && sv.back() == '.')
        sv.remove_suffix(1);
    std::string norm(sv);
    if (norm.size() > 1 && norm[0] == '.')
        norm.insert(0, "0");
    if (norm.size() > 2 && norm[0] == '-' && norm[1] == '.')
        norm.insert(1, "0");
    double v = 0;
    const auto res = std::from_chars(norm.data(), norm.data() + norm.size(), v);
    if (res.ec != std::errc() || res.ptr != norm.data() + norm.size())
        return std::nullopt;
    if (v == 0)
        v = 0; // no negative zero
    return v;
}

QString formatNumber(double value) {
    return format(value, -1, false);
}

QString formatFixed2(double value) {
    return format(value, 2, false);
}

QString formatFixed(double value, int decimals, bool grouped) {
    return format(value, std::max(0, decimals), grouped);
}

QString formatGrouped2(double value) {
    return format(value, 2, true);
}

std::optional<double> storedNumber(std::string_view stored) {
    double v = 0;
    const auto res = std::from_chars(stored.data(), stored.data() + stored.size(), v);
    if (res.ec != std::errc() || res.ptr != stored.data() + stored.size())
        return std::nullopt;
    return v;
}

QString storedNumberText(std::string_view stored) {
    const auto v = storedNumber(stored);
    return v ? formatNumber(*v) : QString::fromUtf8(stored.data(), qsizetype(stored.size()));
}

std::optional<QDate> parseDate(QStringView text) {
    text = text.trimmed();
    int parts[3] = {0, 0, 0};
    int lengths[3] = {0, 0, 0};
    int k = 0;
    for (const QChar c : text) {
        if (isDigit(c)) {
            if (lengths[k] >= 4)
                return std::nullopt;
            parts[k] = parts[k] * 10 + (c.unicode() - '0');
            ++lengths[k];
        } else if (c == QLatin1Char('/') && k < 2 && lengths[k] > 0) {
            ++k;
        } else {
            return std::nullopt;
        }
    }
    if (k != 2 || lengths[0] > 2 || lengths[1] > 2 || lengths[2] != 4)
        return std::nullopt;
    const QDate d(parts[2], parts[1], parts[0]);
    if (!d.isValid() || parts[2] < 1000)
        return std::nullopt;
    return d;
}

QString formatDate(const QDate& date) {
    return date.isValid() ? QStringLiteral("%1/%2/%3")
                                .arg(date.day(), 2, 10, QLatin1Char('0'))
                                .arg(date.month(), 2, 10, QLatin1Char('0'))
                                .arg(date.year(), 4, 10, QLatin1Char('0'))
                          : QString();
}

QString isoDate(const QDate& date) {
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

std::optional<QDate> parseIsoDate(std::string_view iso) {
    if (iso.size() < 10 || iso[4] != '-' || iso[7] != '-')
        return std::nullopt;
    int y = 0, m = 0, d = 0;
    if (std::from_chars(iso.data(), iso.data() + 4, y).ptr != iso.data() + 4 ||
        std::from_chars(iso.data() + 5, iso.data() + 7, m).ptr != iso.data() + 7 ||
        std::from_chars(iso.data() + 8, iso.data() + 10, d).ptr != iso.data() + 10)
        return std::nullopt;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

QString storedDateText(std::string_view stored) {
    if (const auto d = parseIsoDate(stored))
        return formatDate(*d);
    return QString::fromUtf8(stored.data(), qsizetype(stored.size()));
}

QString shortened(const QString& text, int max) {
    if (text.size() <= max)
        return text;
    // Never half of a character: an emoji at the cut goes whole.
    const int cut = text[max - 1].isHighSurrogate() ? max - 1 : max;
    return text.left(cut) + QStringLiteral("…");
}

Result<std::optional<double>> numberField(const QString& field, const QString& text) {
    if (text.isEmpty())
        return std::optional<double>();
    if (const auto v = parseNumber(text))
        return std::optional<double>(*v);
    return makeError(QStringLiteral("Il campo %1 non accetta il valore \"%2\": non è un numero "
                                    "valido (esempi: 12 - 12,5 - 1.500,00).")
                         .arg(field, shortened(text)));
}

Result<std::optional<QString>> dateField(const QString& field, const QString& text) {
    if (text.trimmed().isEmpty())
        return std::optional<QString>();
    if (const auto d = parseDate(text))
        return std::optional<QString>(isoDate(*d));
    return makeError(
        QStringLiteral("Il campo %1 non accetta il valore \"%2\": non è una data valida "
                       "(giorno/mese/anno, per esempio 08/12/2026).")
            .arg(field, shortened(text)));
}

Result<int> orderNumberField(const QString& field, const QString& text) {
    const QString t = text.trimmed();
    bool digitsOnly = !t.isEmpty() && t.size() <= 5;
    for (const QChar c : t)
        digitsOnly = digitsOnly && isDigit(c);
    const int v = digitsOnly ? t.toInt() : 0;
    if (v < 1 || v > 32767)
        return makeError(QStringLiteral("Il campo %1 non accetta il valore \"%2\": il numero "
                                        "d'ordine deve essere un numero intero da 1 a 32767.")
                             .arg(field, shortened(text)));
    return v;
}

std::optional<std::int64_t> parseId(QStringView text) {
    const QString t = text.trimmed().toString();
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok || v <= 0)
        return std::nullopt;
    for (const QChar c : t)
        if (!isDigit(c))
            return std::nullopt;
    return std::int64_t(v);
}

QString capitalised(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace itext
