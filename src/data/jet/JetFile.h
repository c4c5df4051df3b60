#pragma once

#include "Archive.h"

#include <QString>

#include <memory>

// Jet files (Access 97 to 2003), read through libmdb, read-only.
namespace jet {

enum class Format { NotJet, Jet3, Jet4, Later };

// What the first page of the file says it is; a file too short to tell is no Jet file.
Format formatOf(const QString& path);

// Opens a Jet 3 or Jet 4 file for reading. A file that is not one, is cut short or cannot be
// read is refused with the reason; the file is never written.
Result<std::unique_ptr<Archive>> open(const QString& path);

} // namespace jet
