#include "WorkFiles.h"

#include <QByteArray>

#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace sheets::workfiles {

FILE* watchedFile(const char* dir);

namespace {

thread_local Watch* t_watch = nullptr;

struct WorkFile {
    int fd;
    std::shared_ptr<Watch::State> state;
    FILE* stream = nullptr;

    void failed(int err) {
        if (state->failure == 0)
            state->failure = err ? err : EIO;
    }
};

ssize_t writeTo(void* cookie, const char* buf, size_t size) {
    auto* f = static_cast<WorkFile*>(cookie);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(f->fd, buf + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            f->failed(n < 0 ? errno : ENOSPC);
            break;
        }
        done += size_t(n);
    }
    return ssize_t(done);
}

ssize_t readFrom(void* cookie, char* buf, size_t size) {
    auto* f = static_cast<WorkFile*>(cookie);
    ssize_t n;
    do
        n = ::read(f->fd, buf, size);
    while (n < 0 && errno == EINTR);
    return n;
}

int seekIn(void* cookie, off64_t* offset, int whence) {
    auto* f = static_cast<WorkFile*>(cookie);
    const off64_t at = ::lseek64(f->fd, *offset, whence);
    if (at < 0)
        return -1;
    *offset = at;
    return 0;
}

int closeFile(void* cookie) {
    auto* f = static_cast<WorkFile*>(cookie);
    const int rc = ::close(f->fd);
    if (rc != 0)
        f->failed(errno);
    f->state->open.erase(f->stream);
    delete f;
    return rc == 0 ? 0 : EOF;
}

// An unnamed file in the folder, readable by the owner only; -1 when none can be made.
int unnamedFile(const char* dir) {
    int fd = ::open(dir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    // A file system without unnamed files: a named one, its name removed at once.
    QByteArray name = QByteArray(dir) + "/.lxw-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.constData());
    return fd;
}

using MakeFile = FILE* (*)(char*);

// The library's own lxw_tmpfile, after this program's in the search order.
MakeFile libraryMakeFile() {
    static const MakeFile f = reinterpret_cast<MakeFile>(::dlsym(RTLD_NEXT, "lxw_tmpfile"));
    return f;
}

} // namespace

Watch::Watch() : m_outer(t_watch), m_state(std::make_shared<State>()) {
    t_watch = this;
}

Watch::~Watch() {
    t_watch = m_outer;
}

int Watch::files() const {
    return m_state->files;
}

int Watch::failure() const {
    return m_state->failure;
}

void Watch::closeLeft() {
    const std::set<FILE*> left = m_state->open;
    for (FILE* stream : left)
        std::fclose(stream);
}

FILE* watchedFile(const char* dir) {
    if (!dir || !*dir) {
        dir = std::getenv("TMPDIR");
        if (!dir || !*dir)
            dir = "/tmp";
    }
    const int fd = unnamedFile(dir);
    if (fd < 0)
        return nullptr;
    auto* f = new WorkFile{fd, t_watch->m_state};
    const cookie_io_functions_t io{readFrom, writeTo, seekIn, closeFile};
    FILE* stream = ::fopencookie(f, "w+", io);
    if (!stream) {
        ::close(fd);
        delete f;
        return nullptr;
    }
    // The parts are written in large pieces: fewer calls into the system.
    std::setvbuf(stream, nullptr, _IOFBF, std::size_t(1) << 16);
    f->stream = stream;
    t_watch->m_state->open.insert(stream);
    ++t_watch->m_state->files;
    return stream;
}

} // namespace sheets::workfiles

extern "C" FILE* lxw_tmpfile(char* tmpdir) {
    using namespace sheets::workfiles;
    if (t_watch)
        return watchedFile(tmpdir);
    const MakeFile library = libraryMakeFile();
    return library ? library(tmpdir) : std::tmpfile();
}
