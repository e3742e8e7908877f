#include "service/TerminationSignals.h"

#include "base/AbortToken.h"

#include <QMetaObject>

#include <atomic>
#include <csignal>
#include <mutex>

#include <windows.h>

// Windows ends a console program through console control events, delivered on a thread of their own: Ctrl+C and
// Ctrl+Break stand for SIGINT; closing the console, logging off and shutting down for SIGTERM. For the last three
// the system ends the process as soon as the handler returns, so the handler waits until the program has written
// its settings and let go of this object (the system's own limit still applies).
namespace
{

std::mutex g_mutex; // guards g_deliver
std::function<void()> g_deliver;
AbortToken *g_token = nullptr;
std::atomic<int> g_lastSignal{0};
HANDLE g_finished = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    const bool ending = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    g_lastSignal = ending ? SIGTERM : SIGINT;
    // First the call or statement that blocks the user-interface thread is abandoned, then the event loop closes
    // the program.
    if (g_token)
        g_token->trip();
    {
        const std::lock_guard lock(g_mutex);
        if (g_deliver)
            g_deliver();
    }
    if (ending && g_finished)
        ::WaitForSingleObject(g_finished, INFINITE);
    return TRUE;
}

} // namespace

TerminationSignals::TerminationSignals(AbortToken &stop, std::function<void()> onSignal, QObject *parent)
    : QObject(parent)
    , m_onSignal(std::move(onSignal))
{
    g_token = &stop;
    g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        const std::lock_guard lock(g_mutex);
        g_deliver = [this] {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_onSignal)
                        m_onSignal();
                },
                Qt::QueuedConnection);
        };
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void TerminationSignals::setHangupHandler(std::function<void()> onHangup)
{
    // Windows has no reload signal: the settings are read again at the next start.
    m_onHangup = std::move(onHangup);
}

int TerminationSignals::lastSignal()
{
    return g_lastSignal;
}

TerminationSignals::~TerminationSignals()
{
    {
        const std::lock_guard lock(g_mutex);
        g_deliver = nullptr;
    }
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    if (g_finished) {
        ::SetEvent(g_finished); // a handler waiting for the end may return now
    }
}
