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

const char* const kLinesHead =
    "SELECT ID_CL, CODICE, ARTICOLO, DATAO, ANNO, NR, QVENDITA * PESO * PREZZO, QVENDITA * PESO, "
    "QVENDITA, QOMAGGIO FROM ORDINE WHERE ((DATAO >= ?1 AND DATAO <= ?2) OR (DATAO >= ?3 AND "
    "DATAO <= ?4))";
const char* const kOfArticle = " AND ((?5 IS NOT NULL AND CODICE = ?5) OR (?5 IS NULL AND "
                               "(CODICE IS NULL OR CODICE = '') AND ARTICOLO = ?6))";

const char* const kDatesHead =
    "SELECT ID_CL, DATAO FROM ORDINE WHERE DATAO >= ?1 AND ID_CL IS NOT NULL";

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
