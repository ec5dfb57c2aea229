#pragma once

#include "config/Clock.h"

#include <QDateTime>
#include <memory>

// Sets the tool's clock for the life of the object: it starts at `start` and moves on by `step` milliseconds
// at every reading, so that code waiting for the next millisecond never waits on the wall clock.
class SteppingClock final
{
public:
    explicit SteppingClock(const QDateTime &start, qint64 stepMSecs = 1) : m_now(std::make_shared<QDateTime>(start))
    {
        auto now = m_now;
        Clock::setNowFunctionForTesting([now, stepMSecs] {
            const QDateTime reading = *now;
            *now = now->addMSecs(stepMSecs);
            return reading;
        });
    }
    ~SteppingClock() { Clock::setNowFunctionForTesting({}); }
    SteppingClock(const SteppingClock &) = delete;
    SteppingClock &operator=(const SteppingClock &) = delete;

    void set(const QDateTime &now) { *m_now = now; }

private:
    std::shared_ptr<QDateTime> m_now;
};
