#include "support/CountingServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>

namespace morv::test {

CountingServer::CountingServer() {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listener, 16) != 0 || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("the test server cannot listen on 127.0.0.1");
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] {
        for (int served = 0; served < 500; ++served) {
            const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) return;  // shut down
            // A client that sends nothing is let go after a while, so the loop cannot stall.
            const timeval wait{10, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            char buf[4096];
            if (::read(fd, buf, sizeof buf) > 0) {
                ++m_requests;
                static const char reply[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                [[maybe_unused]] const ssize_t w = ::write(fd, reply, sizeof reply - 1);
            }
            ::close(fd);
        }
    });
}

CountingServer::~CountingServer() {
    ::shutdown(m_listener, SHUT_RDWR);  // wakes the accept
    m_thread.join();
    ::close(m_listener);
}

}  // namespace morv::test
