#pragma once

#include <QCoreApplication>
#include <QThread>
#include <QVector>
#include <atomic>
#include <functional>
#include <memory>

class QEventLoop;

// Runs the window's ledger calls (duplicate queries, counter blocks) on a thread of their own while the window's
// thread goes on with its events: a stalled ledger leaves the window live, and Stop or Exit end the wait at once.
// A call given up that way runs on to its end behind the next one, and its answer is dropped: a job owns what it
// fills. Calls run in the order given, one at a time.
class LedgerCallThread final
{
    Q_DECLARE_TR_FUNCTIONS(LedgerCallThread)

public:
    LedgerCallThread();
    // Waits for a job given up on; the ledger's own time-outs bound that wait.
    ~LedgerCallThread();
    LedgerCallThread(const LedgerCallThread &) = delete;
    LedgerCallThread &operator=(const LedgerCallThread &) = delete;

    // Runs `job` on the thread and returns when it ended (true), or when the wait was given up (false). Called
    // again from an event while it waits, it runs the inner job the same way.
    bool run(const std::function<void()> &job);
    // From the caller's thread: gives up the waits under way and every wait until resume().
    void giveUp();
    void resume() { m_givenUp = false; }
    // Whether a wait lets the user's input in (else it is kept for after the wait).
    void setInputLetIn(bool letIn) { m_inputLetIn = letIn; }
    bool givenUp() const { return m_givenUp; }
    // Read by the job's connection, so that a job given up stops waiting for its answer.
    const std::atomic<bool> &givenUpFlag() const { return m_givenUp; }

private:
    QObject m_caller; // lives on the caller's thread: a job's end is queued back to it
    QThread m_thread;
    std::unique_ptr<QObject> m_context; // lives on m_thread: the jobs are queued to it
    QVector<QEventLoop *> m_loops;      // the waits under way, innermost last
    std::atomic<bool> m_givenUp{false};
    bool m_inputLetIn = false;
};
