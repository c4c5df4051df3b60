#include "Backup.h"

#include "data/Database.h"
#include "data/Schema.h"

#include <sqlite3.h>

namespace backup {
namespace {

Result<qint64> count(Database& db, const char* sql) {
    auto st = db.prepare(sql);
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? Result<qint64>(qint64(0)) : Result<qint64>(st->status().error());
    return qint64(st->int64(0));
}

constexpr int kIndexFault = SQLITE_CORRUPT | (100 << 8);

// What the full check found wrong, in words: the engine's own lines are for its developers.
Error damageOf(Database& db, Check check) {
    if (check == Check::Full) {
        auto quick = db.prepare("PRAGMA quick_check;");
        if (quick && quick->next() && quick->text(0) == QLatin1String("ok"))
            return makeError(QStringLiteral("un indice del file non corrisponde alla sua tabella"),
                             kIndexFault);
    }
    return makeError(QStringLiteral("il file è danneggiato"), SQLITE_CORRUPT);
}

} // namespace

Result<Contents> verify(const QString& path, Check check) {
    return verify(path, FileKey::builtIn(), check);
}

Result<Contents> verify(const QString& path, const FileKey& key, Check check) {
    Database::Options options;
    options.exclusive = false;
    auto opened = Database::open(path, key, options);
    if (!opened)
        return opened.error();
    Database& db = **opened;
    {
        // A page cache of up to 200 MB: the check reads the pages of each index again for
        // every row of its table, and each page read from the file is decrypted anew.
        if (Status s = db.exec("PRAGMA cache_size = -200000;"); !s)
            return s.error();
        auto st = check == Check::Full ? db.prepare("PRAGMA integrity_check;")
                                       : db.prepare("PRAGMA quick_check;");
        if (!st)
            return st.error();
        if (!st->next())
            return st->status() ? makeError(QStringLiteral("il controllo del file non risponde"))
                                : st->status().error();
        if (st->text(0) != QLatin1String("ok")) {
            return damageOf(db, check);
        }
    }
    if (Status s = schema::verify(db); !s)
        return s.error();
    Contents c;
    auto customers = count(db, "SELECT count(*) FROM CLIENTE;");
    auto articles = count(db, "SELECT count(*) FROM ARTICOLO;");
    auto orders = count(db, "SELECT count(*) FROM (SELECT DISTINCT ANNO, NR FROM ORDINE);");
    for (auto* r : {&customers, &articles, &orders})
        if (!*r)
            return r->error();
    c.customers = *customers;
    c.articles = *articles;
    c.orders = *orders;
    auto st = db.prepare("SELECT max(DATAO) FROM ORDINE;");
    if (!st)
        return st.error();
    if (st->next() && !st->isNull(0))
        c.lastOrder = QDate::fromString(st->text(0), Qt::ISODate);
    if (!st->status())
        return st->status().error();
    return c;
}

Result<Contents> verifyMending(const QString& path, const FileKey& key) {
    auto checked = verify(path, key, Check::Full);
    if (checked || checked.error().code != kIndexFault)
        return checked;
    {
        Database::Options options;
        options.exclusive = false;
        auto opened = Database::open(path, key, options);
        if (!opened)
            return opened.error();
        if (Status s = (*opened)->exec("REINDEX;"); !s)
            return checked;
    }
    return verify(path, key, Check::Full);
}

} // namespace backup
