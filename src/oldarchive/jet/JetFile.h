#pragma once

#include "Archive.h"

#include <QString>

#include <atomic>
#include <memory>

// Jet files (Access 97 to 2003), read-only. libmdb reads them in a process of its own
// (gestione-jetread, beside the program): a damaged archive that would crash it or make it loop
// is reported as damaged, and the program goes on.
namespace jet {

enum class Format { NotJet, Jet3, Jet4, Later };

// What the first page of the file says it is; a file too short to tell is no Jet file.
Format formatOf(const QString& path);

struct Limits {
    // How long the reader may go without reading anything before it is taken as hung.
    int quietMs = 20000;
    // The reader's program; empty for gestione-jetread beside the program.
    QByteArray program;
    // How long one reading (the tables, a table's columns or its rows) may take in all.
    int totalMs = 600000;
    // Set, the reading under way is stopped and refused as cancelled.
    const std::atomic_bool* cancel = nullptr;
};

// Opens a Jet 3 or Jet 4 file for reading. A file that is not one, is cut short or cannot be
// read is refused with the reason; one the reader finds damaged (or crashes or hangs on) with
// "l'archivio è danneggiato e non si può convertire". The file is never written.
Result<std::unique_ptr<Archive>> open(const QString& path, const Limits& limits = {});

} // namespace jet
