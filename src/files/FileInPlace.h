#pragma once

#include "base/Result.h"

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

// Writes every byte at the descriptor, a short write or an interruption taken up again.
// Gives 0, or the errno of the failure (ENOSPC for a disk that takes nothing more).
int writeAll(int fd, const char* data, size_t size);
inline int writeAll(int fd, const QByteArray& bytes) {
    return writeAll(fd, bytes.constData(), size_t(bytes.size()));
}

// Waits until what was written to the file or the folder at `path` is on the disk. Gives 0, or
// the errno of the failure; each caller tells it in its own words.
int flush(const QByteArray& path);

// The file at `target` replaced whole by `bytes`, owner-only: made under a work name, waited for
// on the disk, then given the name over the old one, which stays until that moment. Gives 0, or
// the errno of the failure, and then nothing is left of the new bytes.
int replaceWith(const QByteArray& target, const QByteArray& bytes);

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

// The first of `path`, "name (2).ext", "name (3).ext" ... that nothing is at now.
QByteArray firstFree(const QByteArray& path);
// Gives the finished `work` the first of those names free at that moment, never over anything;
// the name used.
Result<QByteArray> putFree(const QByteArray& work, const QByteArray& path);

// Creates a new owner-only file at `path`, or when the name is taken (by anything, a link
// too) at "name (2).ext", "name (3).ext" ...; never opens an existing file. Gives the
// descriptor and the name used.
struct Created {
    int fd = -1;
    QByteArray path;
};
Result<Created> createFree(const QByteArray& path);

} // namespace inplace
