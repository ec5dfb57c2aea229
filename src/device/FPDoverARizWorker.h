#pragma once

#include <QColor>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>

#include "device/StationStatus.h"
#include "identity/IdentityClaims.h"
#include "tgtlink/FlashInfo.h"

class ChipInfo;
class FactorySet;
class FlashProgram;
class PortLockManager;
class TargetConnection;
class ToolSettings;
struct StationHistories;
class IdentityGate;
class IssuedIdentities;

// Runs one write or read cycle on the handset each time start() runs, on a thread of its own, and reports
// only through signals.
class FPDoverARizWorker final : public QObject
{
    Q_OBJECT

public:
    // Result codes of the cycle's steps.
    enum Result : int
    {
        Success = 0,
        Stopped = -985,
        StationCheckFailed = -982,
        ChipNotSupported = -984,
        LayoutOrImageMissing = -992,
        NoConnection = -997,
        Failed = -1000,
    };

    using IdentitySet = IdentityClaims::Set;

    // Sleeps for the fixed pauses of a cycle; tests replace it to shorten them.
    using PauseFunction = std::function<void(int ms)>;

    explicit FPDoverARizWorker(QObject *parent = nullptr);
    ~FPDoverARizWorker() override;

    void setSettings(ToolSettings *settings) { m_settings = settings; }
    // The station's histories: every write records its set there, after the identity gate let it through.
    void setHistories(StationHistories *histories);
    void setPortLock(PortLockManager *portLock) { m_portLock = portLock; }
    void setStationFlagsEnabled(bool enabled) { m_stationFlagsEnabled = enabled; }
    void setPauseFunction(PauseFunction pause);
    // The line's ledger, when the station is part of one: every write claims its set there before the save
    // and marks it written after; a read confirms what it found. Set before the worker moves to its thread.
    void setClaims(std::unique_ptr<IdentityClaims> claims);

    bool isRunning() const { return m_running; }

    // Called on the window's thread just before it emits startWorker(): the cycle's copy of the settings is
    // taken here, on the thread that owns the record, and a stop asked for before the queued start() runs
    // cancels that cycle. A start() without a request (tests) copies the record itself and clears any stop.
    void requestStart();
    // The same with the set to write given by the caller, who keeps the record's pending set to itself: the
    // cycle neither reads nor empties it.
    void requestStart(const IdentitySet &set);

    // Called from the window's thread: ask the running cycle to stop and wait for it, keeping the caller's
    // event loop alive.
    void stop();
    void waitStopped();
    // Asks the running cycle, and every requested one, to stop without waiting; safe from any thread. Once the
    // history holds the cycle's identities the cycle goes on to save them to the handset: a stop then waits
    // for the end of the write instead of leaving identities recorded but not written.
    void requestStop();

    static const QColor InfoFg, InfoBg, ProgressFg, ProgressBg, PassFg, PassBg, ErrorFg, ErrorBg, WarningFg, WarningBg;

signals:
    void workerStatus(int status);
    void workerStatus(const QString &text, const QColor &fg, const QColor &bg);
    void workerException();
    void clearWorkerLog();
    void setWRStatus(int status);
    void workerFinish(bool ok);
    void sngIMEIsHasRead(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);
    void sngIMEIsHasWritten(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);
    void sngVersionHasRead(const QString &version);
    void sngDevicePlugOff();

public slots:
    void start();

private:
    // What a cycle needs from the settings record, copied when it starts, so that the window may change the
    // record (the port name, say) while the cycle runs.
    struct CycleConfig;
    struct Request;

    bool takeCycle();
    int openConnection();
    void closeConnection();
    int runSequence();
    int prepareHandset();
    int checkStationFlag();
    int initFactoryData();
    void factoryReset();
    int writeStationFlag();
    int saveFactoryData();
    int checkVersion();
    void reportVersion();
    int readIdentities();
    int writeIdentities();
    int writeRecordedSet(int imeiCount);
    int confirmWrite();
    bool admitSet();
    int claimSet(qint64 *claimId);
    void markWritten(qint64 claimId);
    void confirmRead(const QStringList &imeis, const QString &mbsn, const QString &psn, const QString &bt);

    bool stopped() const { return m_stopRequested && !m_committed; }
    // A library call that a stop ended through the programmer's abort request is a stop, not a failure.
    bool abortedByStop(int code) const;
    // Called before the first history record of a write: false when a stop came first.
    bool commitToWrite();
    void pause(int ms);
    void info(const QString &text);
    void progress(const QString &text);
    void pass(const QString &text);
    void error(const QString &text);
    void warning(const QString &text);

    ToolSettings *m_settings = nullptr;
    StationHistories *m_histories = nullptr;
    std::unique_ptr<IssuedIdentities> m_issued; // over m_histories
    std::unique_ptr<IdentityGate> m_gate;
    PortLockManager *m_portLock = nullptr;
    std::unique_ptr<CycleConfig> m_cycle; // valid while a cycle runs

    QMutex m_requestMutex;          // guards m_requests
    std::deque<Request> m_requests; // guarded by m_requestMutex: requested cycles, in the order of start()
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_committed{false}; // the history holds this cycle's identities; set under m_programmerMutex
    std::atomic<bool> m_stationFlagsEnabled{true};
    bool m_factoryDataDirty = false;
    std::string m_flashVersion;
    QString m_chipId; // of the handset of this cycle, for the ledger

    std::unique_ptr<IdentityClaims> m_claims; // null when the station works alone
    QVector<qint64> m_unmarked;               // written sets whose mark the ledger has not taken yet

    TargetConnection *m_connection = nullptr;
    ChipInfo *m_chipInfo = nullptr;
    FlashInfo m_flashInfo;
    FactorySet *m_factorySet = nullptr;
    QMutex m_programmerMutex;             // guards m_programmer, which stop() reaches from another thread
    FlashProgram *m_programmer = nullptr; // guarded by m_programmerMutex

    PauseFunction m_pause;
};
