#pragma once
#include <atomic>
#include <thread>

namespace morv::test {

/// An HTTP server on 127.0.0.1 (a port of the system's choosing) that answers every
/// request "404" and counts them. It serves at most a few hundred connections, then
/// stops by itself; the destructor stops it at once.
class CountingServer {
public:
    CountingServer();
    ~CountingServer();
    CountingServer(const CountingServer&) = delete;
    CountingServer& operator=(const CountingServer&) = delete;

    int port() const { return m_port; }
    int requests() const { return m_requests.load(); }

private:
    int m_listener = -1, m_port = 0;
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

}  // namespace morv::test
