#include "CutProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

CutProxy::CutProxy(int serverPort, std::int64_t budget, Then then)
    : m_serverPort(serverPort), m_budget(budget), m_then(then) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(m_listen, 16);
    socklen_t len = sizeof a;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { serve(); });
}

CutProxy::~CutProxy() {
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

void CutProxy::serve() {
    std::vector<std::thread> relays;
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client >= 0)
            relays.emplace_back([this, client] { relay(client); });
    }
    for (auto& t : relays)
        t.join();
}

void CutProxy::relay(int client) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(std::uint16_t(m_serverPort));
    if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(server);
        ::close(client);
        return;
    }
    char buf[16384];
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    // A side closed its end, or the budget is spent.
    bool closed = false;
    bool spent = m_passed.load() >= m_budget;
    while (!m_stop && !closed && !spent) {
        if (::poll(fds, 2, 50) <= 0)
            continue;
        for (int i = 0; i < 2 && !closed && !spent; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const std::int64_t left = m_budget - m_passed.load();
            if (left <= 0) {
                spent = true;
                break;
            }
            const ssize_t n =
                ::read(fds[i].fd, buf, size_t(std::min<std::int64_t>(left, sizeof buf)));
            if (n <= 0) {
                closed = true;
                break;
            }
            m_passed += n;
            if (::write(fds[1 - i].fd, buf, size_t(n)) != n)
                closed = true;
        }
        spent = spent || m_passed.load() >= m_budget;
    }
    // A stalled network: the connections stay, silent, until the relay ends.
    while (m_then == Then::Stall && !closed && !m_stop)
        ::poll(nullptr, 0, 50);
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
    ::close(client);
    ::close(server);
}
