#include "base/ServiceNotifier.h"

#include <QByteArray>

#include <cstdlib>
#include <systemd/sd-daemon.h>

ServiceNotifier::ServiceNotifier()
    : m_enabled(std::getenv("NOTIFY_SOCKET") != nullptr)
{
    uint64_t usec = 0;
    // Checks WATCHDOG_PID against this process too, so a child started with the same environment keeps quiet.
    if (m_enabled && sd_watchdog_enabled(0, &usec) > 0)
        m_watchdogUsec = usec;
}

void ServiceNotifier::send(const QByteArray &state) const
{
    if (m_enabled)
        sd_notify(0, state.constData());
}

void ServiceNotifier::ready(const QString &status) const
{
    send(status.isEmpty() ? QByteArrayLiteral("READY=1") : "READY=1\nSTATUS=" + status.toUtf8());
}

void ServiceNotifier::status(const QString &text) const
{
    QString single = text;
    single.replace(QLatin1Char('\n'), QLatin1Char(' '));
    send("STATUS=" + single.toUtf8());
}

void ServiceNotifier::watchdog() const
{
    send(QByteArrayLiteral("WATCHDOG=1"));
}

void ServiceNotifier::stopping() const
{
    send(QByteArrayLiteral("STOPPING=1"));
}
