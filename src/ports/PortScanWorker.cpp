#include "ports/PortScanWorker.h"

#include "config/Clock.h"

#include "tgtlink/ChipInfo.h"
#include "tgtlink/DeviceScan.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

#include <memory>

PortScanWorker::PortScanWorker() : SingleShotWorker(QStringLiteral("PortScanWorker")), m_probe(&probeTarget) {}

PortScanWorker::~PortScanWorker()
{
    stop(true);
}

void PortScanWorker::setProbeFunction(ProbeFunction probe)
{
    QMutexLocker locker(&m_mutex);
    m_probe = probe ? std::move(probe) : ProbeFunction(&probeTarget);
}

int PortScanWorker::probeTarget(const QString &portName)
{
    // The connection is closed whatever the chip ID read gives.
    const std::unique_ptr<TargetConnection> connection(CreateTargetConnection(portName));
    if (!connection)
        return TGT_ERR_NO_DEVICE;
    unsigned chipId = 0;
    return ChipInfo::ReadChipId(connection.get(), chipId);
}

QStringList PortScanWorker::lockedPorts() const
{
    QMutexLocker locker(&m_mutex);
    return m_lockedPorts;
}

void PortScanWorker::job()
{
    m_lastList.clear();
    m_lastProbe.clear();
    bool firstPass = true;
    for (;;) {
        const QStringList ports = scanPass();
        if (firstPass || ports != m_lastList) {
            firstPass = false;
            m_lastList = ports;
            emit workerScanned(ports);
        }
        ++m_passCount;
        if (waitForStop(m_scanInterval))
            return;
    }
}

QStringList PortScanWorker::scanPass()
{
    // Held for the whole pass, so that locking a port waits for a probe that may be opening it.
    QMutexLocker locker(&m_mutex);
    QStringList ports;
    switch (m_scanMode) {
    case ScanSerial:
        ports = SerialDeviceScan(m_lockedPorts);
        break;
    case ScanDebugHost:
        ports = DebugHostDeviceScan(m_lockedPorts);
        break;
    case ScanUsb:
        ports = scanUsb();
        break;
    default:
        break;
    }
    ports += m_lockedPorts;
    ports.removeDuplicates();
    ports.sort(Qt::CaseSensitive);
    return ports;
}

QStringList PortScanWorker::scanUsb()
{
    QStringList ports;
    // Rebuilt every pass: a port that vanished, failed its probe or is locked loses its probe time.
    QHash<QString, qint64> probes;
    for (const QString &name : UsbDeviceScan()) {
        if (m_lockedPorts.contains(name, Qt::CaseSensitive))
            continue;
        const qint64 now = Clock::nowMSecs();
        const auto last = m_lastProbe.constFind(name);
        // A clock set back must not keep a port listed unverified until it catches up again.
        const bool due = last == m_lastProbe.cend() || now < *last || now - *last >= ReprobeInterval;
        if (!due) {
            probes.insert(name, *last);
            ports.append(name);
        } else if (m_probe(name) == TGT_OK) {
            probes.insert(name, now);
            ports.append(name);
        }
    }
    m_lastProbe = probes;
    return ports;
}
