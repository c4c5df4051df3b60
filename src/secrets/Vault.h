#pragma once

#include "Keyring.h"
#include "base/Result.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

class Database;

// The passwords of the accounts the program uses: the mail server's (for sending orders) and
// the agency server's (for the sync). They live in the desktop's keyring. Where no keyring
// answers, a password is kept in the database file only while the file has a personal password
// (then it is as safe as the file); otherwise it is asked at its first use and kept in memory
// until the program ends. A file never holds one under the program's built-in key.
namespace secrets {

enum class Account { Mail, Server };

// Where a password is kept.
enum class Place { Keyring, File, Memory };

struct Found {
    // The password, when one is kept and could be read now.
    std::optional<QString> password;
    // A password is wanted but cannot be read now (the keyring does not answer, or has lost it,
    // or it was kept in memory by an earlier run): to be asked.
    bool toAsk = false;
    // Where the password is kept, or where one given now would be.
    Place place = Place::Memory;
    // The keyring answers but no longer has the password it was given.
    bool lost = false;
    // Why the keyring cannot be used, when it cannot.
    QString keyringTrouble;
};

// The passwords a tidying took out of the file.
struct Moved {
    QList<Account> accounts;
    // Where they went: the keyring, or memory.
    Place place = Place::Keyring;
    QString keyringTrouble;
};

class Vault {
public:
    Vault() = default;
    Vault(const Vault&) = delete;
    Vault& operator=(const Vault&) = delete;

    // The keyring asked from now on; none answers until one is given.
    void useKeyring(Keyring& keyring) { m_keyring = &keyring; }
    Keyring& keyring() { return *m_keyring; }

    // The password kept for the account of the file open in `db`. The keyring is asked only when
    // the password is there, or when `why` asks why it cannot be used (for the settings'
    // windows).
    Found find(Database& db, Account account, bool why = false);
    // Keeps `password` for the account: in the keyring, else in the file while it has a personal
    // password, else in memory until the program ends. An empty one: no password is kept. Where
    // it went; nothing is changed when the file cannot be written.
    Result<Place> keep(Database& db, Account account, const QString& password);

    // Run whenever a file is opened, put in place or given a personal password: passwords an
    // earlier version kept in the file's settings, and those kept in the file while the keyring
    // now answers or while the file no longer has a personal password, leave the file (erased,
    // not only unlinked) for the keyring, or for memory; those kept in memory go to the keyring
    // or into a file with a personal password. What left the file, when anything did.
    Result<std::optional<Moved>> tidy(Database& db);
    // Before the file goes back to the built-in key: the passwords kept in it leave it for the
    // keyring, or for memory. What left, when anything did.
    Result<std::optional<Moved>> leaveFile(Database& db);

    // For the settings' windows: where the password is kept, in a sentence.
    static QString placeText(Account account, const Found& found);
    // The prompt of a password to ask (found.toAsk): why it is asked, and whose it is.
    static QString askText(Account account, const Found& found, const QString& user,
                           const QString& host);
    // "dell'account di posta", "del server dell'agenzia".
    static QString ofAccount(Account account);

private:
    Result<QString> keyringName(Database& db, Account account, bool make);
    // The keyring's answer to a look at the account's name: whether it answers now.
    KeyringAnswer probe(Database& db, Account account);
    // Keeps a password given: the keyring first, else the file when allowed, else memory; why
    // the keyring could not take it in `trouble`.
    Result<Place> keepOutside(Database& db, Account account, const QString& password,
                              bool fileAllowed, QString* trouble);

    NoKeyring m_none;
    Keyring* m_keyring = &m_none;
    QHash<int, QString> m_memory;
};

} // namespace secrets
