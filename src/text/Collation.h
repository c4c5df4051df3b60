#pragma once

#include <string>
#include <string_view>

struct sqlite3;

// The collation "ITALIANO": text ordered as an Italian reader expects, accented letters beside
// their base letters and case ignored ("àtt" sorts with "ATT"); two texts are equal under it
// exactly when their upper-case forms are equal, so it also serves as the case-insensitive
// equality of lookups. Must be registered on every connection that names it.
namespace collation {

inline constexpr const char* kName = "ITALIANO";

int compare(std::string_view a, std::string_view b);
int registerOn(sqlite3* db);

// Appends to `out` the text as the collation's first level sees it: each letter its base
// letter in upper case, combining marks left out ("Città" gives "CITTA"). Two texts are equal at
// that level exactly when these forms are equal; a text contains another at that level when its
// form contains the other's.
void appendPrimary(std::string_view utf8, std::string& out);

} // namespace collation
