#pragma once

#include <QString>

// The service manager's notifications (systemd's notify protocol): ready, a status text, the watchdog's
// keep-alive and stopping. Without NOTIFY_SOCKET in the environment every call does nothing. This is the only
// place that talks to the service manager. The Windows build has no such protocol: there every call does nothing.
class ServiceNotifier
{
  public:
    ServiceNotifier();

    bool enabled() const { return m_enabled; }
    // The watchdog interval the service manager asked for in microseconds (0: no watchdog for this process).
    quint64 watchdogUsec() const { return m_watchdogUsec; }

    void ready(const QString &status = {}) const;
    void status(const QString &text) const;
    void watchdog() const;
    void stopping() const;

  private:
    void send(const QByteArray &state) const;

    bool m_enabled = false;
    quint64 m_watchdogUsec = 0;
};
