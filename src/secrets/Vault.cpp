#include "Vault.h"

#include "data/Database.h"

#include <QUuid>

namespace secrets {
namespace {

// The rows of PROTEZIONE this capability keeps: the file's own name in the keyring, and for
// each account where its password is ("portachiavi", "file", "memoria") and, while it is kept
// in the file, the password itself.
constexpr const char* kKeyringName = "portachiavi";

QString tag(Account a) {
    return a == Account::Mail ? QStringLiteral("posta") : QStringLiteral("server");
}
QString whereKey(Account a) {
    return tag(a) + QLatin1String(".dove");
}
QString passwordKey(Account a) {
    return tag(a) + QLatin1String(".password");
}

// The value of a row, none when there is no row.
Result<std::optional<QString>> valueOf(Database& db, const char* sql, const QString& key) {
    auto st = db.prepare(sql);
    if (!st)
        return st.error();
    st->bind(1, key);
    if (st->next())
        return std::optional<QString>(st->text(0));
    if (Status s = st->status(); !s)
        return s.error();
    return std::optional<QString>();
}

Result<std::optional<QString>> row(Database& db, const QString& key) {
    return valueOf(db, "SELECT VALORE FROM PROTEZIONE WHERE CHIAVE = ?1;", key);
}

// Writes of rows (a value, or none to remove the row) in one transaction, with what they
// replace overwritten in the file, not only unlinked: a password taken out leaves no bytes.
using Change = std::pair<QString, std::optional<QString>>;

template <class F> Status erasing(Database& db, F&& fn) {
    auto st = db.prepare("PRAGMA secure_delete;");
    const bool before = st && st->next() && st->int64(0) != 0;
    if (Status s = db.exec("PRAGMA secure_delete = ON;"); !s)
        return s;
    Status s = db.write(std::forward<F>(fn));
    if (!before)
        (void)db.exec("PRAGMA secure_delete = OFF;");
    return s;
}

Status setRows(Database& db, const QList<Change>& changes) {
    return erasing(db, [&]() -> Status {
        for (const auto& [key, value] : changes) {
            auto st = value ? db.prepare("INSERT OR REPLACE INTO PROTEZIONE (CHIAVE, VALORE) "
                                         "VALUES (?1, ?2);")
                            : db.prepare("DELETE FROM PROTEZIONE WHERE CHIAVE = ?1;");
            if (!st)
                return st.error();
            st->bind(1, key);
            if (value)
                st->bind(2, *value);
            if (Status s = st->run(); !s)
                return s;
        }
        return {};
    });
}

// Where an earlier version kept each password: among the plain settings of the file.
const char* oldStore(Account a) {
    return a == Account::Mail ? "SELECT VALORE FROM IMPOSTAZIONE_INVIO WHERE CHIAVE = ?1;"
                              : "SELECT VALORE FROM SYNC_STATO WHERE CHIAVE = ?1;";
}
QString oldKey(Account a) {
    return a == Account::Mail ? QStringLiteral("password") : QStringLiteral("server.password");
}

const Account kAccounts[] = {Account::Mail, Account::Server};

} // namespace

QString Vault::ofAccount(Account account) {
    return account == Account::Mail ? QStringLiteral("dell'account di posta")
                                    : QStringLiteral("del server dell'agenzia");
}

Result<QString> Vault::keyringName(Database& db, Account account, bool make) {
    auto id = row(db, QLatin1String(kKeyringName));
    if (!id)
        return id.error();
    QString name = id->value_or(QString());
    if (name.isEmpty() && make) {
        name = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (Status s = setRows(db, {{QLatin1String(kKeyringName), name}}); !s)
            return s.error();
    }
    if (name.isEmpty())
        return QString();
    return name + QLatin1Char('/') + tag(account);
}

KeyringAnswer Vault::probe(Database& db, Account account) {
    auto name = keyringName(db, account, false);
    // A file that never put a password there asks under a name no entry has.
    const QString asked = name && !name->isEmpty() ? *name : QLatin1String("-/") + tag(account);
    return m_keyring->read(asked);
}

Found Vault::find(Database& db, Account account, bool why) {
    Found f;
    const bool personal = db.key().personal;
    auto trouble = [&]() {
        if (why) {
            const KeyringAnswer answer = probe(db, account);
            if (!answer.answered())
                f.keyringTrouble = answer.detail;
        }
    };
    if (auto it = m_memory.constFind(int(account)); it != m_memory.constEnd()) {
        f.password = *it;
        f.place = Place::Memory;
        trouble();
        return f;
    }
    auto where = row(db, whereKey(account));
    const QString kept = where ? where->value_or(QString()) : QString();
    if (kept == QLatin1String("file")) {
        auto pw = row(db, passwordKey(account));
        f.place = Place::File;
        if (pw && *pw)
            f.password = **pw;
        else
            f.toAsk = true;
        trouble();
        return f;
    }
    KeyringAnswer answer = probe(db, account);
    if (answer.done()) {
        f.place = Place::Keyring;
        if (kept == QLatin1String("portachiavi") || kept == QLatin1String("memoria"))
            f.password = answer.secret;
        answer.secret.fill(QLatin1Char(' '));
        return f;
    }
    const bool wanted = kept == QLatin1String("portachiavi") || kept == QLatin1String("memoria");
    f.toAsk = wanted;
    if (answer.answered()) {
        f.place = Place::Keyring;
        f.lost = kept == QLatin1String("portachiavi");
        return f;
    }
    f.place = personal ? Place::File : Place::Memory;
    f.keyringTrouble = answer.detail;
    return f;
}

Result<Place> Vault::keepOutside(Database& db, Account account, const QString& password,
                                 bool fileAllowed, QString* trouble) {
    auto name = keyringName(db, account, true);
    if (!name)
        return name.error();
    KeyringAnswer written = m_keyring->write(*name, password);
    if (trouble)
        *trouble = written.detail;
    if (written.done()) {
        if (Status s = setRows(db, {{whereKey(account), QStringLiteral("portachiavi")},
                                    {passwordKey(account), std::nullopt}});
            !s)
            return s.error();
        m_memory.remove(int(account));
        return Place::Keyring;
    }
    if (fileAllowed) {
        if (Status s = setRows(db, {{whereKey(account), QStringLiteral("file")},
                                    {passwordKey(account), password}});
            !s)
            return s.error();
        m_memory.remove(int(account));
        return Place::File;
    }
    if (Status s = setRows(db, {{whereKey(account), QStringLiteral("memoria")},
                                {passwordKey(account), std::nullopt}});
        !s)
        return s.error();
    m_memory.insert(int(account), password);
    return Place::Memory;
}

Result<Place> Vault::keep(Database& db, Account account, const QString& password) {
    if (!password.isEmpty())
        return keepOutside(db, account, password, db.key().personal, nullptr);
    // No password: none is kept anywhere.
    auto where = row(db, whereKey(account));
    if (!where)
        return where.error();
    Place place = db.key().personal ? Place::File : Place::Memory;
    if (where->value_or(QString()) == QLatin1String("portachiavi")) {
        auto name = keyringName(db, account, false);
        if (name && !name->isEmpty() && m_keyring->remove(*name).done())
            place = Place::Keyring;
    }
    if (Status s =
            setRows(db, {{whereKey(account), std::nullopt}, {passwordKey(account), std::nullopt}});
        !s)
        return s.error();
    m_memory.remove(int(account));
    return place;
}

Result<std::optional<Moved>> Vault::tidy(Database& db) {
    const bool personal = db.key().personal;
    Moved moved;
    bool oldRows = false;
    // Whether the keyring answers, asked once, only when something could go there.
    std::optional<KeyringAnswer> answers;
    for (Account a : kAccounts) {
        auto old = valueOf(db, oldStore(a), oldKey(a));
        if (!old)
            return old.error();
        auto where = row(db, whereKey(a));
        if (!where)
            return where.error();
        oldRows = oldRows || old->has_value();
        std::optional<QString> out;
        if (where->value_or(QString()) == QLatin1String("file")) {
            // Kept in the file for want of a keyring: it leaves once one answers, and at once
            // from a file without a personal password.
            if (!answers && personal)
                answers = probe(db, a);
            if (!personal || answers->answered()) {
                auto pw = row(db, passwordKey(a));
                if (!pw)
                    return pw.error();
                out = pw->value_or(QString());
            }
        } else if (!where->has_value() && old->has_value() && !(*old)->isEmpty()) {
            out = **old;
        } else if (where->value_or(QString()) == QLatin1String("memoria") &&
                   m_memory.contains(int(a))) {
            // Kept in memory for want of a place: the file may keep it now that it has a
            // personal password, and the keyring once it answers.
            if (!answers)
                answers = probe(db, a);
            if (personal || answers->answered()) {
                if (Result<Place> placed =
                        keepOutside(db, a, m_memory.value(int(a)), personal, nullptr);
                    !placed)
                    return placed.error();
            }
            continue;
        }
        if (!out || out->isEmpty())
            continue;
        QString trouble;
        auto placed = keepOutside(db, a, *out, personal, &trouble);
        out->fill(QLatin1Char(' '));
        if (!placed)
            return placed.error();
        if (*placed == Place::File)
            continue;
        moved.accounts << a;
        moved.place = *placed;
        if (*placed == Place::Memory)
            moved.keyringTrouble = trouble;
    }
    if (oldRows) {
        Status s = erasing(db, [&]() -> Status {
            if (Status r = db.exec("DELETE FROM IMPOSTAZIONE_INVIO WHERE CHIAVE = 'password';"); !r)
                return r;
            return db.exec("DELETE FROM SYNC_STATO WHERE CHIAVE = 'server.password';");
        });
        if (!s)
            return s.error();
    }
    if (moved.accounts.isEmpty())
        return std::optional<Moved>();
    return std::optional<Moved>(moved);
}

Result<std::optional<Moved>> Vault::leaveFile(Database& db) {
    Moved moved;
    for (Account a : kAccounts) {
        auto where = row(db, whereKey(a));
        if (!where)
            return where.error();
        if (where->value_or(QString()) != QLatin1String("file"))
            continue;
        auto pw = row(db, passwordKey(a));
        if (!pw)
            return pw.error();
        QString password = pw->value_or(QString());
        if (password.isEmpty()) {
            if (Status s =
                    setRows(db, {{whereKey(a), std::nullopt}, {passwordKey(a), std::nullopt}});
                !s)
                return s.error();
            continue;
        }
        QString trouble;
        auto placed = keepOutside(db, a, password, false, &trouble);
        password.fill(QLatin1Char(' '));
        if (!placed)
            return placed.error();
        moved.accounts << a;
        moved.place = *placed;
        if (*placed == Place::Memory)
            moved.keyringTrouble = trouble;
    }
    if (moved.accounts.isEmpty())
        return std::optional<Moved>();
    return std::optional<Moved>(moved);
}

QString Vault::placeText(Account account, const Found& found) {
    const QString why = found.keyringTrouble.isEmpty()
                            ? QString()
                            : QStringLiteral(" (%1)").arg(found.keyringTrouble);
    switch (found.place) {
    case Place::Keyring:
        return QStringLiteral("La password è custodita nel portachiavi del computer, non nel "
                              "database.");
    case Place::File:
        return QStringLiteral("La password è custodita nel database, protetto dalla password "
                              "personale: il portachiavi del computer non si può usare%1.")
            .arg(why);
    case Place::Memory:
        break;
    }
    return QStringLiteral("La password non viene salvata: il portachiavi del computer non si può "
                          "usare%1 e il database non ha una password personale. Il programma "
                          "la chiede %2 e la ricorda fino all'uscita.")
        .arg(why, account == Account::Mail ? QStringLiteral("al primo invio")
                                           : QStringLiteral("alla prima sincronizzazione"));
}

QString Vault::askText(Account account, const Found& found, const QString& user,
                       const QString& host) {
    const QString why = found.keyringTrouble.isEmpty()
                            ? QString()
                            : QStringLiteral(" (%1)").arg(found.keyringTrouble);
    QString reason;
    switch (found.place) {
    case Place::Keyring:
        reason = found.lost ? QStringLiteral("Il portachiavi del computer non ha più la password.")
                            : QStringLiteral("La password non è stata conservata: ora sarà "
                                             "custodita nel portachiavi del computer.");
        break;
    case Place::File:
        reason = QStringLiteral("Il portachiavi del computer non si può usare%1: la password sarà "
                                "custodita nel database, protetto dalla password personale.")
                     .arg(why);
        break;
    case Place::Memory:
        reason = QStringLiteral("Il portachiavi del computer non si può usare%1 e il database non "
                                "ha una password personale: la password si ricorda solo fino "
                                "all'uscita del programma.")
                     .arg(why);
        break;
    }
    const QString whose =
        account == Account::Mail
            ? QStringLiteral("Password dell'account di posta %1 sul server %2")
            : QStringLiteral("Password dell'utente %1 sul server dell'agenzia %2");
    return reason + QStringLiteral("\n\n") + whose.arg(user, host);
}

} // namespace secrets
