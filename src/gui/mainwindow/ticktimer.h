// The playback tick. Whether it is active is part of the player's state, so
// it stays active while a song is paused; but a paused song leaves nothing to
// show, so meanwhile it may sleep: active, without waking the program, until
// something it shows may have changed.
#pragma once

#include <QTimer>

class TickTimer : public QTimer
{
public:
    // About the rate of a 1 ms timer on the platform the program was first
    // written for, without the thousand wake-ups a second of a real one.
    static constexpr int IntervalMs = 16;

    explicit TickTimer(QObject *parent) : QTimer(parent)
    {
        setInterval(IntervalMs);
        setTimerType(Qt::PreciseTimer);
    }

    // Start and stop always leave the tick awake.
    void start()
    {
        m_asleep = false;
        QTimer::start(IntervalMs);
    }
    void stop()
    {
        m_asleep = false;
        QTimer::stop();
    }

    // Still active, but the next tick comes only after wake() (or an hour).
    void sleep()
    {
        if (!isActive())
            return;
        m_asleep = true;
        QTimer::start(SleepMs);
    }
    // The next tick within one interval, if asleep.
    void wake()
    {
        if (m_asleep && isActive())
            start();
    }
    bool asleep() const { return m_asleep && isActive(); }

private:
    static constexpr int SleepMs = 3600 * 1000;
    bool m_asleep = false;
};
