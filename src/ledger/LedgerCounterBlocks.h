#pragma once

#include "identity/CounterBlocks.h"

#include <QCoreApplication>
#include <QHash>
#include <memory>

class Ledger;
class SharedCounter;

// The station's blocks of the line's shared counters, taken from the ledger `blockSize` values at a time (or
// as many as the station that first took a block of a counter asked for).
// Used on the window's thread only.
class LedgerCounterBlocks final : public CounterBlocks
{
    Q_DECLARE_TR_FUNCTIONS(LedgerCounterBlocks)

public:
    LedgerCounterBlocks(Ledger &ledger, int blockSize);
    ~LedgerCounterBlocks() override;

    bool place(const Range &range, quint64 wanted, quint64 *value, QString *message) override;

private:
    Ledger &m_ledger;
    const int m_blockSize;
    QHash<QString, std::shared_ptr<SharedCounter>> m_counters;
};
