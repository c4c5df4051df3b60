#include "ChangeWatch.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every opening of a file in this process has a number of its own, never used again.
std::atomic<std::uint64_t> g_openings{0};

// In a footprint's writes: the statement changes the schema, which may change any answer.
constexpr int kEveryTable = -1;

void addOnce(std::vector<int>& ids, int id) {
    if (std::find(ids.begin(), ids.end(), id) == ids.end())
        ids.push_back(id);
}

} // namespace

ChangeWatch::ChangeWatch() = default;

ChangeWatch::~ChangeWatch() {
    detach();
}

void ChangeWatch::attach(sqlite3* db) {
    detach();
    m_db = db;
    m_opening = ++g_openings;
    sqlite3_set_authorizer(db, &ChangeWatch::authorize, this);
    sqlite3_rollback_hook(db, &ChangeWatch::rolledBack, this);
    // A write through a statement compiled outside our layer and run more than once is still
    // seen, row by row (for tables with row ids).
    sqlite3_update_hook(
        db,
        [](void* self, int, const char*, const char* table, sqlite3_int64) {
            auto* w = static_cast<ChangeWatch*>(self);
            if (w->m_rowTable < 0 || w->m_rowTableName != table) {
                w->m_rowTableName = table;
                w->m_rowTable = w->tableId(table);
            }
            w->wrote(w->m_rowTable);
        },
        this);
}

void ChangeWatch::detach() {
    if (m_version) {
        sqlite3_finalize(m_version);
        m_version = nullptr;
    }
    if (m_db) {
        sqlite3_set_authorizer(m_db, nullptr, nullptr);
        sqlite3_rollback_hook(m_db, nullptr, nullptr);
        sqlite3_update_hook(m_db, nullptr, nullptr);
    }
    m_db = nullptr;
    m_opening = 0;
    m_fileFd = -1;
    m_file = FileStamp();
}

void ChangeWatch::watchFile(int fd) {
    m_fileFd = fd;
    m_file = fileStamp();
}

ChangeWatch::FileStamp ChangeWatch::fileStamp() const {
    FileStamp f;
    struct stat st {};
    if (m_fileFd < 0 || ::fstat(m_fileFd, &st) != 0)
        return f;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
    f.size = st.st_size;
    f.modified = st.st_mtim.tv_sec;
    f.modifiedNs = st.st_mtim.tv_nsec;
    f.changed = st.st_ctim.tv_sec;
    f.changedNs = st.st_ctim.tv_nsec;
    // The cipher's salt: a file written over by another of the same key's files changes it even
    // within the same tick of the file system's clock.
    if (::pread(m_fileFd, f.header.data(), f.header.size(), 0) < 0)
        f.header.fill(0);
    return f;
}

void ChangeWatch::lookAtFile() {
    if (!m_db || m_fileFd < 0)
        return;
    FileStamp now = fileStamp();
    if (now == m_file)
        return;
    m_file = now;
    touchAll();
    // The engine would go on reading the pages it kept from before: it sees changes made through
    // a connection only.
    sqlite3_db_release_memory(m_db);
}

void ChangeWatch::wroteFile() {
    if (m_fileFd >= 0)
        m_file = fileStamp();
}

void ChangeWatch::beginCompile() {
    m_compiling = true;
    m_collected = Footprint();
}

Footprint ChangeWatch::endCompile() {
    m_compiling = false;
    return std::move(m_collected);
}

void ChangeWatch::running(const Footprint& f) {
    for (const int id : f.writes) {
        if (id == kEveryTable)
            touchAll();
        else
            wrote(id);
    }
}

void ChangeWatch::touchAll() {
    m_allWritten = ++m_clock;
}

Snapshot ChangeWatch::snapshot(const Footprint& f, std::string query) {
    Snapshot s;
    if (!m_db)
        return s;
    lookAtFile();
    s.query = std::move(query);
    s.otherWrites = dataVersion();
    if (s.otherWrites < 0)
        return s;
    if (f.readsAnything()) {
        s.ownWrites = m_clock;
    } else {
        s.ownWrites = m_allWritten;
        for (const int id : f.reads)
            s.ownWrites = std::max(s.ownWrites, m_written[size_t(id)]);
    }
    s.opening = m_opening;
    return s;
}

int ChangeWatch::authorize(void* self, int action, const char* a, const char*, const char*,
                           const char*) {
    auto* w = static_cast<ChangeWatch*>(self);
    switch (action) {
    case SQLITE_READ:
        if (w->m_compiling && a)
            addOnce(w->m_collected.reads, w->tableId(a));
        break;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        if (!a)
            break;
        // Compiled by our layer, the statement counts its writes each time it runs; compiled
        // elsewhere (a script run at once, a statement compiled again by the engine before it
        // runs), it counts them now.
        if (w->m_compiling)
            addOnce(w->m_collected.writes, w->tableId(a));
        else
            w->wrote(w->tableId(a));
        break;
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
    case SQLITE_PRAGMA:
    case SQLITE_RECURSIVE:
        break;
    default:
        // Anything else changes the schema or what the connection sees.
        if (w->m_compiling)
            addOnce(w->m_collected.writes, kEveryTable);
        else
            w->touchAll();
        break;
    }
    return SQLITE_OK;
}

void ChangeWatch::rolledBack(void* self) {
    // What was read inside the transaction may have been undone.
    static_cast<ChangeWatch*>(self)->touchAll();
}

int ChangeWatch::tableId(const char* name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    const auto [it, added] = m_ids.try_emplace(std::move(key), int(m_written.size()));
    if (added)
        m_written.push_back(0);
    return it->second;
}

void ChangeWatch::wrote(int table) {
    m_written[size_t(table)] = ++m_clock;
}

std::int64_t ChangeWatch::dataVersion() {
    if (!m_version) {
        if (sqlite3_prepare_v2(m_db, "PRAGMA data_version;", -1, &m_version, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(m_version);
            m_version = nullptr;
            return -1;
        }
    }
    std::int64_t v = -1;
    if (sqlite3_step(m_version) == SQLITE_ROW)
        v = sqlite3_column_int64(m_version, 0);
    // Reset at once: a statement left open would hold a read of the file.
    sqlite3_reset(m_version);
    return v;
}
