#pragma once

#include <QtGlobal>

// Marks the user-interface thread as blocked in a call that ends within a limit of its own (a service call with
// its call limit). The service manager's watchdog is then kept fed from another thread for as long as the limit
// holds: a cycle waiting on the network is not a hung program, one stuck beyond every limit is.
class BlockingWait
{
  public:
    explicit BlockingWait(qint64 limitMs);
    ~BlockingWait();
    BlockingWait(const BlockingWait &) = delete;
    BlockingWait &operator=(const BlockingWait &) = delete;

    // Whether a marked wait is under way and still within its limit.
    static bool withinLimit();

  private:
    qint64 m_previousDeadline;
};
