#pragma once

// Lets the message loop run once between the items of a long operation, so timers and clicks are handled.
class EventPump
{
  public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

// Runs the Qt event loop once.
class QtEventPump : public EventPump
{
  public:
    void processEvents() override;
};

// Does nothing; for tests that do not interleave events.
class NoEventPump : public EventPump
{
  public:
    void processEvents() override {}
};
