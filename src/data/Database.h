#pragma once

#include "ChangeWatch.h"
#include "FileKey.h"
#include "Statement.h"
#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string_view>

struct sqlite3;

// The one connection to the encrypted database file. Opened at start-up, closed on exit or when
// the object goes. While it is open the file is locked against a second copy of the program.
class Database {
public:
    struct Options {
        // Refuse the file when another process of ours holds it.
        bool exclusive = true;
        // Create a new file: the database tool and the conversion of an old archive; the program
        // never makes a file it is asked to open.
        bool create = false;
        int busyTimeoutMs = 2000;
    };

    static Result<std::unique_ptr<Database>> open(const QString& path, const QByteArray& key);
    static Result<std::unique_ptr<Database>> open(const QString& path, const QByteArray& key,
                                                  const Options& options);
    // With the built-in key, or with a personal password and its own settings.
    static Result<std::unique_ptr<Database>> open(const QString& path, const FileKey& key);
    static Result<std::unique_ptr<Database>> open(const QString& path, const FileKey& key,
                                                  const Options& options);
    // Removes a database file that is not open, with its journals.
    static void removeFiles(const QString& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isOpen() const { return m_db != nullptr; }
    void close();
    const QString& path() const { return m_path; }
    // The key the file opened with: copies of the file are written and checked with it.
    const FileKey& key() const { return m_key; }

    // Statement texts are fixed in the program; values go through Statement::bind.
    Result<Statement> prepare(std::string_view sql);
    Status exec(std::string_view sql);

    // Runs the writes of fn as one transaction: all of them are stored, or none. Before it begins
    // it makes sure the file is still the one opened and may be written.
    template <class F> Status write(F&& fn) {
        if (Status s = beginWrite(); !s)
            return s;
        Status s = fn();
        return endWrite(std::move(s));
    }

    // Rows changed by the last statement.
    int changes() const;
    // Rows changed through this connection since it was opened: a count that grows with every
    // write.
    std::int64_t totalChanges() const;
    std::int64_t lastInsertId() const;

    // The engine's error of the last call, described in Italian.
    Error lastError() const;
    Error engineError(int rc) const;

    // The file is still the one opened (not removed, replaced or written over) and may be
    // written.
    Status checkWritable() const;

    // Narrows the rights of the file, when it is the user's own, and of its journals to the
    // owner alone: no other user of the machine can read the agent's data.
    void keepOwnerOnly();

    // Makes sure no other connection (another program, another copy of this one) has the file
    // open, and keeps it so until the connection closes or lets go: the engine's exclusive lock,
    // the write-ahead log folded into the file and gone, so that closing touches no file by name.
    // Busy when another connection holds the file.
    Status holdAlone();
    // Whether the failure is the lock of another connection on the file.
    static bool heldByAnother(const Error& e);
    // Gives the exclusive lock back; the next write uses the write-ahead log again.
    void letGo();

    // How long a statement waits for another program's lock on the file before it gives up.
    void setBusyTimeout(int ms);

    sqlite3* handle() const { return m_db; }
    // Our own descriptor of the file, to read its bytes at given offsets (pread and the like);
    // never closed nor moved by whoever reads through it.
    int fileDescriptor() const { return m_fileFd; }

    // What tells the lists whether the data they show may have changed.
    ChangeWatch& watch() { return m_watch; }

private:
    Database() = default;
    Status beginWrite();
    Status endWrite(Status result);
    Result<QByteArray> readHeader() const;
    void keepJournalsOwnerOnly() const;

    sqlite3* m_db = nullptr;
    ChangeWatch m_watch;
    QString m_path;
    FileKey m_key;
    // Our own descriptor of the file, open for the connection's whole life: it holds the lock
    // against a second copy and reads the header. Closing any descriptor of the file would drop
    // every lock the engine holds on it in this process, so none is opened and closed meanwhile.
    int m_fileFd = -1;
    unsigned long long m_dev = 0;
    unsigned long long m_ino = 0;
    int m_busyTimeoutMs = 0;
    // The first bytes of the file as they were when it was opened (the cipher's salt): another
    // program writing over the file changes them.
    QByteArray m_header;
    // The key was found right: from then on an unreadable page means a damaged file.
    bool m_established = false;
    // The journal mode was set (at the first write).
    bool m_journalSet = false;
};

// The Italian description of an engine result code.
QString describeEngineCode(int rc);

// What a failure to open says of the file, for those above that never see the engine's codes:
// not a database under the key tried (a wrong key, or no database at all), or damaged.
bool isNotADatabase(const Error& e);
bool isDamagedFile(const Error& e);
// A statement that failed on a value a table refuses (a constraint).
bool isRefusedValue(const Error& e);
// A failure of each kind, with its text: the engine's own description when none is given.
Error notADatabase(QString text);
Error damagedFile();
