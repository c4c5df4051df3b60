#pragma once

#include <QByteArray>

#include <initializer_list>
#include <utility>
#include <vector>

struct sqlite3;

// The floor of every list and combo fill: the engine's own loop over a query, each column of
// each row read as text, nothing kept.
namespace bench {

// Runs sql on the connection with the texts bound to ?1, ?2...; the rows read, or -1 on a
// failure.
long long bareLoop(sqlite3* db, const char* sql, std::initializer_list<QByteArray> binds = {});
// The same with each text bound to the parameter of its number; the others stay NULL.
long long bareLoopAt(sqlite3* db, const char* sql,
                     const std::vector<std::pair<int, QByteArray>>& binds);

} // namespace bench
