#pragma once

#include <QDateTime>

// The current local time, injectable so tests can fix it.
class Clock
{
  public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
  public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class FixedClock : public Clock
{
  public:
    explicit FixedClock(QDateTime at)
        : m_at(std::move(at))
    {
    }
    QDateTime now() const override { return m_at; }
    void set(const QDateTime &at) { m_at = at; }
    void advanceSecs(qint64 s) { m_at = m_at.addSecs(s); }

  private:
    QDateTime m_at;
};
