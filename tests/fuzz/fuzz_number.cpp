// The number text reader: whatever it reads, the forms the program writes read back to the
// same value.

#include "FuzzCheck.h"
#include "text/ItalianText.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const auto v = itext::parseNumber(text);
    if (!v)
        return 0;
    FUZZ_CHECK(std::isfinite(*v), text);
    const QString shown = itext::formatNumber(*v);
    const auto back = itext::parseNumber(shown);
    FUZZ_CHECK(back && *back == *v, text + QStringLiteral(" -> ") + shown);
    const QString money = itext::formatGrouped2(*v);
    const auto m = itext::parseNumber(money);
    FUZZ_CHECK(m.has_value(), text + QStringLiteral(" -> ") + money);
    FUZZ_CHECK(itext::formatGrouped2(*m) == money, money);
    FUZZ_CHECK(std::fabs(*m - *v) <= 0.005 * (1 + 1e-9) + std::fabs(*v) * 1e-14, money);
    const QString fixed = itext::formatFixed2(*v);
    FUZZ_CHECK(itext::parseNumber(fixed).has_value(), fixed);
    return 0;
}
