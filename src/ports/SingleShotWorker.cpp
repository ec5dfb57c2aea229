#include "ports/SingleShotWorker.h"

#include <QAction>
#include <QDeadlineTimer>

SingleShotWorker::SingleShotWorker(const QString &threadName)
    : m_startAction(new QAction(this)), m_stopAction(new QAction(this))
{
    // Both requests are emitted on the caller's thread and must run on the worker's: queued.
    connect(m_startAction, &QAction::triggered, this, &SingleShotWorker::handleStart, Qt::QueuedConnection);
    connect(m_stopAction, &QAction::triggered, this, &SingleShotWorker::handleStop, Qt::QueuedConnection);

    m_thread.setObjectName(threadName);
    moveToThread(&m_thread); // the actions are children and move along
    m_thread.start();
}

SingleShotWorker::~SingleShotWorker()
{
    // A derived class has already stopped its job; this only covers one that did not.
    fireGate();
    m_thread.quit();
    m_thread.wait();
}

void SingleShotWorker::start()
{
    m_idle.acquire();
    {
        QMutexLocker locker(&m_gateMutex);
        m_gateFired = false;
    }
    m_startAction->trigger();
}

bool SingleShotWorker::isRunning() const
{
    if (!m_idle.tryAcquire())
        return true;
    m_idle.release();
    return false;
}

void SingleShotWorker::stop(bool wait)
{
    std::shared_ptr<QSemaphore> done;
    {
        QMutexLocker locker(&m_waitersMutex);
        fireGate();
        stopHook();
        if (wait) {
            // Shared, so that it outlives whichever side lets go of it last.
            done = std::make_shared<QSemaphore>(0);
            m_waiters.append(done);
        }
        m_stopAction->trigger();
    }
    if (done)
        done->acquire();
}

bool SingleShotWorker::waitForStop(int timeoutMs)
{
    QDeadlineTimer deadline(qMax(0, timeoutMs));
    QMutexLocker locker(&m_gateMutex);
    while (!m_gateFired && !deadline.hasExpired())
        m_gateChanged.wait(&m_gateMutex, deadline);
    return m_gateFired;
}

void SingleShotWorker::handleStart()
{
    job();
    m_idle.release();
}

void SingleShotWorker::handleStop()
{
    // Queued behind handleStart(), so any job has ended by now.
    QMutexLocker locker(&m_waitersMutex);
    for (const auto &waiter : std::as_const(m_waiters))
        waiter->release();
    m_waiters.clear();
}

void SingleShotWorker::fireGate()
{
    QMutexLocker locker(&m_gateMutex);
    m_gateFired = true;
    m_gateChanged.wakeAll();
}
