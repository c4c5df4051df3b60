#include "IdleLockSetting.h"

#include "data/Database.h"

#include <QString>

namespace idlelock {

Result<int> minutes(Database& db) {
    auto st = db.prepare("SELECT MINUTI FROM BLOCCO_INATTIVITA WHERE ID = 1;");
    if (!st)
        return st.error();
    if (!st->next())
        return st->status() ? Result<int>(0) : Result<int>(st->status().error());
    return int(st->int64(0));
}

Status setMinutes(Database& db, int minutes) {
    if (minutes < 0 || minutes > kMaxMinutes)
        return makeError(QStringLiteral("i minuti del blocco vanno da 0 a %1").arg(kMaxMinutes));
    return db.write([&]() -> Status {
        if (minutes == 0)
            return db.exec("DELETE FROM BLOCCO_INATTIVITA;");
        auto st =
            db.prepare("INSERT OR REPLACE INTO BLOCCO_INATTIVITA (ID, MINUTI) VALUES (1, ?);");
        if (!st)
            return st.error();
        return st->bind(1, minutes).run();
    });
}

} // namespace idlelock
