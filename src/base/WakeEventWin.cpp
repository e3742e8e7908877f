#include "base/WakeEvent.h"

#include <windows.h>

WakeEvent::WakeEvent()
{
    // Auto-reset: a wait clears the event, and sends before it count as one.
    if (HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr))
        m_handle = reinterpret_cast<qintptr>(event);
}

WakeEvent::~WakeEvent()
{
    if (valid())
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

void WakeEvent::send() noexcept
{
    if (valid())
        ::SetEvent(reinterpret_cast<HANDLE>(m_handle));
}

bool WakeEvent::wait()
{
    return ::WaitForSingleObject(reinterpret_cast<HANDLE>(m_handle), INFINITE) == WAIT_OBJECT_0;
}
