#pragma once

#include "base/Result.h"

#include <QString>

// Where the database file lives. A file beside the program is used where it is (a portable
// install: a folder of its own on a stick or a disk). Otherwise the file lives in the user's
// data folder; on the first start the empty file installed with the program is copied there.
// Exports are saved in the same folder as the file.
struct DataLocation {
    QString folder;        // the folder of the file
    QString file;          // the file itself
    bool portable = false; // the file beside the program
    bool created = false;  // the supplied empty file was copied there by this call

    // The folder and file as the user knows them, for messages.
    QString shownFile() const;

    // Chooses the file: beside the program when there is one, else in userFolder, copying
    // `supplied` there first when the folder has no file. Folders made are owner-only, and so
    // is the copy. An error names the paths and the cause.
    static Result<DataLocation> find(const QString& programFolder, const QString& userFolder,
                                     const QString& supplied);

    // The empty file installed with the program, in the shared data folder found from the
    // program's folder (bin/../share/gestione-ordini/ in an install and in the build).
    static QString suppliedFile(const QString& programFolder);

    // The user's data folder for this program ("~/.local/share/Gestione Ordini").
    static QString userFolder();

    // The box of the first start: where the file was copied, and where the agent's details go.
    static QString createdMessage(const DataLocation& location);
};
