#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QThread>
#include <QWaitCondition>
#include <memory>

class QAction;

// Runs one long job at a time on a thread of its own. start() and stop() are called from the owner's thread;
// job() runs on the worker's thread until it returns, normally when waitForStop() reports that a stop was asked.
// The start and stop requests travel as QAction triggers, so the worker needs a QGuiApplication.
// A derived class must call stop(true) in its destructor, while its job() still exists.
class SingleShotWorker : public QObject
{
    Q_OBJECT

public:
    // The worker has no parent: it moves itself onto its thread, which a parented object cannot.
    explicit SingleShotWorker(const QString &threadName);
    ~SingleShotWorker() override;

    // Waits until no job runs, arms the gate and has the worker's thread run job().
    void start();
    bool isRunning() const;
    // Fires the gate so that the job ends; with wait, returns only after the job has ended (at once when none
    // runs, as soon as the idle thread has handled the request).
    void stop(bool wait);

protected:
    virtual void job() = 0;
    // Called by stop() before the request is sent, on the caller's thread.
    virtual void stopHook() {}

    // For job(): waits at most timeoutMs for stop(); true when a stop was asked.
    bool waitForStop(int timeoutMs);

private slots:
    void handleStart();
    void handleStop();

private:
    void fireGate();

    QThread m_thread;
    QAction *m_startAction;
    QAction *m_stopAction;

    mutable QSemaphore m_idle{1}; // taken while a job runs

    QMutex m_gateMutex;
    QWaitCondition m_gateChanged;
    bool m_gateFired = false; // guarded by m_gateMutex

    QMutex m_waitersMutex;
    QList<std::shared_ptr<QSemaphore>> m_waiters; // guarded by m_waitersMutex
};
