#include "base/WakeEvent.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

WakeEvent::WakeEvent()
    : m_handle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

WakeEvent::~WakeEvent()
{
    if (valid())
        ::close(int(m_handle));
}

void WakeEvent::send() noexcept
{
    if (!valid())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(int(m_handle), &one, sizeof one);
}

bool WakeEvent::wait()
{
    pollfd p{int(m_handle), POLLIN, 0};
    if (::poll(&p, 1, -1) < 0 && errno != EINTR)
        return false;
    std::uint64_t count = 0;
    [[maybe_unused]] const auto got = ::read(int(m_handle), &count, sizeof count);
    return true;
}
