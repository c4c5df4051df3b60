#pragma once

#include "OrderMail.h"
#include "base/Result.h"

// Writes the order's PDF and workbook (from its data read beforehand) on a thread of its own and
// attaches them to the draft; meanwhile the window keeps drawing itself, but takes no input.
Status attachFilesOffThread(mail::ordermail::Draft& draft, const sheets::order::OrderData& data);
