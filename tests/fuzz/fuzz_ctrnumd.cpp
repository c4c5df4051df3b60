// CtrNumD on any double: what it writes is an Italian money text that reads back to the same
// amount and is written the same way again.

#include "FuzzCheck.h"
#include "masterdata/InputRules.h"
#include "text/ItalianText.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(double))
        return 0;
    double v = 0;
    std::memcpy(&v, data, sizeof v);
    if (!std::isfinite(v) || std::fabs(v) >= 1e13)
        return 0;
    const QString s = CtrNumD(v);
    const QString where = s + QStringLiteral(" from ") + QString::number(v, 'g', 17);
    // The pattern #,0.00: at least one integer digit, groups of three, two decimals.
    const qsizetype comma = s.indexOf(QLatin1Char(','));
    FUZZ_CHECK(comma > 0 && comma == s.size() - 3, where);
    const auto back = itext::parseNumber(s);
    FUZZ_CHECK(back.has_value(), where);
    FUZZ_CHECK(std::fabs(*back - v) <= 0.005000001 + std::fabs(v) * 1e-14, where);
    FUZZ_CHECK(CtrNumD(*back) == s, where);
    return 0;
}
