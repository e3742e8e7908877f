#pragma once

#include "base/WakeEvent.h"

#include <QString>

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// A request to stop what blocks now: a service call, a download or a database statement. The program makes one
// at its start and hands it to whatever can block; it trips it when it is told to end (SIGTERM, SIGINT,
// "SLUITEN"). Whatever blocks watches it and gives up within a moment, failing the way any failed call or
// statement fails, so the operation ends with its log line and the program can close.
//
//   stop.trip();                                  // any thread, also a signal handler
//   if (stop.tripped()) ...                       // before starting something that can block
//   AbortToken::Watch watch(token, [&] { ... });  // while blocking: the callback cancels the blocking work
//
// Once tripped, a token stays tripped until reset(): everything that would block afterwards fails at once.
class AbortToken
{
  public:
    AbortToken();
    ~AbortToken();
    AbortToken(const AbortToken &) = delete;
    AbortToken &operator=(const AbortToken &) = delete;

    // How long a service call already on the wire at a stop may still take to finish, so that its answer can be
    // recorded (an outbox event marked instead of sent again after the restart); only then is it abandoned.
    static constexpr int kStopGraceMs = 5000;

    // Async-signal-safe: an atomic store and a wake-up of the watcher, nothing else.
    void trip() noexcept;
    bool tripped() const noexcept { return m_tripped.load(std::memory_order_acquire); }
    // Forgets an earlier trip (a new session of the window, tests).
    void reset() noexcept;

    // The text of a call or statement that was abandoned because the program is closing.
    static QString abortedText();

    // Runs cancel on a thread of the token's own as soon as the token trips while the watch lives, or at once
    // (on the constructing thread) when it has tripped already. An empty cancel only marks the watch. cancel must be
    // safe to call from another thread than the one that blocks (posting to an event loop, sqlite3_interrupt,
    // SQLCancel) and must not make or destroy watches; it may run more than once. Once the destructor has returned,
    // cancel is not running and will not run.
    class Watch
    {
      public:
        Watch(AbortToken &token, std::function<void()> cancel);
        ~Watch();
        Watch(const Watch &) = delete;
        Watch &operator=(const Watch &) = delete;

      private:
        AbortToken &m_token;
        std::list<std::function<void()>>::iterator m_entry;
    };

  private:
    void ensureWatcher();
    void watchLoop();

    std::atomic<bool> m_tripped{false};
    std::atomic<bool> m_stopping{false};
    WakeEvent m_wake;
    std::mutex m_mutex; // guards m_cancels and m_watcher
    std::list<std::function<void()>> m_cancels;
    std::thread m_watcher;
};
