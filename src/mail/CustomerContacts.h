#pragma once

#include "base/Result.h"

#include <QString>

class Database;

// The contact card of a customer (table SCHEDA_CLIENTE, by the customer's code): beside the
// register, which keeps its own columns unchanged.
namespace mail::contacts {

struct Card {
    bool operator==(const Card&) const = default;
    QString code;
    QString email;
    QString pec;
    QString phone;
    QString street;
    QString postalCode;
    QString vatNumber; // Partita IVA
    QString taxCode;   // codice fiscale
};

// True for 11 digits whose last is the check digit of the first ten.
bool isVatNumber(const QString& text);
// What is wrong in the card (each field checked for form), or nothing. Empty fields are fine.
Status check(const Card& card);
// The card of a customer; an empty card (with the code) when none is stored.
Result<Card> load(Database& db, const QString& code);
// Checks and stores the card, replacing the earlier one.
Status save(Database& db, const Card& card);
// As save, from a window that showed `before`: refused when the customer is no longer in the
// register, or when another program changed the card since it was read.
Status saveOver(Database& db, const Card& before, const Card& card);

} // namespace mail::contacts
