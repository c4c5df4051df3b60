#include "Interrupt.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace pg {

Interrupt::Interrupt() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Interrupt::~Interrupt() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void Interrupt::raise() {
    if (m_raised.exchange(true))
        return;
    if (m_fd >= 0) {
        const std::uint64_t one = 1;
        // A full counter is already readable: nothing to do when the write fails.
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
    }
}

} // namespace pg
