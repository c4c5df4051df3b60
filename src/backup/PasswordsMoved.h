#pragma once

#include "secrets/Vault.h"
#include "ui/AppContext.h"

#include <QString>

// The accounts' passwords taken out of a file: at start-up and after a file was put in place,
// with the box that says where they went.
namespace passwordsmoved {

// What left the file and where it went, in sentences; with `copies`, that the file's earlier
// copies may still hold them.
QString text(const secrets::Moved& moved, bool copies);

// Runs the vault's tidying on the open file and tells what left it.
void tidy(AppContext& ctx);

} // namespace passwordsmoved
