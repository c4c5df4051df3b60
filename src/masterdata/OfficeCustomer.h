#pragma once

#include "CustomerStore.h"

// The office's customers, taken from the agency's server: read-only in the agent's file. A
// change the agent wants is recorded as a request to the office, which the next sync sends; the
// customer changes here when the office has accepted it.
namespace officecustomer {

// True when the customer is one of the office's.
Result<bool> isOffice(Database& db, std::int64_t id);

// Why the change cannot become a request (the customer is gone, the code changed, nothing
// changed); nothing when it can.
Result<Refusal> checkRequest(Database& db, std::int64_t id, const customers::Customer& customer);
// Records the request, checked again in the same transaction.
Result<Refusal> request(Database& db, std::int64_t id, const customers::Customer& customer);

// The words of the panel's boxes.
QString askRequest(const QString& who);
QString requested();
// How the boxes name the customer.
Result<QString> who(Database& db, std::int64_t id);

} // namespace officecustomer
