#pragma once

#include "OrderStore.h"
#include "base/Result.h"

#include <QString>

// The order panel's field texts turned into the values of an ORDINE row, with the message that
// names the field when a text cannot be stored. No widgets here.
namespace orderform {

// The texts as the panel's fields show them.
struct Fields {
    QString year;         // Text1
    QString number;       // T7
    QString orderDate;    // D1
    QString deliveryDate; // D2
    QString customer;     // Cbo5
    QString destination;  // Cbo3
    QString town;         // Cbo9
    QString province;     // Cbo4
    QString article;      // Cbo6
    QString code;         // T8
    QString format;       // T9
    QString weight;       // T10
    QString sold;         // T11
    QString free;         // T12
    QString price;        // T13
    QString discount;     // T14
    QString notes;        // T15
};

// None of the fields that a line needs is empty: customer, order date, destination, its town
// and province, article, quantity sold and price. Blanks count as content.
bool requiredFilled(const Fields& f);

// The article columns. Quantities, price, discount and weight must be numbers in the Italian
// form (or empty).
Result<orderstore::Line> line(const Fields& f);

// The header columns, with the customer's code as resolved from the name. A number typed or
// proposed for a new order (`newNumber`) must be a whole number from 1 to 32767 and is stored
// in its plain digits ("025" is order 25); the number of an order chosen from the listing is
// kept as stored.
Result<orderstore::Header> header(const Fields& f, const QString& customerCode, bool newNumber);

} // namespace orderform
