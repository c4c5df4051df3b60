#pragma once

#include "Filter.h"
#include "data/Statement.h"

#include <string>

// The statements of the statistics. Every one reads the order lines of a span of order dates
// (?1 from, ?2 to; the index ORDINE_DATAO_CLIENTE: a group by customer is written "+ID_CL" so that
// the engine does not walk every line in the order of ORDINE_ID_CL instead), and takes the filter
// in ?10 (province, or NULL) and ?11 (principal; present only in the forms that name
// PREZZO_LISTINO, which a file may lack).
namespace stats::queries {

// By day: DATAO, then the four sums (gross, kg, sold, free).
std::string trendByDay();
std::string trendByDayPrincipal();
// The same for one customer (?12 the code), through the index ORDINE_ID_CL.
std::string customerByDay();
std::string customerByDayPrincipal();

// Over the period (?1, ?2) and the period a year before (?3, ?4), by customer: code, the four
// sums of the period, the gross value of the year before, the orders of the period, the last
// order date of the period; then name, town, province from the register (NULL when the customer
// is not there).
std::string customers();
std::string customersPrincipal();
// The same by article: code, description, the four sums, last year's gross, orders, last date.
std::string articles();
std::string articlesPrincipal();
// The customers of an article (?5 its code; or, with ?5 NULL, ?6 its description) in the period,
// with the columns of customers().
std::string buyers();
std::string buyersPrincipal();

// By customer, the lines from ?1 on: code, first and last order date, distinct order dates,
// name, town, province; only customers in the register whose last order date is before ?2.
std::string toVisit();
std::string toVisitPrincipal();

// Binds the filter to ?10 and, in the forms that take it, ?11.
void bindFilter(Statement& st, const Filter& f);

} // namespace stats::queries
