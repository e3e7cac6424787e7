#include "support/CountingServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace morv::test {

namespace {

constexpr int kMaxConnections = 500;

sockaddr_in loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

}  // namespace

CountingServer::CountingServer() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listener, 16) != 0 || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error(std::string("test server: ") + std::strerror(errno));
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { serve(); });
}

CountingServer::~CountingServer() {
    m_stopping = true;
    // A connection of our own wakes the accept; the loop sees the flag and ends.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(m_port);
    if (fd >= 0) {
        ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
        ::close(fd);
    }
    m_thread.join();
    ::close(m_listener);
}

void CountingServer::serve() {
    for (int served = 0; served < kMaxConnections; ++served) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        if (m_stopping) {
            ::close(fd);
            return;
        }
        // Reads the request's head; a client that sends nothing is dropped after a
        // while so the loop cannot stall (no result depends on that wait).
        std::string head;
        char buf[4096];
        pollfd p{fd, POLLIN, 0};
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && ::poll(&p, 1, 10000) > 0) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            head.append(buf, std::size_t(n));
        }
        if (!head.empty()) {
            ++m_requests;
            static const char reply[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            [[maybe_unused]] const ssize_t w = ::write(fd, reply, sizeof reply - 1);
        }
        ::close(fd);
    }
}

}  // namespace morv::test
