#include "ReaderProcess.h"

#include "files/FolderNames.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace jet::reader {
namespace {

Error damaged() {
    return makeError(QString(), kDamaged);
}

// The two pipes of the reader, closed whatever happens.
struct Pipes {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    ~Pipes() {
        for (int fd : {out[0], out[1], err[0], err[1]})
            if (fd >= 0)
                ::close(fd);
    }
    void closeWriteEnds() {
        ::close(out[1]);
        ::close(err[1]);
        out[1] = err[1] = -1;
    }
};

} // namespace

QByteArray program() {
    return QFile::encodeName(folders::programFolder()) + "/gestione-jetread";
}

Status run(const QByteArrayList& args, const Watch& watch, const FrameSink& sink) {
    Pipes pipes;
    if (::pipe2(pipes.out, O_CLOEXEC) != 0 || ::pipe2(pipes.err, O_CLOEXEC) != 0)
        return makeError(QStringLiteral("il programma che legge l'archivio non si può avviare "
                                        "(troppi file aperti?)"));
    const QByteArray path = watch.program.isEmpty() ? program() : watch.program;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.constData()));
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipes.out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipes.err[1], STDERR_FILENO);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return makeError(QStringLiteral("il programma che legge l'archivio (%1) non si può "
                                        "avviare")
                             .arg(QFile::decodeName(path)));
    pipes.closeWriteEnds();
    for (int fd : {pipes.out[0], pipes.err[0]})
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    frames::Reader reader;
    QElapsedTimer quiet;
    quiet.start();
    qint64 sent = 0;
    bool outOpen = true;
    bool errOpen = true;
    bool ended = false;
    // Set when the reader must be stopped: damage found, or the sink's error.
    std::optional<Status> stop;
    Status outcome;
    std::vector<char> storage(65536);
    char* const buffer = storage.data();
    while ((outOpen || errOpen) && !stop) {
        const qint64 left = watch.quietMs - quiet.elapsed();
        if (left <= 0) {
            stop = Status(damaged());
            break;
        }
        pollfd fds[2] = {{outOpen ? pipes.out[0] : -1, POLLIN, 0},
                         {errOpen ? pipes.err[0] : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, int(left));
        if (ready < 0 && errno != EINTR) {
            stop = Status(damaged());
            break;
        }
        if (ready <= 0)
            continue;
        if (fds[1].revents) {
            // The library's warnings: read and let go, however many.
            const ssize_t n = ::read(pipes.err[0], buffer, storage.size());
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                errOpen = false;
        }
        if (!fds[0].revents)
            continue;
        const ssize_t n = ::read(pipes.out[0], buffer, storage.size());
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            outOpen = false;
            continue;
        }
        if (n < 0)
            continue;
        sent += n;
        if (sent > watch.outputBytes) {
            stop = Status(damaged());
            break;
        }
        reader.feed(buffer, n);
        frames::Frame f;
        for (;;) {
            const auto next = reader.next(f);
            if (next == frames::Reader::Next::NeedMore)
                break;
            // Nothing may follow the last frame.
            if (next == frames::Reader::Next::Bad || ended) {
                stop = Status(damaged());
                break;
            }
            if (f.tag == frames::Tag::End) {
                ended = true;
            } else if (f.tag == frames::Tag::Failure) {
                ended = true;
                const auto text = frames::textOf(f.payload);
                outcome = text && !text->isEmpty() ? Status(makeError(*text)) : Status(damaged());
            } else if (Status s = sink(f); !s) {
                stop = s;
                break;
            }
        }
        // Time the program spent on the frames is not the reader's.
        quiet.restart();
    }
    if (stop)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (stop)
        return *stop;
    if (!ended || !reader.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return damaged();
    return outcome;
}

} // namespace jet::reader
