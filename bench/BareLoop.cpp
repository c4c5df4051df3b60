#include "BareLoop.h"

#include <sqlite3.h>

namespace bench {

namespace {
// Keeps the compiler from dropping the reads.
volatile unsigned long long g_sink = 0;
} // namespace

long long bareLoop(sqlite3* db, const char* sql, std::initializer_list<QByteArray> binds) {
    std::vector<std::pair<int, QByteArray>> at;
    for (const QByteArray& b : binds)
        at.emplace_back(int(at.size()) + 1, b);
    return bareLoopAt(db, sql, at);
}

long long bareLoopAt(sqlite3* db, const char* sql,
                     const std::vector<std::pair<int, QByteArray>>& binds) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        return -1;
    for (const auto& [i, b] : binds)
        sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    const int n = sqlite3_column_count(st);
    long long rows = 0;
    unsigned long long sum = 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            const unsigned char* t = sqlite3_column_text(st, c);
            sum += unsigned(sqlite3_column_bytes(st, c)) + (t ? t[0] : 0);
        }
        ++rows;
    }
    sqlite3_finalize(st);
    g_sink = g_sink + sum;
    return rc == SQLITE_DONE ? rows : -1;
}

} // namespace bench
