#pragma once

#include "identity/CounterBlocks.h"

#include <QCoreApplication>
#include <QHash>
#include <memory>

class Ledger;
class SharedCounter;

// The station's blocks of the line's shared counters, taken from the ledger as many values at a time as the
// ledger's owner set for each counter (`blockSize` is what the station asks for, which the ledger only checks).
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
