#include "TerminalPassword.h"

#include <QByteArray>

#include <algorithm>
#include <termios.h>
#include <unistd.h>

std::optional<QString> readPassword(const char* prompt, std::FILE* in, std::FILE* out) {
    const int fd = ::fileno(in);
    const bool terminal = ::isatty(fd) != 0;
    struct termios saved {};
    if (terminal) {
        std::fputs(prompt, out);
        std::fflush(out);
        if (::tcgetattr(fd, &saved) != 0)
            return std::nullopt;
        struct termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0)
            return std::nullopt;
    }
    QByteArray line;
    bool ended = false;
    for (int c; (c = std::fgetc(in)) != EOF;) {
        if (c == '\n') {
            ended = true;
            break;
        }
        line.append(char(c));
    }
    if (terminal)
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    if (line.endsWith('\r'))
        line.chop(1);
    std::optional<QString> typed;
    if (ended || !line.isEmpty())
        typed = QString::fromUtf8(line);
    std::fill(line.begin(), line.end(), '\0');
    return typed;
}
