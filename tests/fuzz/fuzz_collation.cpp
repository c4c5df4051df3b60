// The ITALIANO collation is an order: antisymmetric, equal texts compare alike with any third,
// and it agrees with itself however the input is cut.

#include "FuzzCheck.h"
#include "text/Collation.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t cut1 = data[0] % size;
    const size_t cut2 = cut1 + (data[1] % (size - cut1));
    const std::string_view all(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string_view a = all.substr(0, std::min(cut1, all.size()));
    const std::string_view rest = all.substr(a.size());
    const std::string_view b = rest.substr(0, std::min(cut2 - cut1, rest.size()));
    const std::string_view c = rest.substr(b.size());
    const auto where = QString::fromUtf8(all.data(), qsizetype(all.size()));
    const int ab = collation::compare(a, b);
    FUZZ_CHECK(ab == -collation::compare(b, a), where);
    FUZZ_CHECK(collation::compare(a, a) == 0, where);
    if (ab == 0)
        FUZZ_CHECK(collation::compare(a, c) == collation::compare(b, c), where);
    const int bc = collation::compare(b, c);
    if (ab <= 0 && bc <= 0)
        FUZZ_CHECK(collation::compare(a, c) <= 0, where);
    return 0;
}
