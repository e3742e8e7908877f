#include "service/ShellTimers.h"

#include <algorithm>
#include <limits>

int ControleInterval(const QString &xInterval, int minuteMs)
{
    qsizetype i = 0;
    while (i < xInterval.size() && (xInterval.at(i) == QLatin1Char(' ') || xInterval.at(i) == QLatin1Char('\t')))
        ++i;
    qint64 minutes = 0;
    while (i < xInterval.size() && xInterval.at(i) >= QLatin1Char('0') && xInterval.at(i) <= QLatin1Char('9')) {
        minutes = minutes * 10 + (xInterval.at(i).unicode() - '0');
        if (minutes > std::numeric_limits<int>::max())
            break;
        ++i;
    }
    if (minutes <= 0)
        minutes = 1; // also a minus sign before the digits: reading stopped at it
    const qint64 ms = minutes * minuteMs;
    return int(std::min<qint64>(ms, std::numeric_limits<int>::max()));
}

ShellTimers::ShellTimers(const Controls &controls, TimerActions actions, TimerIntervals intervals, QObject *parent)
    : QObject(parent)
    , m_controls(controls)
    , m_actions(std::move(actions))
    , m_intervals(intervals)
{
    m_main.setObjectName(QStringLiteral("MainTimer"));
    m_controle.setObjectName(QStringLiteral("Controle"));
    m_basis.setObjectName(QStringLiteral("BasisTabellen"));
    m_retour.setObjectName(QStringLiteral("RetourTimer"));
    m_starter.setObjectName(QStringLiteral("Starter"));
    m_main.setInterval(m_intervals.mainTimer);
    m_basis.setInterval(m_intervals.basisFirst);
    m_retour.setInterval(m_intervals.retour);
    m_starter.setInterval(m_intervals.starter);
    for (QTimer *t : {&m_main, &m_controle, &m_basis, &m_retour, &m_starter})
        t->setTimerType(Qt::CoarseTimer);
    onTimeout(m_main, &ShellTimers::mainTimerTick);
    onTimeout(m_controle, &ShellTimers::controleTick);
    onTimeout(m_basis, &ShellTimers::basisTabellenTick);
    onTimeout(m_retour, &ShellTimers::retourTimerTick);
    onTimeout(m_starter, &ShellTimers::starterTick);
}

void ShellTimers::onTimeout(QTimer &timer, void (ShellTimers::*event)())
{
    connect(&timer, &QTimer::timeout, this, [this, event] {
        if (m_actions.wrap)
            m_actions.wrap([this, event] { (this->*event)(); });
        else
            (this->*event)();
    });
}

void ShellTimers::start()
{
    for (QTimer *t : {&m_main, &m_basis, &m_retour, &m_starter})
        t->start();
}

// Enabling an enabled timer changes nothing (QTimer::start would restart its count).
void ShellTimers::enable(QTimer &timer)
{
    if (!timer.isActive())
        timer.start();
}

// Setting the interval a timer already has changes nothing (QTimer::setInterval would restart its count).
void ShellTimers::setInterval(QTimer &timer, int ms)
{
    if (timer.interval() != ms)
        timer.setInterval(ms);
}

void ShellTimers::mainTimerTick()
{
    if (!m_controls.checked(Control::xAuto) || m_controle.isActive())
        return;
    setInterval(m_controle, ControleInterval(m_controls.text(Control::xInterval), m_intervals.minute));
    enable(m_controle);
}

void ShellTimers::controleTick()
{
    m_controle.stop();
    setInterval(m_controle, ControleInterval(m_controls.text(Control::xInterval), m_intervals.minute));
    struct ReEnable {
        ShellTimers *self;
        ~ReEnable() { self->enable(self->m_controle); }
    } reEnable{this};
    if (m_actions.retrievalCycle)
        m_actions.retrievalCycle();
}

void ShellTimers::basisTabellenTick()
{
    if (!m_controls.checked(Control::xAuto))
        return;
    // A slow refresh runs on; a tick that comes during it does not start a second one.
    if (m_refreshing)
        return;
    if (!m_actions.referenceRefresh) {
        referenceRefreshEnded(true);
        return;
    }
    m_refreshing = true;
    m_actions.referenceRefresh();
}

void ShellTimers::referenceRefreshEnded(bool fetched)
{
    m_refreshing = false;
    if (fetched) {
        m_refreshFailures = 0;
        setInterval(m_basis, m_intervals.basisNext);
        return;
    }
    if (m_basis.interval() >= m_intervals.basisNext)
        return; // it fetched earlier: the regular interval stays
    m_refreshFailures = std::min(m_refreshFailures + 1, 30);
    const qint64 next = qint64(m_intervals.basisFirst) << std::min(m_refreshFailures, 20);
    setInterval(m_basis, int(std::min<qint64>(next, m_intervals.basisNext - 1)));
}

void ShellTimers::rearmControle()
{
    m_controle.stop();
    mainTimerTick();
}

void ShellTimers::retourTimerTick()
{
    if (m_actions.returnCycle)
        m_actions.returnCycle();
}

void ShellTimers::starterTick()
{
    m_starter.stop();
    if (m_actions.programBackup)
        m_actions.programBackup();
}
