#include "SharedCounter.h"

#include "Ledger.h"

SharedCounter::SharedCounter(Ledger &ledger, const QString &name, qint64 first, qint64 last, qint64 blockSize)
    : m_ledger(ledger), m_name(name), m_first(first), m_last(last), m_blockSize(blockSize)
{
}

LedgerStatus SharedCounter::takeBlock(QString *message)
{
    qint64 first = 0, last = -1;
    const LedgerStatus status = m_ledger.takeBlock(m_name, m_first, m_last, m_blockSize, &first, &last, message);
    if (status != LedgerStatus::Ok)
        return status;
    m_blockFirst = m_next = first;
    m_end = last;
    return LedgerStatus::Ok;
}

LedgerStatus SharedCounter::next(qint64 *value, QString *message)
{
    if (m_next > m_end) {
        const LedgerStatus status = takeBlock(message);
        if (status != LedgerStatus::Ok)
            return status;
    }
    *value = m_next++;
    return LedgerStatus::Ok;
}

LedgerStatus SharedCounter::place(qint64 wanted, qint64 *value, QString *message)
{
    if (m_end < m_blockFirst || wanted > m_end) {
        // A block is never handed out twice, so a new one is this station's from its first value on.
        const LedgerStatus status = takeBlock(message);
        if (status != LedgerStatus::Ok)
            return status;
        wanted = m_blockFirst;
    }
    *value = qMax(wanted, m_blockFirst);
    m_next = *value + 1;
    return LedgerStatus::Ok;
}
