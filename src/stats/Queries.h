#pragma once

#include "Filter.h"
#include "data/Statement.h"

#include <string>

// The statements of the statistics. Every one reads the order lines of a span of order dates
// (?1 from, ?2 to; the index ORDINE_DATAO_CLIENTE), and takes the filter in ?10 (province, or
// NULL) and ?11 (principal; present only in the forms that name PREZZO_LISTINO, which a file may
// lack). The groups by customer or article are made by the program from the lines, in the order
// the index gives them: the engine would sort every line of the period first.
namespace stats::queries {

// By day: DATAO, then the five sums (gross and net in cents, kg, sold, free).
std::string trendByDay();
std::string trendByDayPrincipal();
// The same for one customer (?12 the code), through the index ORDINE_ID_CL.
std::string customerByDay();
std::string customerByDayPrincipal();

// The lines of the period (?1, ?2) and of the period a year before (?3, ?4): ID_CL, CODICE,
// ARTICOLO, DATAO, ANNO, NR, then the line's gross in cents, its discount (SCONTO), kg, sold and
// free (NULL where a factor is missing).
std::string lines();
std::string linesPrincipal();
// The same for one article (?5 its code; or, with ?5 NULL, ?6 its description).
std::string linesOfArticle();
std::string linesOfArticlePrincipal();

// The first customer of the register (lowest ID) with the code ?1: name, town, province.
inline constexpr const char* kRegisterOne = "SELECT SOGGETTO, CITTA, PROVINCIA FROM CLIENTE WHERE "
                                            "CODICE = ?1 ORDER BY ID LIMIT 1;";
// The whole register in order of ID: code, name, town, province.
inline constexpr const char* kRegisterAll =
    "SELECT CODICE, SOGGETTO, CITTA, PROVINCIA FROM CLIENTE ORDER BY ID;";

// The customers' order dates from ?1 on: ID_CL, DATAO (from the index alone).
std::string orderDates();
std::string orderDatesPrincipal();

// The customers of the register without any order line: CODICE (as often as the register holds
// it). Of a province: those of the province ?10 of the register only; of a principal: no line of
// the articles of the principal ?11.
std::string withoutOrders();
std::string withoutOrdersPrincipal();
std::string withoutOrdersOfProvince();
std::string withoutOrdersOfProvincePrincipal();

// Binds the filter to ?10 and, in the forms that take it, ?11.
void bindFilter(Statement& st, const Filter& f);

} // namespace stats::queries
