#pragma once

#include <QObject>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <thread>

class ServiceNotifier;

// Feeds the service manager's watchdog at half its interval from the event loop, so a program whose event loop
// hangs is restarted. While the user-interface thread is blocked in a call that has a limit of its own (see
// BlockingWait), a helper thread feeds it instead until that limit passes. Does nothing without a watchdog.
class WatchdogKeeper : public QObject
{
    Q_OBJECT
  public:
    explicit WatchdogKeeper(const ServiceNotifier &notifier, QObject *parent = nullptr);
    ~WatchdogKeeper() override;

  private:
    const ServiceNotifier &m_notifier;
    QTimer m_timer;
    std::thread m_helper;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};
