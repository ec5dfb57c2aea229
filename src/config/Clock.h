#pragma once

#include <QDateTime>
#include <functional>

// The tool's one source of wall-clock time, so that tests can set it.
class Clock final
{
public:
    static QDateTime now();
    static qint64 nowMSecs();
    static void setNowFunctionForTesting(std::function<QDateTime()> now); // empty restores the system clock
};
