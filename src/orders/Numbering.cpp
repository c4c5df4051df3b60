#include "Numbering.h"

#include "data/Database.h"
#include "data/Schema.h"
#include "text/ItalianText.h"

#include <string>

namespace numbering {

const char* unreadableNumberQuery() {
    static const std::string text =
        "SELECT NR FROM ORDINE INDEXED BY ORDINE_NR_ILLEGGIBILI WHERE ANNO = ?1 AND NOT " +
        std::string(schema::kReadableNumber) + " LIMIT 1;";
    return text.c_str();
}

Result<int> nextOrderNumber(Database& db, const QString& year) {
    // Both reads go through an index: the unreadable numbers have one of their own, and the
    // highest number is the last entry of the year in the numeric index.
    auto bad = db.prepare(unreadableNumberQuery());
    if (!bad)
        return bad.error();
    bad->bind(1, year);
    if (bad->next())
        return makeError(QStringLiteral("Il numero d'ordine \"%1\" dell'anno %2 non è un numero "
                                        "intero da 1 a 32767: la numerazione automatica non è "
                                        "possibile. Scegliere \"Nr manuale\".")
                             .arg(itext::shortened(bad->text(0)), itext::shortened(year)));
    if (!bad->status())
        return bad->status().error();

    auto max = db.prepare(kHighestNumber);
    if (!max)
        return max.error();
    max->bind(1, year);
    if (!max->next()) {
        if (!max->status())
            return max->status().error();
        return 1;
    }
    const auto highest = max->int64(0);
    if (highest >= 32767)
        return makeError(QStringLiteral("L'anno %1 ha già il numero d'ordine più alto possibile "
                                        "(32767): la numerazione automatica non è possibile.")
                             .arg(year));
    return int(highest + 1);
}

Status ensureYear(Database& db, int year) {
    const QString text = QString::number(year);
    // Read first: a file that has the year is not written at all.
    auto have = db.prepare("SELECT 1 FROM ANNO WHERE ANNO = ?1 LIMIT 1;");
    if (!have)
        return have.error();
    have->bind(1, text);
    if (have->next())
        return {};
    if (!have->status())
        return have->status();
    *have = Statement();
    return db.write([&]() -> Status {
        auto st = db.prepare("INSERT INTO ANNO (ANNO) SELECT ?1 WHERE NOT EXISTS "
                             "(SELECT 1 FROM ANNO WHERE ANNO = ?1);");
        if (!st)
            return st.error();
        st->bind(1, text);
        return st->run();
    });
}

} // namespace numbering
