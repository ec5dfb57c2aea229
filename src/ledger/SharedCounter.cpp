#include "ledger/SharedCounter.h"

#include "ledger/Ledger.h"

#include <QCoreApplication>
#include <QRegularExpression>

SharedCounter::SharedCounter(Ledger &ledger, const QString &name, qint64 first, qint64 last, qint64 blockSize)
    : m_ledger(ledger), m_name(name), m_first(first), m_last(last), m_blockSize(blockSize)
{
}

bool SharedCounter::span(const QString &name, qint64 first, qint64 last, qint64 *low, qint64 *high)
{
    static const QRegularExpression imei(QStringLiteral("^DefaultIMEI:([0-9]{8})$"));
    static const QRegularExpression bt(QStringLiteral("^BT:([0-9a-f]{12})-([0-9a-f]{12})$"));
    QRegularExpressionMatch match = imei.match(name);
    if (match.hasMatch()) {
        *low = match.captured(1).toLongLong() * 1000000;
        *high = *low + 999999;
        return true;
    }
    match = bt.match(name);
    if (match.hasMatch()) {
        *low = match.captured(1).toLongLong(nullptr, 16);
        *high = match.captured(2).toLongLong(nullptr, 16) - 1;
        return *low <= *high;
    }
    if (name.startsWith(QLatin1String("DefaultIMEI:")) || name.startsWith(QLatin1String("BT:")))
        return false;
    *low = first;
    *high = last;
    return true;
}

LedgerStatus SharedCounter::takeBlock(QString *message)
{
    qint64 first = 0, last = -1;
    const LedgerStatus status = m_ledger.takeBlock(m_name, m_first, m_last, m_blockSize, &first, &last, message);
    if (status != LedgerStatus::Ok)
        return status;
    // A ledger that someone tampered with must not make this station hand out values of another range.
    qint64 low = 0, high = -1;
    if (!span(m_name, m_first, m_last, &low, &high) || first < low || last > qMin(high, m_last) || last < first) {
        if (message)
            *message = QCoreApplication::translate("SharedCounter",
                                                   "the ledger handed out %1 to %2 for %3, outside the range this "
                                                   "station is set up for: refused.")
                           .arg(first)
                           .arg(last)
                           .arg(m_name);
        return LedgerStatus::Refused;
    }
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
