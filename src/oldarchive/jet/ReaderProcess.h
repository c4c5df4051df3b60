#pragma once

#include "Frames.h"

#include "base/Result.h"

#include <QByteArrayList>

#include <atomic>
#include <functional>

// Runs the archive reader's own process (gestione-jetread) through the one runner of outside
// readers and watches it: its frames are handed over one by one as they come, its warnings are
// let go, and a process that crashes, goes quiet for too long, takes too long in all, writes more
// than it may or anything but frames is killed and reported as having found the archive damaged.
namespace jet::reader {

// The code of the error that says the reader found the archive damaged.
constexpr int kDamaged = -24;

struct Watch {
    // How long the reader may go without sending a frame, and take in all (the time the program
    // spends on the frames counts for neither).
    int quietMs = 20000;
    int totalMs = 600000;
    // Looked at every tenth of a second: set, the reader is stopped and the reading refused as
    // cancelled.
    const std::atomic_bool* cancel = nullptr;
    // How many bytes of frames it may send in all.
    qint64 outputBytes = 0;
    // The reader's program; empty for the one beside the running program.
    QByteArray program;
};

// Takes one frame (neither the end nor a refusal); an error stops the reader.
using FrameSink = std::function<Status(const frames::Frame&)>;

// The reader's program, beside the running one.
QByteArray program();

// Runs the reader with `args`. Its refusal comes back as its error; a damaged archive as an
// error with the code kDamaged; the sink's error as it is.
Status run(const QByteArrayList& args, const Watch& watch, const FrameSink& sink);

} // namespace jet::reader
