#pragma once

#include "ports/SingleShotWorker.h"

#include <QHash>
#include <QMutex>
#include <QStringList>
#include <atomic>
#include <functional>

// Lists the ports with a handset on them, on a thread of its own, and emits the sorted list on the first pass
// and whenever it changes. USB ports are verified by reading the chip ID, at most every 5 s per port. Ports that
// a cycle has locked (PortScanWorkerLock) are always listed and never opened.
class PortScanWorker final : public SingleShotWorker
{
    Q_OBJECT

public:
    enum ScanMode : int
    {
        ScanNone = 0,
        ScanSerial = 1,
        ScanDebugHost = 2,
        ScanUsb = 3,
    };

    static constexpr int DefaultScanInterval = 200; // ms between passes
    static constexpr qint64 ReprobeInterval = 5000; // ms a successful USB probe stays good

    // Opens the port and reads its chip ID; 0 when the handset answered.
    using ProbeFunction = std::function<int(const QString &portName)>;

    PortScanWorker();
    ~PortScanWorker() override;

    // Takes effect from the next pass; the owner normally stops the scanner first.
    void setScanMode(int mode) { m_scanMode = mode; }
    int scanMode() const { return m_scanMode; }
    // The pause between passes; tests shorten it.
    void setScanInterval(int ms) { m_scanInterval = ms; }
    int scanInterval() const { return m_scanInterval; }
    // Replaces the USB probe; tests wrap the real one to watch which ports are opened.
    void setProbeFunction(ProbeFunction probe);
    static int probeTarget(const QString &portName);

    QStringList lockedPorts() const;
    // Passes completed since construction, so that a test knows a pass ran after it changed something.
    quint64 passCount() const { return m_passCount; }

signals:
    // Emitted on the scanner's thread: receivers elsewhere get it queued, with their own copy.
    void workerScanned(const QStringList &ports);

protected:
    void job() override;

private:
    friend class PortScanWorkerLock;

    QStringList scanPass();
    QStringList scanUsb(); // needs m_mutex

    mutable QMutex m_mutex;             // guards m_lockedPorts, m_probe and each whole scan pass
    QStringList m_lockedPorts;          // guarded by m_mutex
    ProbeFunction m_probe;              // guarded by m_mutex
    QStringList m_lastList;             // scanner thread only
    QHash<QString, qint64> m_lastProbe; // scanner thread only: port -> ms since the epoch of its last good probe

    std::atomic<int> m_scanMode{ScanNone};
    std::atomic<int> m_scanInterval{DefaultScanInterval};
    std::atomic<quint64> m_passCount{0};
};
