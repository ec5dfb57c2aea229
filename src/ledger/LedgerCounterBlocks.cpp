#include "ledger/LedgerCounterBlocks.h"

#include "ledger/Ledger.h"
#include "ledger/SharedCounter.h"

#include <limits>

LedgerCounterBlocks::LedgerCounterBlocks(Ledger &ledger, int blockSize) : m_ledger(ledger), m_blockSize(blockSize) {}

LedgerCounterBlocks::~LedgerCounterBlocks() = default;

bool LedgerCounterBlocks::place(const Range &range, quint64 wanted, quint64 *value, QString *message)
{
    // The ledger counts in signed 64 bits; a range beyond that is refused there with its own message.
    constexpr quint64 Largest = quint64(std::numeric_limits<qint64>::max());
    std::shared_ptr<SharedCounter> &counter = m_counters[range.name];
    if (!counter)
        counter = std::make_shared<SharedCounter>(m_ledger, range.name, qint64(qMin(range.first, Largest)),
                                                  qint64(qMin(range.last, Largest)), m_blockSize);
    qint64 placed = 0;
    QString why;
    switch (counter->place(qint64(qMin(wanted, Largest)), &placed, &why)) {
    case LedgerStatus::Ok:
        *value = quint64(placed);
        return true;
    case LedgerStatus::Unreachable:
        if (message && m_ledger.givenUp())
            *message = tr("the wait for a block of the shared counter %1 was stopped.").arg(range.name);
        else if (message)
            *message = tr("the line's ledger cannot be reached for a block of the shared counter %1 (%2).")
                           .arg(range.name, why);
        return false;
    default:
        if (message)
            *message =
                tr("no block of the shared counter %1 can be taken from the line's ledger: %2").arg(range.name, why);
        return false;
    }
}
