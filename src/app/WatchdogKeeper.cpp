#include "app/WatchdogKeeper.h"

#include "base/BlockingWait.h"
#include "base/ServiceNotifier.h"

#include <chrono>

WatchdogKeeper::WatchdogKeeper(const ServiceNotifier &notifier, QObject *parent)
    : QObject(parent)
    , m_notifier(notifier)
{
    if (m_notifier.watchdogUsec() == 0)
        return;
    const auto half = std::chrono::milliseconds(std::max<quint64>(m_notifier.watchdogUsec() / 2000, 1));
    m_timer.setInterval(int(half.count()));
    connect(&m_timer, &QTimer::timeout, this, [this] { m_notifier.watchdog(); });
    m_timer.start();
    m_helper = std::thread([this, half] {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, half, [this] { return m_stop; })) {
            if (BlockingWait::withinLimit())
                m_notifier.watchdog();
        }
    });
}

WatchdogKeeper::~WatchdogKeeper()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_helper.joinable())
        m_helper.join();
}
