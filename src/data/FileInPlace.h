#pragma once

#include "Result.h"

#include <QByteArray>

#include <optional>

// A new file is made whole under a hidden name of its own beside its place, and only then given
// its name: a kill or a failure at any moment leaves no half-made file under the real name.
// Names are bytes, as the system has them (a name need not be UTF-8).
namespace inplace {

// The hidden name the file for `target` is made under, unique to this run. Files of earlier
// runs under such names that no process holds any more (a run killed midway) are removed first.
QByteArray workFor(const QByteArray& target);

// Whether anything (a link too) is at `path`.
bool exists(const QByteArray& path);
// Whether the two names are the same file.
bool sameFile(const QByteArray& a, const QByteArray& b);

// Waits until the bytes of the file are on the disk.
Status syncFile(const QByteArray& path);
// Waits until the names in the folder of `path` are on the disk.
Status syncFolder(const QByteArray& path);

// Gives the finished `work` its name `target`, never replacing a file that is there (one that
// appeared meanwhile), and waits until the name is on the disk.
Status put(const QByteArray& work, const QByteArray& target);

// The same over the file now at `target`, which keeps its bytes under the name `keep` in the
// same folder: at every moment one of the two files is at `target`.
Status replaceKeeping(const QByteArray& work, const QByteArray& target, const QByteArray& keep);

// How the file at a name keeps its bytes under a second name while a new file takes the first.
enum class Kept {
    // A second name of the same file: the file never lacks its own name.
    Linked,
    // A disk without second names (a stick): the file is moved to the other name.
    Moved,
};
// The file at `target` is given the name `keep` as well (a link; on a disk without links it is
// moved there). A second name of the same file already at `keep` (left by a run killed midway)
// is kept; another file there gives EEXIST. Nothing on failure, with errno set.
std::optional<Kept> keepAside(const QByteArray& target, const QByteArray& keep);
// Gives the file kept under `keep` its name `target` back, over what took it meanwhile.
void putBack(const QByteArray& keep, const QByteArray& target, Kept kept);

// Creates a new owner-only file at `path`, or when the name is taken (by anything, a link
// too) at "name (2).ext", "name (3).ext" ...; never opens an existing file. Gives the
// descriptor and the name used.
struct Created {
    int fd = -1;
    QByteArray path;
};
Result<Created> createFree(const QByteArray& path);

} // namespace inplace
