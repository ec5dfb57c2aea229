#pragma once

#include "device/StationStatus.h"
#include "identity/IdentityClaims.h"

#include <QCoreApplication>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <optional>

class FPDoverARizWorker;
class IdentityAllocator;
class StationFrontEnd;
class ToolSettings;

// The write and read cycle of the station: its state (no port, ready, busy, locked), the start delay and the
// pause of the repeated write test, the Write, Read and Stop decisions, the port reports and the worker's
// reports. The set a Write builds belongs to its cycle: handed to the worker as it is, and dropped on Stop,
// unplug, a port change and at the cycle's end, its unrecorded values going back to their sources. Lives on
// the window's thread; shows and asks through its front end.
class StationCycle final : public QObject, public StationStates
{
    Q_OBJECT

public:
    StationCycle(ToolSettings &settings, IdentityAllocator &identities, StationFrontEnd &frontEnd,
                 QObject *parent = nullptr);

    // The worker that runs the cycles on its own thread; set before the first Write or Read.
    void setWorker(FPDoverARizWorker *worker) { m_worker = worker; }

    int state() const { return m_state; }
    void setState(int state);
    // The set of the armed Write, if any.
    const std::optional<IdentityClaims::Set> &pendingSet() const { return m_set; }
    void setLoopTestPause(int ms) { m_loopTestTimer.setInterval(ms); }
    // Allocation may wait on sources outside the station (the line's ledger). While it does, the window's input
    // goes on (Begin until End), and a Stop gives the waits up (GiveUp).
    enum class SourceWaits
    {
        Begin,
        GiveUp,
        End,
    };
    void setSourceWaits(std::function<void(SourceWaits)> waits) { m_sourceWaits = std::move(waits); }
    bool isAllocating() const { return m_allocating; }

    void write();
    void read();
    void stop();
    void portScanned(const QStringList &ports);
    void startDelayEnded();
    void loopTestPauseEnded();

    // The worker's reports.
    void workerStatus(int status);
    void workerFinished(bool ok);
    void workerException();
    void identitiesWritten(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);
    void identitiesRead(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);
    void versionRead(const QString &version);

signals:
    // Queued to the worker's start(): a whole cycle on its thread.
    void startWorker();

private:
    bool cycleInProgress() const;
    // The next set from the sources; false after its line, or when a Stop came while it waited (then stopped).
    bool allocate();
    bool versionStep();
    bool takeOperatorValues();
    void arm();
    bool handsetChangedInDelay();
    // Drops the armed set; what it took from the sources goes back to them.
    void dropSet();
    void startWrite();
    void startRead();
    void requestCycle(const IdentityClaims::Set *set);
    void startNextContinuousCycle();
    void log(const QString &text, LineColour colour);

    ToolSettings &m_settings;
    IdentityAllocator &m_identities;
    StationFrontEnd &m_frontEnd;
    FPDoverARizWorker *m_worker = nullptr;
    int m_state = StateReady;
    QTimer m_startTimer;
    QTimer m_loopTestTimer; // the repeated write test's pause, during which the window stays live
    std::optional<IdentityClaims::Set> m_set;
    bool m_stopped = false;
    bool m_continuous = false;
    bool m_cycleRequested = false; // startWorker() sent and the worker has not reported the cycle's end
    bool m_allocating = false;     // in allocate(), whose waits let the window's events in
    bool m_stopAsked = false;      // a Stop came while allocating: it takes effect when allocation returns
    bool m_handsetChanged = false; // the port reported another handset, or none, while allocating
    std::function<void(SourceWaits)> m_sourceWaits;
};
