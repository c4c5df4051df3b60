#pragma once

#include "oldarchive/jet/Archive.h"

#include <QByteArray>

#include <memory>

// Jet files read through libmdb, in the process that calls it. libmdb trusts the file: a damaged
// one may crash or hang the process, so only the archive reader's own process (gestione-jetread)
// calls this; the program reads archives through jet::open.
namespace jet {

// Opens the Jet file at `nativePath` (the bytes of its name as given); never writes it.
Result<std::unique_ptr<Archive>> openMdb(const QByteArray& nativePath);

} // namespace jet
