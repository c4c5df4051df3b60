#include "XlsProcess.h"

#include "ImportMessages.h"
#include "XlsStream.h"

#include "data/FolderNames.h"

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

namespace pricelists {
namespace {

// The read end of the reader's output, closed whatever happens.
struct Pipe {
    int fds[2] = {-1, -1};
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }
};

// How often a waiting reading looks whether the user cancelled it.
constexpr int kCancelLookMs = 100;

} // namespace

QByteArray xlsReaderProgram() {
    return QFile::encodeName(folders::programFolder()) + "/gestione-leggixls";
}

Result<Workbook> readXlsApart(const QString& path, const ReadLimits& limits,
                              ReadProgress* progress) {
    const QByteArray program = limits.xlsProgram.isEmpty() ? xlsReaderProgram() : limits.xlsProgram;
    const QString shownProgram = QFile::decodeName(program);
    Pipe pipe;
    if (::pipe2(pipe.fds, O_CLOEXEC) != 0)
        return makeError(msg::xlsReaderMissing(path, shownProgram));
    const QByteArray file = QFile::encodeName(path);
    const QByteArray rows = QByteArray::number(limits.maxRows);
    const QByteArray columns = QByteArray::number(limits.maxColumns);
    std::vector<char*> argv{
        const_cast<char*>(program.constData()), const_cast<char*>(file.constData()),
        const_cast<char*>(rows.constData()), const_cast<char*>(columns.constData()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe.fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe.fds[1]);
    pipe.fds[1] = -1;
    if (spawned != 0)
        return makeError(msg::xlsReaderMissing(path, shownProgram));
    ::fcntl(pipe.fds[0], F_SETFL, ::fcntl(pipe.fds[0], F_GETFL) | O_NONBLOCK);

    xlsstream::Decoder decoder(path, limits);
    QElapsedTimer quiet;
    quiet.start();
    QElapsedTimer total;
    total.start();
    // Set when the reader is stopped before its end: the message to give.
    std::optional<Error> stop;
    std::vector<char> storage(65536);
    for (;;) {
        if (progress && progress->cancel.load()) {
            stop = makeError(msg::cancelled());
            break;
        }
        const qint64 quietLeft = limits.xlsQuietMs - quiet.elapsed();
        const qint64 totalLeft = limits.xlsTotalMs - total.elapsed();
        if (quietLeft <= 0 || totalLeft <= 0) {
            const int ms = quietLeft <= 0 ? limits.xlsQuietMs : limits.xlsTotalMs;
            stop = makeError(msg::damaged(path, msg::xlsHung((ms + 999) / 1000)));
            break;
        }
        pollfd fd{pipe.fds[0], POLLIN, 0};
        const int ready =
            ::poll(&fd, 1, int(std::min<qint64>({quietLeft, totalLeft, kCancelLookMs})));
        if (ready < 0 && errno != EINTR) {
            stop = makeError(msg::damaged(path, msg::xlsStopped()));
            break;
        }
        if (ready <= 0)
            continue;
        const ssize_t n = ::read(pipe.fds[0], storage.data(), storage.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            break;
        quiet.restart();
        const auto state = decoder.feed(storage.data(), n);
        if (state == xlsstream::Decoder::State::Bad || state == xlsstream::Decoder::State::TooBig) {
            stop = decoder.finish().error();
            break;
        }
        if (progress)
            progress->percent.store(decoder.percent());
    }
    int status = 0;
    if (!stop) {
        // The output is closed: the reader is ending. One that lingers is stopped all the same.
        quiet.restart();
        for (;;) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid)
                break;
            if (done < 0 && errno != EINTR) {
                status = -1;
                break;
            }
            if (quiet.elapsed() > limits.xlsQuietMs) {
                stop =
                    makeError(msg::damaged(path, msg::xlsHung((limits.xlsQuietMs + 999) / 1000)));
                break;
            }
            ::usleep(2000);
        }
    }
    if (stop) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return *stop;
    }
    // A reader that ends its records and then dies has not read the file as it should.
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        decoder.state() != xlsstream::Decoder::State::Ended)
        return makeError(msg::damaged(path, msg::xlsStopped()));
    return decoder.finish();
}

} // namespace pricelists
