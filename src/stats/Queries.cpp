#include "Queries.h"

namespace stats::queries {
namespace {

// The lines of the customers of a province of the register; every line when ?10 is NULL.
const char* const kProvince =
    " AND (?10 IS NULL OR ID_CL IN (SELECT CODICE FROM CLIENTE WHERE PROVINCIA = ?10))";
// The lines of the articles in a principal's price lists.
const char* const kPrincipal =
    " AND CODICE IN (SELECT CODICE FROM PREZZO_LISTINO WHERE ID_MANDANTE = ?11)";

const char* const kSums = "TOTAL(QVENDITA * PESO * PREZZO), TOTAL(QVENDITA * PESO), "
                          "TOTAL(QVENDITA), TOTAL(QOMAGGIO)";

const char* const kByDayHead = "SELECT DATAO, ";
const char* const kByDayFrom = " FROM ORDINE WHERE DATAO >= ?1 AND DATAO <= ?2";
const char* const kCustomerFrom = " FROM ORDINE WHERE ID_CL = ?12 AND DATAO >= ?1 AND DATAO <= ?2";
const char* const kByDayTail = " GROUP BY DATAO;";

// The sums of the period ?1..?2, the gross of ?3..?4, the orders and last date of the period.
const char* const kRanked =
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QVENDITA * PESO * PREZZO END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QVENDITA * PESO END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QVENDITA END), "
    "TOTAL(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN QOMAGGIO END), "
    "TOTAL(CASE WHEN DATAO >= ?3 AND DATAO <= ?4 THEN QVENDITA * PESO * PREZZO END), "
    "COUNT(DISTINCT CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN ANNO || '/' || NR END), "
    "MAX(CASE WHEN DATAO >= ?1 AND DATAO <= ?2 THEN DATAO END)";
const char* const kBothPeriods =
    " FROM ORDINE WHERE ((DATAO >= ?1 AND DATAO <= ?2) OR (DATAO >= ?3 AND DATAO <= ?4))";

// The register's first customer of the code, for each group.
const char* const kCustomersHead = "SELECT G.*, C.SOGGETTO, C.CITTA, C.PROVINCIA FROM (SELECT "
                                   "ID_CL AS CODICE_CLIENTE, ";
const char* const kCustomersTail =
    " GROUP BY +ID_CL) AS G LEFT JOIN CLIENTE AS C ON C.ID = (SELECT MIN(ID) FROM CLIENTE "
    "WHERE CLIENTE.CODICE = G.CODICE_CLIENTE);";

// An article is its code, or its description when it has none.
const char* const kArticlesHead = "SELECT CODICE, MAX(ARTICOLO), ";
const char* const kArticlesTail =
    " GROUP BY CODICE, CASE WHEN CODICE IS NULL OR CODICE = '' THEN ARTICOLO END;";
const char* const kOfArticle = " AND ((?5 IS NOT NULL AND CODICE = ?5) OR (?5 IS NULL AND "
                               "(CODICE IS NULL OR CODICE = '') AND ARTICOLO = ?6))";

const char* const kToVisitHead =
    "SELECT G.*, C.SOGGETTO, C.CITTA, C.PROVINCIA FROM (SELECT ID_CL AS CODICE_CLIENTE, "
    "MIN(DATAO), MAX(DATAO), COUNT(DISTINCT DATAO) FROM ORDINE WHERE DATAO >= ?1 AND ID_CL IS "
    "NOT NULL";
const char* const kToVisitTail =
    " GROUP BY +ID_CL HAVING MAX(DATAO) < ?2) AS G JOIN CLIENTE AS C ON C.ID = (SELECT MIN(ID) "
    "FROM CLIENTE WHERE CLIENTE.CODICE = G.CODICE_CLIENTE);";

} // namespace

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
std::string customers() {
    return std::string(kCustomersHead) + kRanked + kBothPeriods + kProvince + kCustomersTail;
}
std::string customersPrincipal() {
    return std::string(kCustomersHead) + kRanked + kBothPeriods + kProvince + kPrincipal +
           kCustomersTail;
}
std::string articles() {
    return std::string(kArticlesHead) + kRanked + kBothPeriods + kProvince + kArticlesTail;
}
std::string articlesPrincipal() {
    return std::string(kArticlesHead) + kRanked + kBothPeriods + kProvince + kPrincipal +
           kArticlesTail;
}
std::string buyers() {
    return std::string(kCustomersHead) + kRanked + kBothPeriods + kOfArticle + kProvince +
           kCustomersTail;
}
std::string buyersPrincipal() {
    return std::string(kCustomersHead) + kRanked + kBothPeriods + kOfArticle + kProvince +
           kPrincipal + kCustomersTail;
}
std::string toVisit() {
    return std::string(kToVisitHead) + kProvince + kToVisitTail;
}
std::string toVisitPrincipal() {
    return std::string(kToVisitHead) + kProvince + kPrincipal + kToVisitTail;
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
