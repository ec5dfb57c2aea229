#pragma once

#include "ledger/LedgerConnection.h"

#include <QString>

class Ledger;

// An advancing counter that the stations of a line share (the default IMEI's body, a Bluetooth range): each
// station takes blocks of values from the ledger and hands them out one by one, so that stations on one
// range never collide and a station that stops leaves at most the rest of one block unused.
class SharedCounter final
{
public:
    SharedCounter(Ledger &ledger, const QString &name, qint64 first, qint64 last, qint64 blockSize);

    // The next value of this station; a new block when the current one is used up. Conflict when the range
    // is used up, Unreachable while the ledger is.
    LedgerStatus next(qint64 *value, QString *message);
    // The value to hand out where the station's own counter would give `wanted`: `wanted` while it lies in
    // the block at hand, the block's first value while it lies before it (a value of an earlier block of
    // this station that was not handed out), else the first value of a new block (after a restart the rest
    // of the block held before is skipped, never handed out twice).
    LedgerStatus place(qint64 wanted, qint64 *value, QString *message);
    // Values left in the block at hand.
    qint64 leftInBlock() const { return m_end - m_next + 1; }

    // The values a counter's name stands for, from `low` to `high`: a type allocation code's million bodies
    // ("DefaultIMEI:35000000"), a Bluetooth range without its end ("BT:001122334400-001122334500"), or for
    // other names the range given. Every block from the ledger must lie inside it and inside [first, last]'s
    // end; the ledger keeps the same rule (ledger.counter_span). False for a malformed name of those kinds.
    static bool span(const QString &name, qint64 first, qint64 last, qint64 *low, qint64 *high);

private:
    LedgerStatus takeBlock(QString *message);

    Ledger &m_ledger;
    const QString m_name;
    const qint64 m_first;
    const qint64 m_last;
    const qint64 m_blockSize;

    qint64 m_blockFirst = 0;
    qint64 m_next = 0;
    qint64 m_end = -1;
};
