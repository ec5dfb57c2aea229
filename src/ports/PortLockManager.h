#pragma once

#include <QString>

// Keeps a port away from the port scanner while a cycle uses it.
class PortLockManager
{
public:
    virtual ~PortLockManager() = default;
    virtual void lockPort(const QString &portName) = 0;
    virtual void unlockPort(const QString &portName) = 0;
};
