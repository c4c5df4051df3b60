// The date text reader: a date it reads is a real date, written back the same way.

#include "FuzzCheck.h"
#include "text/ItalianText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzzText(data, size);
    const auto d = itext::parseDate(text);
    if (!d)
        return 0;
    FUZZ_CHECK(d->isValid(), text);
    const QString shown = itext::formatDate(*d);
    FUZZ_CHECK(shown.size() == 10, shown);
    FUZZ_CHECK(itext::parseDate(shown) == d, shown);
    FUZZ_CHECK(itext::parseIsoDate(itext::isoDate(*d).toStdString()) == d, text);
    FUZZ_CHECK(itext::storedDateText(itext::isoDate(*d).toStdString()) == shown, text);
    return 0;
}
