#include "SocketDeadline.h"

#include <condition_variable>
#include <mutex>
#include <sys/socket.h>
#include <thread>

namespace brenvoll {

namespace {
using Clock = std::chrono::steady_clock;

// The one watcher: started with the first deadline, it sleeps until the armed
// deadline passes or is taken back. The socket is shut down under the lock,
// so a deadline taken back (and its socket perhaps closed and its number
// reused by then) is never acted on.
struct Watcher
{
    std::mutex mutex;
    std::condition_variable changed;
    bool armed = false;
    bool expired = false;
    int socket = -1;
    Clock::time_point due;
    std::thread thread;

    Watcher()
    {
        thread = std::thread([this] { watch(); });
        thread.detach();
    }

    void watch()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            if (!armed) {
                changed.wait(lock);
                continue;
            }
            const Clock::time_point until = due;
            if (changed.wait_until(lock, until) == std::cv_status::timeout && armed && due == until &&
                Clock::now() >= until) {
                ::shutdown(socket, SHUT_RDWR);
                expired = true;
                armed = false;
            }
        }
    }
};

Watcher& watcher()
{
    // Never destroyed: the detached thread may outlive static destruction.
    static auto* const instance = new Watcher;
    return *instance;
}

thread_local int t_depth = 0;
} // namespace

SocketDeadline::SocketDeadline(int socket, std::chrono::milliseconds limit)
{
    if (socket < 0 || t_depth++ > 0) {
        m_nested = socket >= 0;
        return;
    }
    Watcher& w = watcher();
    {
        std::lock_guard lock(w.mutex);
        w.socket = socket;
        w.due = Clock::now() + limit;
        w.armed = true;
        w.expired = false;
    }
    w.changed.notify_one();
    m_armed = true;
}

SocketDeadline::~SocketDeadline()
{
    if (m_armed) {
        Watcher& w = watcher();
        {
            std::lock_guard lock(w.mutex);
            w.armed = false;
        }
        w.changed.notify_one();
    }
    if (m_armed || m_nested) {
        --t_depth;
    }
}

bool SocketDeadline::expired() const
{
    if (!m_armed) {
        return false;
    }
    Watcher& w = watcher();
    std::lock_guard lock(w.mutex);
    return w.expired;
}

} // namespace brenvoll
