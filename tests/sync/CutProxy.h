#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

// A TCP relay to the server that the test controls: it passes bytes both ways until a budget of
// bytes has gone through, then cuts every connection at once, as a lost network would, or
// stalls them: they stay open and nothing more goes through, either way, as on a network that
// hangs.
class CutProxy {
public:
    enum class Then { Cut, Stall };
    CutProxy(int serverPort, std::int64_t budget, Then then = Then::Cut);
    ~CutProxy();
    int port() const { return m_port; }
    std::int64_t passed() const { return m_passed.load(); }

private:
    void serve();
    void relay(int client);
    int m_listen = -1;
    int m_port = 0;
    int m_serverPort = 0;
    std::int64_t m_budget = 0;
    Then m_then = Then::Cut;
    std::atomic<std::int64_t> m_passed{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
