#include "SharedCounter.h"

#include "Ledger.h"

SharedCounter::SharedCounter(Ledger &ledger, const QString &name, qint64 first, qint64 last, qint64 blockSize)
    : m_ledger(ledger), m_name(name), m_first(first), m_last(last), m_blockSize(blockSize)
{
}

LedgerStatus SharedCounter::next(qint64 *value, QString *message)
{
    if (m_next > m_end) {
        qint64 first = 0, last = -1;
        const LedgerStatus status = m_ledger.takeBlock(m_name, m_first, m_last, m_blockSize, &first, &last, message);
        if (status != LedgerStatus::Ok)
            return status;
        m_next = first;
        m_end = last;
    }
    *value = m_next++;
    return LedgerStatus::Ok;
}
