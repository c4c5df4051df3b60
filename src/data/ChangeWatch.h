#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What an answer was read from: the query with its values, the opening of the file, and how
// far the tables it reads had been written when it was read. Two equal snapshots mean the same
// rows; an invalid one equals none.
struct Snapshot {
    std::string query;
    // Which opening of a file (0: none, the answer is never reused).
    std::uint64_t opening = 0;
    // The engine's count of commits by other connections (PRAGMA data_version).
    std::int64_t otherWrites = -1;
    // The latest of this connection's writes to the tables read.
    std::uint64_t ownWrites = 0;

    bool valid() const { return opening != 0; }
    bool operator==(const Snapshot& o) const {
        return valid() && opening == o.opening && otherWrites == o.otherWrites &&
               ownWrites == o.ownWrites && query == o.query;
    }
    bool operator!=(const Snapshot& o) const { return !(*this == o); }
};

// The tables a statement reads and writes, as the engine named them while compiling it.
struct Footprint {
    std::vector<int> reads;
    std::vector<int> writes;
    // A statement that names no column of any table (count(*), a constant) may depend on any.
    bool readsAnything() const { return reads.empty(); }
};

// Tells whether the data a query read may have changed since. Every statement the connection
// compiles, whoever runs it, is shown to the watch by the engine (its authorizer): the tables
// it writes count as written each time it runs; a change of the schema, a rollback, or a
// statement compiled outside our Statement layer that writes counts as a write to every
// table. Writes by other connections are seen through the engine's data version of the file,
// for the whole file. A connection opened again is a new opening: nothing read before counts.
// Bytes written over the file by a program that is no connection (a copy put over it with `cp`,
// which keeps the file and its header) are seen through the file itself: its size, times and
// header other than the connection's own last write left them count as a write to every table.
class ChangeWatch {
public:
    ChangeWatch();
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    // Watches the connection from now on; detach() before it closes.
    void attach(sqlite3* db);
    void detach();

    // Collects the footprint of the statements compiled between the two calls.
    void beginCompile();
    Footprint endCompile();

    // A statement with this footprint is about to run.
    void running(const Footprint& f);
    // Every answer read so far is to be read again (the file may have changed in a way the
    // engine cannot see).
    void touchAll();

    // Watches the file through this descriptor of it, kept open by the caller until detach().
    void watchFile(int fd);
    // Looks at the file: changed by someone else since the last look or the connection's own
    // last write, every answer is to be read again, and so are the pages the engine kept.
    void lookAtFile();
    // The connection's own write has reached the file: the file as it is now is its own doing.
    void wroteFile();

    // The snapshot of an answer read now by a statement of this footprint; invalid when the
    // data version cannot be read.
    Snapshot snapshot(const Footprint& f, std::string query);

private:
    // What tells one state of the file from another without reading it whole.
    struct FileStamp {
        unsigned long long dev = 0, ino = 0;
        long long size = -1, modified = 0, modifiedNs = 0, changed = 0, changedNs = 0;
        std::array<unsigned char, 16> header{};
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp fileStamp() const;

    static int authorize(void* self, int action, const char* a, const char* b, const char* dbName,
                         const char* trigger);
    static void rolledBack(void* self);
    int tableId(const char* name);
    void wrote(int table);
    std::int64_t dataVersion();

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_version = nullptr;
    int m_fileFd = -1;
    FileStamp m_file;
    std::uint64_t m_opening = 0;
    // Each write takes the next tick of the clock; a table keeps the tick of its last write.
    std::uint64_t m_clock = 0;
    std::uint64_t m_allWritten = 0;
    std::vector<std::uint64_t> m_written;
    std::unordered_map<std::string, int> m_ids;
    // The table of the last row written, for the engine's hook called on each row.
    std::string m_rowTableName;
    int m_rowTable = -1;
    bool m_compiling = false;
    Footprint m_collected;
};
