#include "TextMatch.h"

#include "Collation.h"

#include <sqlite3.h>

#include <cstring>
#include <optional>

namespace textmatch {
namespace {

// The folded form of one row's text, kept between calls so that a scan allocates once.
thread_local std::string t_buffer;

bool containsFolded(std::string_view folded, std::string_view needle) {
    if (needle.empty())
        return true;
    return folded.find(needle) != std::string_view::npos;
}

unsigned char upper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

// The text compared where it is, each letter in upper case, as long as it is plain ASCII (whose
// folded form is the text in upper case, byte for byte): most texts are, and a search reads
// many. None when a byte beyond ASCII comes before the answer is sure.
std::optional<bool> asciiContains(std::string_view text, std::string_view needle) {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* n = reinterpret_cast<const unsigned char*>(needle.data());
    const size_t size = text.size();
    const size_t length = needle.size();
    for (size_t i = 0; i < size; ++i) {
        if (t[i] >= 0x80)
            return std::nullopt;
        if (upper(t[i]) != n[0] || size - i < length)
            continue;
        size_t j = 1;
        while (j < length && t[i + j] < 0x80 && upper(t[i + j]) == n[j])
            ++j;
        if (j == length)
            return true;
    }
    return false;
}

void xMatches(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const auto* n = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const std::string_view needle(n ? n : "", size_t(sqlite3_value_bytes(argv[0])));
    for (int i = 1; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            continue;
        const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[i]));
        const std::string_view text(t ? t : "", size_t(sqlite3_value_bytes(argv[i])));
        if (contains(text, needle)) {
            sqlite3_result_int(ctx, 1);
            return;
        }
    }
    sqlite3_result_int(ctx, 0);
}

} // namespace

std::string fold(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    collation::appendPrimary(utf8, out);
    return out;
}

std::string fold(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return fold(std::string_view(utf8.constData(), size_t(utf8.size())));
}

bool contains(std::string_view text, std::string_view foldedNeedle) {
    if (foldedNeedle.empty())
        return true;
    if (const std::optional<bool> plain = asciiContains(text, foldedNeedle))
        return *plain;
    t_buffer.clear();
    collation::appendPrimary(text, t_buffer);
    return containsFolded(t_buffer, foldedNeedle);
}

int registerOn(sqlite3* db) {
    return sqlite3_create_function(db, kFunction, -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   &xMatches, nullptr, nullptr);
}

} // namespace textmatch
