#pragma once

#include <QString>

#include <string>
#include <string_view>

struct sqlite3;

// Finding a text by any part of it, as the collation ITALIANO compares letters: case and
// accents do not count ("citta" is found in "CITTÀ DI CASTELLO").
namespace textmatch {

// The SQL function MATCHES_FOLDED(needle, a, b, ...): 1 when any of the texts a, b... contains
// the needle at the collation's first level, else 0; NULL texts contain nothing. The needle is
// given already folded (fold()), so that it is folded once per query and not once per row.
// Registered on every connection of the program; no index, view or trigger names it, so a
// connection without it (the sqlcipher client) reads and writes the file as well.
inline constexpr const char* kFunction = "MATCHES_FOLDED";

std::string fold(std::string_view utf8);
std::string fold(const QString& text);
// `text` contains `foldedNeedle` (as fold() gives it) at the collation's first level.
bool contains(std::string_view text, std::string_view foldedNeedle);

int registerOn(sqlite3* db);

} // namespace textmatch
