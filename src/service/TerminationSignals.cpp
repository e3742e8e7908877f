#include "service/TerminationSignals.h"

#include "base/AbortToken.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
AbortToken *g_token = nullptr; // set before the handler is installed: no lazy initialisation inside it
volatile std::sig_atomic_t g_lastSignal = 0;

extern "C" void onTerminationSignal(int signal)
{
    g_lastSignal = signal;
    // First the call or statement that blocks the user-interface thread is abandoned (the event loop would not
    // see the signal before it returned), then the event loop closes the program.
    if (g_token)
        g_token->trip();
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_pipe[0], &byte, 1);
}

extern "C" void onHangupSignal(int)
{
    const char byte = 2;
    [[maybe_unused]] const auto written = ::write(g_pipe[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(AbortToken &stop, std::function<void()> onSignal, QObject *parent)
    : QObject(parent)
    , m_onSignal(std::move(onSignal))
{
    g_token = &stop;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    for (int fd : g_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        bool terminate = false;
        bool hangup = false;
        ssize_t n = 0;
        while ((n = ::read(g_pipe[1], buffer, sizeof buffer)) > 0) {
            for (ssize_t i = 0; i < n; ++i)
                (buffer[i] == 2 ? hangup : terminate) = true;
        }
        if (hangup && m_onHangup && !terminate)
            m_onHangup();
        if (terminate && m_onSignal)
            m_onSignal();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

void TerminationSignals::setHangupHandler(std::function<void()> onHangup)
{
    m_onHangup = std::move(onHangup);
    struct sigaction action = {};
    action.sa_handler = onHangupSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGHUP, &action, nullptr);
}

int TerminationSignals::lastSignal()
{
    return g_lastSignal;
}

TerminationSignals::~TerminationSignals()
{
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    if (m_onHangup)
        ::signal(SIGHUP, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
