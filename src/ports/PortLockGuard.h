#pragma once

#include "ports/PortLockManager.h"

// Locks a port for the guard's lifetime; does nothing without a manager.
class PortLockGuard final
{
public:
    PortLockGuard(PortLockManager *manager, const QString &portName) : m_manager(manager), m_portName(portName)
    {
        if (m_manager)
            m_manager->lockPort(m_portName);
    }
    ~PortLockGuard()
    {
        if (m_manager)
            m_manager->unlockPort(m_portName);
    }
    PortLockGuard(const PortLockGuard &) = delete;
    PortLockGuard &operator=(const PortLockGuard &) = delete;

private:
    PortLockManager *m_manager;
    QString m_portName;
};
