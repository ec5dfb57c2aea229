#include "config/Clock.h"

namespace {
std::function<QDateTime()> &nowFunction()
{
    static std::function<QDateTime()> fn;
    return fn;
}
} // namespace

QDateTime Clock::now()
{
    const auto &fn = nowFunction();
    return fn ? fn() : QDateTime::currentDateTime();
}

qint64 Clock::nowMSecs()
{
    return now().toMSecsSinceEpoch();
}

void Clock::setNowFunctionForTesting(std::function<QDateTime()> now)
{
    nowFunction() = std::move(now);
}
