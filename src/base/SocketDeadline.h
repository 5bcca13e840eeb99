#pragma once
// A deadline for a wait on a socket that a library performs without one. A
// server that stops answering without closing the connection (a paused
// machine, a network that swallows packets while the server's kernel still
// acknowledges) leaves a blocking read waiting for ever: keepalives see a
// live peer. While a SocketDeadline is held, a watcher thread shuts the
// socket down once the time is up, which ends the wait with an error as a
// closed connection would. One deadline at a time: a nested one is ignored
// and the outer one stands.
#include <chrono>

namespace brenvoll {

class SocketDeadline
{
public:
    SocketDeadline(int socket, std::chrono::milliseconds limit);
    ~SocketDeadline();
    SocketDeadline(const SocketDeadline&) = delete;
    SocketDeadline& operator=(const SocketDeadline&) = delete;

    // Whether the time ran out and the socket was shut down.
    bool expired() const;

private:
    bool m_armed = false;  // this one set the watcher
    bool m_nested = false; // inside another deadline, which stands
};

} // namespace brenvoll
