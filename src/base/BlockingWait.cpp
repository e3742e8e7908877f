#include "base/BlockingWait.h"

#include <atomic>
#include <chrono>

namespace
{

std::atomic<qint64> g_deadline{0}; // steady-clock milliseconds; 0: no wait under way

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

BlockingWait::BlockingWait(qint64 limitMs)
    : m_previousDeadline(g_deadline.exchange(nowMs() + limitMs))
{
}

BlockingWait::~BlockingWait()
{
    g_deadline.store(m_previousDeadline);
}

bool BlockingWait::withinLimit()
{
    const qint64 deadline = g_deadline.load();
    return deadline != 0 && nowMs() < deadline;
}
