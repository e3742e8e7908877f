#include "base/AbortToken.h"

AbortToken::AbortToken() = default;

AbortToken::~AbortToken()
{
    m_stopping.store(true, std::memory_order_release);
    m_wake.send();
    if (m_watcher.joinable())
        m_watcher.join();
}

void AbortToken::trip() noexcept
{
    m_tripped.store(true, std::memory_order_release);
    m_wake.send();
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
    if (!m_watcher.joinable() && m_wake.valid())
        m_watcher = std::thread([this] { watchLoop(); });
}

void AbortToken::watchLoop()
{
    for (;;) {
        if (!m_wake.wait())
            return;
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
