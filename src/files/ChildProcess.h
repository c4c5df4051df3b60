#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <atomic>
#include <functional>
#include <optional>

// Runs an outside program that reads a file for the program (a reader of its own, or an office
// suite converting one) and watches it: its input is empty, its errors are let go, its output
// goes to a sink as it comes. A child that goes quiet for too long, takes too long in all, or
// that the sink or the user's cancel stops, is killed; the caller learns how it ended.
namespace child {

struct Watch {
    // How long the child may go without writing anything, and take in all. The time the caller
    // spends in the sink is not the child's: it counts for neither.
    int quietMs = 30000;
    int totalMs = 600000;
    // Looked at every tenth of a second: set, the child is stopped.
    const std::atomic_bool* cancel = nullptr;
};

// Takes the output as it comes; false stops the child.
using Sink = std::function<bool(const char* data, qsizetype size)>;

struct Outcome {
    enum class End {
        Exited,    // of itself: `status` says how (as waitpid gives it)
        Cancelled, // the cancel was set
        Hung,      // quiet or slow beyond `limitMs`
        Stopped,   // by the sink
        Broken,    // its output could not be watched
    };
    End end = End::Exited;
    int status = 0;
    int limitMs = 0;

    bool succeeded() const;
};

// Why a program could not be started.
enum class StartFailure {
    Pipe,  // no pipe for its output (no file descriptor left)
    Spawn, // the system did not start it
};

// None when the program cannot be started, and in `failure` (when given) why. `args` follow the
// program's own name.
std::optional<Outcome> run(const QByteArray& program, const QByteArrayList& args,
                           const Watch& watch, const Sink& sink, StartFailure* failure = nullptr);

} // namespace child
