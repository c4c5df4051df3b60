#pragma once

#include <atomic>

namespace pg {

// Stops, from any thread, what a connection to the server is waiting for: the connection's
// waits watch it beside the network, and end as soon as it is raised.
class Interrupt {
public:
    Interrupt();
    ~Interrupt();
    Interrupt(const Interrupt&) = delete;
    Interrupt& operator=(const Interrupt&) = delete;

    void raise();
    bool raised() const { return m_raised.load(); }
    // Readable once raised; -1 when the system gave none (then only raised() tells).
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    std::atomic<bool> m_raised{false};
};

} // namespace pg
