#include "ledger/LineLedger.h"

#include "ledger/Ledger.h"
#include "ledger/LedgerCallThread.h"
#include "ledger/LedgerCounterBlocks.h"
#include "ledger/LedgerIdentityClaims.h"
#include "ledger/LedgerSchema.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LineLedger", text);
}

// Claims that always fail with the reason the station may not write.
class RefusedClaims final : public IdentityClaims
{
public:
    explicit RefusedClaims(const QString &reason) : m_reason(reason) {}
    Result claim(const Set &, const QString &, const QString &, qint64 *claimId, QString *message) override
    {
        *claimId = 0;
        if (message)
            *message = m_reason;
        return Failed;
    }
    Result markWritten(qint64, QString *message) override
    {
        if (message)
            *message = m_reason;
        return Failed;
    }
    Result confirmRead(const Set &, const QString &, const QString &, QString *) override { return Done; }

private:
    const QString m_reason;
};

class RefusedBlocks final : public CounterBlocks
{
public:
    explicit RefusedBlocks(const QString &reason) : m_reason(reason) {}
    bool place(const Range &, quint64, quint64 *, QString *message) override
    {
        if (message)
            *message = m_reason;
        return false;
    }

private:
    const QString m_reason;
};

} // namespace

LineLedger::LineLedger(const QString &configPath)
{
    QString message;
    if (!LineConfig::load(configPath, &m_config, &message)) {
        m_state = State::Refused;
        m_message = tr("The line's configuration cannot be used, so nothing is written: %1").arg(message);
        return;
    }
    if (!m_config.configured)
        return;
    m_ledger = std::make_unique<Ledger>(m_config.connection, m_config.station, m_config.timeouts);
    const LedgerStatus opened = m_ledger->open(&message);
    m_calls = std::make_unique<LedgerCallThread>();
    m_ledger->setCallThread(m_calls.get());
    switch (opened) {
    case LedgerStatus::Ok:
        m_state = State::Ready;
        m_message = tr("Station %1 claims every identity in the line's ledger (schema version %2).")
                        .arg(m_config.station)
                        .arg(LedgerSchema::currentVersion);
        break;
    case LedgerStatus::Unreachable:
        m_state = State::Unreachable;
        m_message = tr("The line's ledger cannot be reached (%1): nothing is written until it is back.").arg(message);
        break;
    default:
        m_state = State::Refused;
        m_message = tr("The line's ledger cannot be used, so nothing is written: %1").arg(message);
        break;
    }
}

LineLedger::~LineLedger()
{
    m_calls.reset();
}

void LineLedger::setWaits(Waits waits)
{
    if (!m_calls)
        return;
    if (waits == Waits::GiveUp) {
        m_calls->giveUp();
        return;
    }
    m_calls->resume();
    m_calls->setInputLetIn(waits == Waits::LetInputIn);
}

const IssuedIdentities &LineLedger::issued(const IssuedIdentities &local,
                                           LedgerIssuedIdentities::TroubleFunction onTrouble)
{
    if (!m_ledger)
        return local;
    m_issued = std::make_unique<LedgerIssuedIdentities>(local, *m_ledger, std::move(onTrouble));
    return *m_issued;
}

std::unique_ptr<IdentityClaims> LineLedger::makeClaims() const
{
    switch (m_state) {
    case State::Alone:
        return nullptr;
    case State::Refused:
        return std::make_unique<RefusedClaims>(m_message);
    default:
        return std::make_unique<LedgerIdentityClaims>(m_config.connection, m_config.station, m_config.timeouts);
    }
}

CounterBlocks *LineLedger::counterBlocks()
{
    if (!m_ledger || !m_config.sharedCounters)
        return nullptr;
    if (!m_blocks) {
        if (m_state == State::Refused)
            m_blocks = std::make_unique<RefusedBlocks>(m_message);
        else
            m_blocks = std::make_unique<LedgerCounterBlocks>(*m_ledger, m_config.counterBlock);
    }
    return m_blocks.get();
}
