#pragma once

#include <QByteArray>
#include <QString>

// Folder names whose bytes are not valid UTF-8 (a "café" written in Latin-1 by an older
// system). The toolkit reads file names as UTF-8 and cannot give such bytes back, so the folder
// is reached through a descriptor held open ("/proc/self/fd/N"), which every file call of the
// program (the engine's too) resolves; messages and other programs get the real name.
namespace folders {

// A path the program can use for the folder with these bytes: its name when the bytes are
// UTF-8, else the descriptor's path. Empty when the folder cannot be opened.
QString usable(const QByteArray& native);

// The folder of the running program, usable as above.
QString programFolder();

// A path as the user knows it: the folder's real name, its bytes read as Latin-1 when they
// are not UTF-8.
QString shown(const QString& path);

// The same with the platform's separators, for a message.
QString shownNative(const QString& path);

// A path as bytes for another program (which does not have our descriptors).
QByteArray native(const QString& path);

// A path for raw bytes (from the environment, say), usable as above: the name when the bytes
// are UTF-8, else the deepest folder of it that exists reached through a descriptor and the
// rest by name. Empty when the bytes cannot be used (a missing part that is not UTF-8).
QString usablePath(const QByteArray& native);

// Who could change what is at the path besides the user.
enum class Exposure {
    None,        // the user's alone, or nothing there
    OtherOwner,  // it, or the link to it, belongs to another user
    OthersWrite, // the group or others may write it
};
// A link of the user's own is followed; the one the path names is looked at.
Exposure exposure(const QString& path);

// Makes the folder and the ones above it that are missing, each owner-only: 0, or the errno of
// the level that could not be made (and that level in `failed`).
int makeOwnerOnly(const QString& folder, QString* failed = nullptr);

} // namespace folders
