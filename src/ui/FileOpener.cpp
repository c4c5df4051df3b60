#include "FileOpener.h"
#include "files/FolderNames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr char kOpener[] = "xdg-open";

QString exitCause(int status, const QString& path) {
    if (WIFSIGNALED(status))
        return QStringLiteral("il programma %1 è stato interrotto").arg(QLatin1String(kOpener));
    switch (WEXITSTATUS(status)) {
    case 2:
        return QStringLiteral("il file non è stato trovato");
    case 3:
    case 4:
        // An example the user can install, for the kind of file at hand.
        return QStringLiteral("sul computer non è impostato alcun programma per aprire i file "
                              "di questo tipo (ad esempio %1)")
            .arg(path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
                     ? QStringLiteral("un visualizzatore di PDF come Visualizzatore documenti")
                     : QStringLiteral("LibreOffice Calc"));
    default:
        return QStringLiteral("il programma %1 è terminato con il codice %2")
            .arg(QLatin1String(kOpener))
            .arg(WEXITSTATUS(status));
    }
}

// Waits without blocking the window: paint events go on, the user's input waits.
void pause(int ms) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    ::usleep(useconds_t(ms) * 1000);
}

} // namespace

Status DesktopFileOpener::open(const QString& path) {
    QByteArray file = folders::native(path);
    QByteArray program(kOpener);
    char* argv[] = {program.data(), file.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The child gets no descriptor of ours (the database, work files) and reads nothing.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return makeError(
            rc == ENOENT
                ? QStringLiteral("il programma %1 (pacchetto xdg-utils) non è "
                                 "installato")
                      .arg(QLatin1String(kOpener))
                : QStringLiteral("impossibile avviare il programma %1").arg(QLatin1String(kOpener)),
            rc);

    QElapsedTimer waited;
    waited.start();
    for (int step = 5;; step = std::min(step * 2, 50)) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0
                       ? Status{}
                       : Status{makeError(exitCause(status, path),
                                          WIFEXITED(status) ? WEXITSTATUS(status) : -1)};
        if (r < 0 && errno != EINTR)
            return {};
        if (waited.elapsed() >= m_waitMs) {
            // Still running: it is showing the file. It is reaped whenever it ends.
            std::thread([pid]() {
                int s = 0;
                while (::waitpid(pid, &s, 0) < 0 && errno == EINTR) {
                }
            }).detach();
            return {};
        }
        pause(step);
    }
}
