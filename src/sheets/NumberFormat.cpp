#include "NumberFormat.h"

#include "text/ItalianText.h"

#include <QLocale>

#include <algorithm>
#include <string>
#include <vector>

namespace sheets {
namespace {

// The format's sections, split at the semicolons outside quotes.
std::vector<std::string_view> sectionsOf(std::string_view f) {
    std::vector<std::string_view> out;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '"')
            quoted = !quoted;
        else if (f[i] == '\\' && !quoted)
            ++i;
        else if (f[i] == ';' && !quoted) {
            out.push_back(f.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(f.substr(start));
    return out;
}

// One section: the texts before and after the number, its decimals and its grouping.
struct Section {
    std::string before;
    std::string after;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouped = false;
    bool percent = false;
    bool digits = false;
};

bool isPlaceholder(char c) {
    return c == '0' || c == '#' || c == '?';
}

// The bytes of the UTF-8 character that starts at i.
std::size_t charLength(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return std::min(n, s.size() - i);
}

Section parse(std::string_view s) {
    Section out;
    bool point = false;
    std::string* text = &out.before;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            std::size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos)
                end = s.size();
            text->append(s.substr(i + 1, end - i - 1));
            i = end;
        } else if (c == '\\' && i + 1 < s.size()) {
            const std::size_t n = charLength(s, i + 1);
            text->append(s.substr(i + 1, n));
            i += n;
        } else if (c == '[') {
            const std::size_t end = s.find(']', i);
            i = end == std::string_view::npos ? s.size() : end;
        } else if (c == '_' && i + 1 < s.size()) {
            // Room as wide as the next character: a blank will do.
            text->push_back(' ');
            i += charLength(s, i + 1);
        } else if (c == '*' && i + 1 < s.size()) {
            i += charLength(s, i + 1);
        } else if (isPlaceholder(c)) {
            out.digits = true;
            text = &out.after;
            if (point) {
                ++out.maxDecimals;
                if (c != '#')
                    out.minDecimals = out.maxDecimals;
            }
        } else if (c == '.' && !point &&
                   (out.digits || (i + 1 < s.size() && isPlaceholder(s[i + 1])))) {
            point = true;
            out.digits = true;
            text = &out.after;
        } else if (c == ',' && out.digits && !point) {
            out.grouped = true;
        } else {
            if (c == '%')
                out.percent = true;
            const std::size_t n = charLength(s, i);
            text->append(s.substr(i, n));
            i += n - 1;
        }
    }
    return out;
}

QString general(double v) {
    static const QLocale plain = [] {
        QLocale l(QLocale::Italian, QLocale::Italy);
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    return plain.toString(v, 'g', 10);
}

} // namespace

QString formatNumber(double value, std::string_view numberFormat) {
    if (numberFormat.empty() || numberFormat == "General" || numberFormat == "general")
        return general(value);
    const std::vector<std::string_view> sections = sectionsOf(numberFormat);
    std::string_view chosen = sections[0];
    bool minus = false;
    if (value < 0 && sections.size() >= 2) {
        chosen = sections[1];
        value = -value;
    } else if (value == 0 && sections.size() >= 3) {
        chosen = sections[2];
    } else if (value < 0) {
        minus = true;
        value = -value;
    }
    const Section s = parse(chosen);
    if (!s.digits)
        return QString::fromUtf8(s.before.data(), qsizetype(s.before.size()));
    if (s.percent)
        value *= 100;
    QString number = itext::formatFixed(value, s.maxDecimals, s.grouped);
    // The optional decimals ('#') show only when they are not zero.
    if (s.maxDecimals > s.minDecimals) {
        int decimals = s.maxDecimals;
        while (decimals > s.minDecimals && number.endsWith(QLatin1Char('0'))) {
            number.chop(1);
            --decimals;
        }
        if (decimals == 0 && number.endsWith(QLatin1Char(',')))
            number.chop(1);
    }
    // A negative number shows its sign first, unless it shows as zero.
    const bool sign = minus && std::any_of(number.begin(), number.end(), [](QChar c) {
                          return c >= QLatin1Char('1') && c <= QLatin1Char('9');
                      });
    return (sign ? QStringLiteral("-") : QString()) +
           QString::fromUtf8(s.before.data(), qsizetype(s.before.size())) + number +
           QString::fromUtf8(s.after.data(), qsizetype(s.after.size()));
}

} // namespace sheets
