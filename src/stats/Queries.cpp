#include "Queries.h"

namespace stats::queries {
namespace {

// The lines of the customers of a province of the register; every line when ?10 is NULL.
const char* const kProvince =
    " AND (?10 IS NULL OR ID_CL IN (SELECT CODICE FROM CLIENTE WHERE PROVINCIA = ?10))";
// The lines of the articles in a principal's price lists.
const char* const kPrincipal =
    " AND CODICE IN (SELECT CODICE FROM PREZZO_LISTINO WHERE ID_MANDANTE = ?11)";

// A line's gross in cents, and its net as netCents() counts it. NULL when a factor of the gross
// is missing.
#define GROSS_CENTS "CAST(ROUND(QVENDITA * PESO * PREZZO * 100) AS INTEGER)"
#define NET_CENTS                                                                                  \
    "CASE WHEN SCONTO IS NULL OR SCONTO = 0 THEN " GROSS_CENTS " WHEN SCONTO <= 100 THEN "         \
    "CAST(ROUND(" GROSS_CENTS " * (100 - SCONTO) / 100.0) AS INTEGER) ELSE " GROSS_CENTS           \
    " - CAST(ROUND(SCONTO * 100) AS INTEGER) END"

// The cents are added as whole numbers (SUM), never as floating point (TOTAL).
const char* const kSums = "COALESCE(SUM(" GROSS_CENTS "), 0), COALESCE(SUM(" NET_CENTS "), 0), "
                          "TOTAL(QVENDITA * PESO), TOTAL(QVENDITA), TOTAL(QOMAGGIO)";

const char* const kByDayHead = "SELECT DATAO, ";
const char* const kByDayFrom = " FROM ORDINE WHERE DATAO >= ?1 AND DATAO <= ?2";
const char* const kCustomerFrom = " FROM ORDINE WHERE ID_CL = ?12 AND DATAO >= ?1 AND DATAO <= ?2";
const char* const kByDayTail = " GROUP BY DATAO;";

const char* const kLinesHead = "SELECT ID_CL, CODICE, ARTICOLO, DATAO, ANNO, NR, " GROSS_CENTS
                               ", SCONTO, QVENDITA * PESO, QVENDITA, QOMAGGIO FROM ORDINE WHERE "
                               "((DATAO >= ?1 AND DATAO <= ?2) OR "
                               "(DATAO >= ?3 AND DATAO <= ?4))";
const char* const kOfArticle = " AND ((?5 IS NOT NULL AND CODICE = ?5) OR (?5 IS NULL AND "
                               "(CODICE IS NULL OR CODICE = '') AND ARTICOLO = ?6))";

const char* const kDatesHead =
    "SELECT ID_CL, DATAO FROM ORDINE WHERE DATAO >= ?1 AND ID_CL IS NOT NULL";

const char* const kNeverHead = "SELECT CODICE FROM CLIENTE AS R WHERE CODICE IS NOT NULL AND "
                               "CODICE <> '' AND NOT EXISTS (SELECT 1 FROM ORDINE WHERE "
                               "ORDINE.ID_CL = R.CODICE";
// The customers of a province: from the register's index on PROVINCIA, as the lines' filter
// takes them (a code any of whose customers is there).
const char* const kNeverOfProvince =
    "SELECT CODICE FROM CLIENTE AS R WHERE CODICE IN (SELECT CODICE FROM CLIENTE WHERE "
    "PROVINCIA = ?10) AND CODICE <> '' AND NOT EXISTS (SELECT 1 FROM ORDINE WHERE ORDINE.ID_CL = "
    "R.CODICE";
const char* const kNeverPrincipal =
    " AND ORDINE.CODICE IN (SELECT CODICE FROM PREZZO_LISTINO WHERE ID_MANDANTE = ?11)";
const char* const kNeverTail = ");";

#undef NET_CENTS
#undef GROSS_CENTS

} // namespace

std::string withoutOrders() {
    return std::string(kNeverHead) + kNeverTail;
}
std::string withoutOrdersPrincipal() {
    return std::string(kNeverHead) + kNeverPrincipal + kNeverTail;
}
std::string withoutOrdersOfProvince() {
    return std::string(kNeverOfProvince) + kNeverTail;
}
std::string withoutOrdersOfProvincePrincipal() {
    return std::string(kNeverOfProvince) + kNeverPrincipal + kNeverTail;
}

std::string trendByDay() {
    return std::string(kByDayHead) + kSums + kByDayFrom + kProvince + kByDayTail;
}
std::string trendByDayPrincipal() {
    return std::string(kByDayHead) + kSums + kByDayFrom + kProvince + kPrincipal + kByDayTail;
}
std::string customerByDay() {
    return std::string(kByDayHead) + kSums + kCustomerFrom + kProvince + kByDayTail;
}
std::string customerByDayPrincipal() {
    return std::string(kByDayHead) + kSums + kCustomerFrom + kProvince + kPrincipal + kByDayTail;
}
std::string lines() {
    return std::string(kLinesHead) + kProvince + ";";
}
std::string linesPrincipal() {
    return std::string(kLinesHead) + kProvince + kPrincipal + ";";
}
std::string linesOfArticle() {
    return std::string(kLinesHead) + kOfArticle + kProvince + ";";
}
std::string linesOfArticlePrincipal() {
    return std::string(kLinesHead) + kOfArticle + kProvince + kPrincipal + ";";
}
std::string orderDates() {
    return std::string(kDatesHead) + kProvince + ";";
}
std::string orderDatesPrincipal() {
    return std::string(kDatesHead) + kProvince + kPrincipal + ";";
}

void bindFilter(Statement& st, const Filter& f) {
    if (f.province.isEmpty())
        st.bindNull(10);
    else
        st.bind(10, f.province);
    if (f.principal)
        st.bind(11, std::int64_t(*f.principal));
}

} // namespace stats::queries
