#pragma once

#include <QtGlobal>

// A wake-up that one thread sends and another waits for. Sending is async-signal-safe, so a signal handler may send;
// several sends before a wait count as one. Linux: an event descriptor; Windows: an auto-reset event object.
class WakeEvent
{
  public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent &) = delete;
    WakeEvent &operator=(const WakeEvent &) = delete;

    // False when the system gave no event (nothing can wait then).
    bool valid() const { return m_handle != -1; }
    void send() noexcept;
    // Blocks until a send, then clears it; false when waiting failed for good.
    bool wait();

  private:
    qintptr m_handle = -1;
};
