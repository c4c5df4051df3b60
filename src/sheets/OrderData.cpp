#include "OrderData.h"

#include "data/Database.h"
#include "text/ItalianText.h"

namespace sheets::order {
namespace {

// A stored value as a cell shows it: numbers stay numbers and texts stay texts.
Value fieldValue(const Statement& st, int col) {
    switch (st.type(col)) {
    case Statement::kInteger:
    case Statement::kReal:
        return Value::ofNumber(st.real(col));
    case Statement::kText:
        return Value::ofText(st.utf8(col));
    default:
        return Value{};
    }
}

// A stored date (yyyy-mm-dd) as a date value; nothing when it is empty or no date.
Value dateValue(const Statement& st, int col) {
    if (st.type(col) != Statement::kText)
        return Value{};
    const auto date = itext::parseIsoDate(st.utf8(col));
    if (!date)
        return Value{};
    return Value::ofDate(*date).value_or(Value{});
}

// Values joined with the separators between them; an empty value adds nothing but its
// separator, as the old joins of texts did.
std::string join(const Statement& st, std::initializer_list<std::pair<int, const char*>> parts) {
    std::string out;
    for (const auto& [col, after] : parts) {
        out += st.utf8(col);
        out += after;
    }
    return out;
}

Result<Statement> query(Database& db, const char* sql) {
    return db.prepare(sql);
}

} // namespace

Result<OrderData> readOrder(Database& db, const QString& year, const QString& number,
                            const QString& customerCode) {
    OrderData d;

    auto agent = query(db, "SELECT UTENTE, VIA, CAP, CITTA, PR FROM UTENTE ORDER BY ID LIMIT 1;");
    if (!agent)
        return agent.error();
    if (agent->next())
        d.agent = join(*agent, {{0, "     "}, {1, "   "}, {2, "      "}, {3, "   "}, {4, ""}});
    if (!agent->status())
        return agent->status().error();

    auto customer = query(db, "SELECT CODICE, SOGGETTO FROM CLIENTE WHERE CODICE = ?1 "
                              "ORDER BY ID LIMIT 1;");
    if (!customer)
        return customer.error();
    customer->bind(1, customerCode);
    if (customer->next())
        d.customer = join(*customer, {{0, " -  "}, {1, ""}});
    if (!customer->status())
        return customer->status().error();

    auto header = query(db, "SELECT DEST, CITTA, PR, NR, DATAO, DATAC FROM ORDINE "
                            "WHERE NR = ?1 AND ANNO = ?2 ORDER BY ID LIMIT 1;");
    if (!header)
        return header.error();
    header->bind(1, number).bind(2, year);
    if (header->next()) {
        d.destination = join(*header, {{0, "  "}, {1, "   "}, {2, ""}});
        d.number = fieldValue(*header, 3);
        d.orderDate = dateValue(*header, 4);
        d.deliveryDate = dateValue(*header, 5);
    }
    if (!header->status())
        return header->status().error();

    auto lines = query(db, "SELECT CODICE, ARTICOLO, FORMATO, PESO, QVENDITA, QOMAGGIO, PREZZO, "
                           "SCONTO, NOTE FROM ORDINE WHERE NR = ?1 AND ANNO = ?2 "
                           "ORDER BY ARTICOLO COLLATE ITALIANO, ID;");
    if (!lines)
        return lines.error();
    lines->bind(1, number).bind(2, year);
    while (lines->next()) {
        Line& line = d.lines.emplace_back();
        for (int i = 0; i < int(line.size()); ++i)
            line[size_t(i)] = fieldValue(*lines, i);
    }
    if (!lines->status())
        return lines->status().error();
    return d;
}

} // namespace sheets::order
