#include "base/AbortToken.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

AbortToken::AbortToken()
    : m_eventFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

AbortToken::~AbortToken()
{
    m_stopping.store(true, std::memory_order_release);
    if (m_eventFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_eventFd, &one, sizeof one);
    }
    if (m_watcher.joinable())
        m_watcher.join();
    if (m_eventFd >= 0)
        ::close(m_eventFd);
}

AbortToken &AbortToken::program()
{
    static AbortToken token;
    return token;
}

void AbortToken::trip() noexcept
{
    m_tripped.store(true, std::memory_order_release);
    if (m_eventFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_eventFd, &one, sizeof one);
    }
}

void AbortToken::reset() noexcept
{
    m_tripped.store(false, std::memory_order_release);
}

QString AbortToken::abortedText()
{
    return QStringLiteral("Afgebroken omdat het programma wordt gesloten");
}

void AbortToken::ensureWatcher()
{
    // Called with m_mutex held. The thread starts with the first watch, never inside a signal handler.
    if (!m_watcher.joinable() && m_eventFd >= 0)
        m_watcher = std::thread([this] { watchLoop(); });
}

void AbortToken::watchLoop()
{
    for (;;) {
        pollfd p{m_eventFd, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0 && errno != EINTR)
            return;
        std::uint64_t count = 0;
        [[maybe_unused]] const auto got = ::read(m_eventFd, &count, sizeof count);
        if (m_stopping.load(std::memory_order_acquire))
            return;
        if (!tripped())
            continue;
        std::lock_guard lock(m_mutex);
        for (const auto &cancel : m_cancels) {
            if (cancel)
                cancel();
        }
    }
}

AbortToken::Watch::Watch(AbortToken &token, std::function<void()> cancel)
    : m_token(token)
{
    {
        std::lock_guard lock(token.m_mutex);
        token.ensureWatcher();
        m_entry = token.m_cancels.insert(token.m_cancels.end(), cancel);
    }
    // A trip that came before the watch existed has no wake-up left for it.
    if (token.tripped() && cancel)
        cancel();
}

AbortToken::Watch::~Watch()
{
    std::lock_guard lock(m_token.m_mutex);
    m_token.m_cancels.erase(m_entry);
}
