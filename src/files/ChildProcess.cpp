#include "ChildProcess.h"

#include <QElapsedTimer>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace child {
namespace {

// The read end of the child's output, closed whatever happens.
struct Pipe {
    int fds[2] = {-1, -1};
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
};

// How often a waiting run looks whether it is cancelled.
constexpr int kCancelLookMs = 100;

} // namespace

bool Outcome::succeeded() const {
    return end == End::Exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<Outcome> run(const QByteArray& program, const QByteArrayList& args,
                           const Watch& watch, const Sink& sink, StartFailure* failure) {
    Pipe pipe;
    if (::pipe2(pipe.fds, O_CLOEXEC) != 0) {
        if (failure)
            *failure = StartFailure::Pipe;
        return std::nullopt;
    }
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe.fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // A group of its own: a child that starts others (an office suite does) is stopped whole.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipe.fds[1]);
    pipe.fds[1] = -1;
    if (spawned != 0) {
        if (failure)
            *failure = StartFailure::Spawn;
        return std::nullopt;
    }
    ::fcntl(pipe.fds[0], F_SETFL, ::fcntl(pipe.fds[0], F_GETFL) | O_NONBLOCK);

    QElapsedTimer quiet;
    quiet.start();
    QElapsedTimer total;
    total.start();
    // The time spent in the sink, which is not the child's.
    qint64 inSink = 0;
    const auto childMs = [&] { return total.elapsed() - inSink; };
    // Set when the child is stopped before its end.
    std::optional<Outcome> stop;
    std::vector<char> storage(65536);
    for (;;) {
        if (watch.cancel && watch.cancel->load()) {
            stop = Outcome{Outcome::End::Cancelled};
            break;
        }
        const qint64 quietLeft = watch.quietMs - quiet.elapsed();
        const qint64 totalLeft = watch.totalMs - childMs();
        if (quietLeft <= 0 || totalLeft <= 0) {
            stop = Outcome{Outcome::End::Hung, 0, quietLeft <= 0 ? watch.quietMs : watch.totalMs};
            break;
        }
        pollfd fd{pipe.fds[0], POLLIN, 0};
        const int ready =
            ::poll(&fd, 1, int(std::min<qint64>({quietLeft, totalLeft, kCancelLookMs})));
        if (ready < 0 && errno != EINTR) {
            stop = Outcome{Outcome::End::Broken};
            break;
        }
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(pipe.fds[0], storage.data(), storage.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            break;
        QElapsedTimer sinking;
        sinking.start();
        const bool more = sink(storage.data(), n);
        inSink += sinking.elapsed();
        // The child's quiet starts once the sink is done with what it wrote.
        quiet.restart();
        if (!more) {
            stop = Outcome{Outcome::End::Stopped};
            break;
        }
    }
    int status = 0;
    if (!stop) {
        // The output is closed: the child is ending. One that lingers is stopped all the same.
        quiet.restart();
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid)
                break;
            if (done < 0 && errno != EINTR) {
                stop = Outcome{Outcome::End::Broken};
                break;
            }
            if (watch.cancel && watch.cancel->load()) {
                stop = Outcome{Outcome::End::Cancelled};
                break;
            }
            if (quiet.elapsed() > watch.quietMs || childMs() > watch.totalMs) {
                stop = Outcome{Outcome::End::Hung, 0,
                               quiet.elapsed() > watch.quietMs ? watch.quietMs : watch.totalMs};
                break;
            }
            ::usleep(2000);
        }
    }
    if (stop) {
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return stop;
    }
    return Outcome{Outcome::End::Exited, status};
}

} // namespace child
