#pragma once

#include "ports/PortLockManager.h"

class PortScanWorker;

// Locks ports in one scanner (not owned): a locked port is listed but never opened by the scanner. Locking
// waits for a scan pass in progress to end.
class PortScanWorkerLock final : public PortLockManager
{
public:
    explicit PortScanWorkerLock(PortScanWorker *scanner) : m_scanner(scanner) {}

    void lockPort(const QString &portName) override;
    void unlockPort(const QString &portName) override;

private:
    PortScanWorker *m_scanner;
};
