#include "MakeDb.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "files/FileInPlace.h"

#include <QFile>

namespace makedb {
namespace {

Status insertYear(Database& db, int year) {
    auto st = db.prepare("INSERT OR IGNORE INTO ANNO (ANNO) VALUES (?1);");
    if (!st)
        return st.error();
    st->bind(1, QString::number(year));
    return st->run();
}

Status fill(Database& d, int currentYear, const Agent& agent) {
    if (Status s = schema::create(d); !s)
        return s;
    return d.write([&]() -> Status {
        for (int y = currentYear - 3; y <= currentYear + 3; ++y)
            if (Status s = insertYear(d, y); !s)
                return s;
        auto st = d.prepare(
            "INSERT INTO UTENTE (UTENTE, VIA, CAP, CITTA, PR) VALUES (?1, ?2, ?3, ?4, ?5);");
        if (!st)
            return st.error();
        st->bind(1, agent.name)
            .bind(2, agent.street)
            .bind(3, agent.postCode)
            .bind(4, agent.town)
            .bind(5, agent.province);
        return st->run();
    });
}

} // namespace

Status makeSupplied(const QString& path, int currentYear, const Agent& agent,
                    const Making& making) {
    const QByteArray native =
        making.nativePath.isEmpty() ? QFile::encodeName(path) : making.nativePath;
    if (inplace::exists(native))
        return makeError(QStringLiteral("il file esiste già"));
    // A half-made file must not be mistaken for a good one: it never has the file's name.
    const QByteArray work = inplace::workFor(native);
    const QString workPath = QFile::decodeName(work);
    Database::Options options;
    options.create = true;
    auto db = Database::open(workPath, schema::password(), options);
    if (!db)
        return db.error();
    Status s = fill(**db, currentYear, agent);
    if (s && making.demo)
        s = fillDemo(**db, currentYear);
    (*db)->close();
    if (s)
        s = inplace::syncFile(work);
    if (s)
        s = inplace::put(work, native);
    if (!s)
        Database::removeFiles(workPath);
    return s;
}

Status addYear(const QString& path, int year) {
    return addYear(path, year, FileKey::builtIn());
}

Status addYear(const QString& path, int year, const FileKey& key) {
    auto db = Database::open(path, key);
    if (!db)
        return db.error();
    if (Status s = schema::verify(**db); !s)
        return s;
    return (*db)->write([&]() { return insertYear(**db, year); });
}

} // namespace makedb
