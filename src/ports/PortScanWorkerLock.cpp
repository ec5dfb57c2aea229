#include "ports/PortScanWorkerLock.h"

#include "ports/PortScanWorker.h"

#include <QMutexLocker>

void PortScanWorkerLock::lockPort(const QString &portName)
{
    // An empty name is no port: listed, it would sort first and hide the real ones from the window.
    if (!m_scanner || portName.isEmpty())
        return;
    QMutexLocker locker(&m_scanner->m_mutex);
    m_scanner->m_lockedPorts.append(portName);
    m_scanner->m_lockedPorts.removeDuplicates();
}

void PortScanWorkerLock::unlockPort(const QString &portName)
{
    if (!m_scanner)
        return;
    QMutexLocker locker(&m_scanner->m_mutex);
    m_scanner->m_lockedPorts.removeAll(portName);
}
