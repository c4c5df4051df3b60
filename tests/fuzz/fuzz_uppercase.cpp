// The upper-case rule settles: applied to its own result it changes nothing, and the caret
// stays inside the text.

#include "FuzzCheck.h"
#include "masterdata/InputRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int caret = data[0];
    const QString text = fuzzText(data + 1, size - 1);
    const auto u = inputrules::upperCased(text, caret);
    FUZZ_CHECK(u.caret >= 0 && u.caret <= u.text.size(), text);
    const auto again = inputrules::upperCased(u.text, u.caret);
    FUZZ_CHECK(again.text == u.text, text);
    FUZZ_CHECK(again.caret == u.caret, text);
    return 0;
}
