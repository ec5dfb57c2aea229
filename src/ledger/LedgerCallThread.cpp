#include "ledger/LedgerCallThread.h"

#include <QEventLoop>

LedgerCallThread::LedgerCallThread() : m_context(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("ledger calls"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

LedgerCallThread::~LedgerCallThread()
{
    m_givenUp = true;
    // The context is deleted on its thread, after the jobs queued before it; a deferred delete, since the thread's
    // end may come before a queued call runs (which would leak the context), never before a deferred delete.
    m_context.release()->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

bool LedgerCallThread::run(const std::function<void()> &job)
{
    if (m_givenUp)
        return false;
    // Shared with the job; `loop` is touched on the caller's thread only, `done` on both.
    struct Wait
    {
        std::atomic<bool> done{false};
        QEventLoop *loop = nullptr;
    };
    auto wait = std::make_shared<Wait>();
    QEventLoop loop;
    wait->loop = &loop;
    QObject *caller = &m_caller;
    // Queued: the job runs on the ledger's thread, then its end goes back to the caller's thread, where the
    // wait may be over already (given up).
    QMetaObject::invokeMethod(
        m_context.get(),
        [job, wait, caller] {
            job();
            wait->done = true;
            QMetaObject::invokeMethod(
                caller,
                [wait] {
                    if (wait->loop)
                        wait->loop->quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    m_loops.append(&loop);
    if (!m_givenUp)
        loop.exec(m_inputLetIn ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    m_loops.removeOne(&loop);
    wait->loop = nullptr;
    return wait->done && !m_givenUp;
}

void LedgerCallThread::giveUp()
{
    m_givenUp = true;
    for (QEventLoop *loop : std::as_const(m_loops))
        loop->quit();
}
