#include "Collation.h"

#include <QChar>

#include <sqlite3.h>

#include <algorithm>

namespace collation {
namespace {

// Base letters of the Latin-1 Supplement, from U+00C0.
constexpr char32_t kLatin1Base[64] = {
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C',  'E', 'E', 'E', 'E', 'I', 'I', 'I',  'I',
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 0xD7, 'O', 'U', 'U', 'U', 'U', 'Y', 0xDE, 'S',
    'A', 'A', 'A', 'A', 'A', 'A', 'A', 'C',  'E', 'E', 'E', 'E', 'I', 'I', 'I',  'I',
    'D', 'N', 'O', 'O', 'O', 'O', 'O', 0xF7, 'O', 'U', 'U', 'U', 'U', 'Y', 0xDE, 'Y',
};

// Base letters of Latin Extended-A, from U+0100, as runs: each entry covers up to `last`.
struct Run {
    char32_t last;
    char32_t base;
};
constexpr Run kLatinExtA[] = {
    {0x0105, 'A'}, {0x010D, 'C'}, {0x0111, 'D'}, {0x011B, 'E'}, {0x0123, 'G'},
    {0x0127, 'H'}, {0x0133, 'I'}, {0x0135, 'J'}, {0x0138, 'K'}, {0x0142, 'L'},
    {0x014B, 'N'}, {0x0153, 'O'}, {0x0159, 'R'}, {0x0161, 'S'}, {0x0167, 'T'},
    {0x0173, 'U'}, {0x0175, 'W'}, {0x0178, 'Y'}, {0x017E, 'Z'}, {0x017F, 'S'},
};

char32_t upper(char32_t c) {
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    return QChar::toUpper(c);
}

// A combining mark has no primary weight of its own.
constexpr char32_t kNoWeight = 0xFFFFFFFF;

// The primary weight: base letter, upper case.
char32_t primary(char32_t c) {
    if (c < 0x80)
        return upper(c);
    if (c >= 0xC0 && c <= 0xFF)
        return kLatin1Base[c - 0xC0];
    if (c >= 0x100 && c <= 0x17F) {
        for (const Run& r : kLatinExtA)
            if (c <= r.last)
                return r.base;
    }
    if (c >= 0x300 && c <= 0x36F)
        return kNoWeight;
    return upper(c);
}

// Decodes one code point of UTF-8 at p (p < end); malformed bytes stand for themselves.
char32_t decode(const unsigned char*& p, const unsigned char* end) {
    const unsigned char b = *p++;
    if (b < 0x80)
        return b;
    int extra = 0;
    char32_t c = 0;
    if ((b & 0xE0) == 0xC0) {
        extra = 1;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3;
        c = b & 0x07;
    } else {
        return 0xDC00 + b;
    }
    if (end - p < extra)
        return 0xDC00 + b;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xDC00 + b;
        c = (c << 6) | (p[i] & 0x3F);
    }
    p += extra;
    return c;
}

class Cursor {
public:
    explicit Cursor(std::string_view s)
        : m_p(reinterpret_cast<const unsigned char*>(s.data())), m_end(m_p + s.size()) {}

    // Next code point with a primary weight; false at the end. `secondary` gets the upper-case
    // form of every code point passed, marks included, so no difference is lost.
    bool next(char32_t& prim, char32_t& sec) {
        while (m_p < m_end) {
            const char32_t c = decode(m_p, m_end);
            const char32_t w = primary(c);
            if (w == kNoWeight) {
                m_marks = m_marks * 31 + c;
                continue;
            }
            prim = w;
            sec = upper(c);
            return true;
        }
        return false;
    }
    unsigned long long marks() const { return m_marks; }

private:
    const unsigned char* m_p;
    const unsigned char* m_end;
    unsigned long long m_marks = 0;
};

int compareFrom(std::string_view a, std::string_view b);

int xCompare(void*, int na, const void* a, int nb, const void* b) {
    return compare(std::string_view(static_cast<const char*>(a), size_t(na)),
                   std::string_view(static_cast<const char*>(b), size_t(nb)));
}

} // namespace

int compare(std::string_view a, std::string_view b) {
    // Most names are plain ASCII: compare their upper case directly up to the first byte that
    // is not, and go on from there with the full rule (the prefix is then equal at every level).
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80)
            break;
        if (ca == cb)
            continue;
        const char32_t ua = upper(ca), ub = upper(cb);
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
    if (i == n && a.size() == b.size())
        return 0;
    return compareFrom(a.substr(i), b.substr(i));
}

namespace {

int compareFrom(std::string_view a, std::string_view b) {
    Cursor ca(a), cb(b);
    int secondary = 0;
    for (;;) {
        char32_t pa = 0, sa = 0, pb = 0, sb = 0;
        const bool ha = ca.next(pa, sa);
        const bool hb = cb.next(pb, sb);
        if (!ha || !hb) {
            if (ha != hb)
                return ha ? 1 : -1;
            break;
        }
        if (pa != pb)
            return pa < pb ? -1 : 1;
        if (secondary == 0 && sa != sb)
            secondary = sa < sb ? -1 : 1;
    }
    if (secondary != 0)
        return secondary;
    if (ca.marks() != cb.marks())
        return ca.marks() < cb.marks() ? -1 : 1;
    return 0;
}

} // namespace

namespace {

char* putUtf8(char32_t c, char* o) {
    if (c < 0x80) {
        *o++ = char(c);
    } else if (c < 0x800) {
        *o++ = char(0xC0 | (c >> 6));
        *o++ = char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = char(0xE0 | (c >> 12));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    } else {
        *o++ = char(0xF0 | (c >> 18));
        *o++ = char(0x80 | ((c >> 12) & 0x3F));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
        *o++ = char(0x80 | (c & 0x3F));
    }
    return o;
}

} // namespace

void appendPrimary(std::string_view utf8, std::string& out) {
    // Each byte gives at most three (a stray byte stands for a code point of three), so the
    // form is written in place, without growing the string byte by byte: a search folds every
    // row it reads.
    const size_t start = out.size();
    out.resize(start + 3 * utf8.size());
    char* o = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        if (*p < 0x80) {
            const unsigned char c = *p++;
            *o++ = char(c >= 'a' && c <= 'z' ? c - 32 : c);
            continue;
        }
        const char32_t w = primary(decode(p, end));
        if (w != kNoWeight)
            o = putUtf8(w, o);
    }
    out.resize(size_t(o - out.data()));
}

int registerOn(sqlite3* db) {
    return sqlite3_create_collation(db, kName, SQLITE_UTF8, nullptr, &xCompare);
}

} // namespace collation
