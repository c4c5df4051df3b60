#pragma once

#include <clocale>
#include <locale.h>

// The "C" locale for the calling thread while the object lives. The toolkit's start-up adopts
// the environment's locale for the C library, so printf and strtod inside libraries (the
// workbook writer) would write and read a decimal comma under an Italian desktop; files must
// not depend on the desktop's locale.
class ScopedCLocale {
public:
    ScopedCLocale() : m_c(::newlocale(LC_ALL_MASK, "C", locale_t(0))) {
        if (m_c)
            m_previous = ::uselocale(m_c);
    }
    ~ScopedCLocale() {
        if (m_c) {
            ::uselocale(m_previous);
            ::freelocale(m_c);
        }
    }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    locale_t m_c;
    locale_t m_previous = LC_GLOBAL_LOCALE;
};
