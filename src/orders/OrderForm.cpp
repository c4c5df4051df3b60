#include "OrderForm.h"

#include "text/ItalianText.h"

namespace orderform {

bool requiredFilled(const Fields& f) {
    for (const QString* t : {&f.town, &f.customer, &f.province, &f.destination, &f.orderDate,
                             &f.article, &f.price, &f.sold})
        if (t->isEmpty())
            return false;
    return true;
}

Result<orderstore::Line> line(const Fields& f) {
    orderstore::Line l;
    l.article = f.article;
    l.code = f.code;
    l.format = f.format;
    l.notes = f.notes;
    struct Number {
        const char* field;
        const QString& text;
        std::optional<double>& value;
    };
    const Number numbers[] = {
        {"Quantità Vendita", f.sold, l.sold},
        {"Quantità Omaggio", f.free, l.free},
        {"Prezzo", f.price, l.price},
        {"Sconto", f.discount, l.discount},
        {"Peso Collo (Kg/Lit)", f.weight, l.weight},
    };
    for (const Number& n : numbers) {
        auto v = itext::numberField(QString::fromUtf8(n.field), n.text);
        if (!v)
            return v.error();
        n.value = *v;
    }
    return l;
}

Result<orderstore::Header> header(const Fields& f, const QString& customerCode, bool newNumber) {
    orderstore::Header h;
    h.year = f.year;
    h.number = f.number;
    if (newNumber || f.number.trimmed().isEmpty()) {
        auto n = itext::orderNumberField(QStringLiteral("Nr.Ordine"), f.number);
        if (!n)
            return n.error();
        h.number = QString::number(*n);
    }
    h.customerCode = customerCode;
    auto ordered = itext::dateField(QStringLiteral("Data Ordine"), f.orderDate);
    if (!ordered)
        return ordered.error();
    if (!*ordered)
        return makeError(QStringLiteral("Il campo Data Ordine deve essere compilato."));
    h.orderDate = **ordered;
    auto delivery = itext::dateField(QStringLiteral("Data Consegna"), f.deliveryDate);
    if (!delivery)
        return delivery.error();
    h.deliveryDate = *delivery;
    h.destination = f.destination;
    h.town = f.town;
    h.province = f.province;
    return h;
}

} // namespace orderform
