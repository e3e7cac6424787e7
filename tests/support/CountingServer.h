#pragma once
#include <atomic>
#include <thread>

namespace morv::test {

/// An HTTP server on 127.0.0.1 (a port of the system's choosing) that answers every
/// request "404 Not Found" and counts them, so a test can show that nothing asked
/// it for anything. It serves at most a few hundred connections, then stops by
/// itself; the destructor stops it at once.
class CountingServer {
public:
    CountingServer();
    ~CountingServer();
    CountingServer(const CountingServer&) = delete;
    CountingServer& operator=(const CountingServer&) = delete;

    int port() const { return m_port; }
    /// Requests received so far (connections that sent anything).
    int requests() const { return m_requests.load(); }

private:
    void serve();
    int m_listener = -1;
    int m_port = 0;
    std::atomic<int> m_requests{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

}  // namespace morv::test
