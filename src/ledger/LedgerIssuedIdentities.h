#pragma once

#include "identity/IssuedIdentities.h"

#include <QString>
#include <atomic>
#include <functional>

class Ledger;

// The duplicate test of a station on a line: its own history, then the line's ledger, asked once for all the
// values that the history does not hold. While the ledger cannot be reached the history alone answers and
// `onTrouble` is told once per outage: the claim before each save, which refuses to write without the ledger,
// keeps identities apart in the meantime, and a generator does not burn its range on values it cannot test.
class LedgerIssuedIdentities final : public IssuedIdentities
{
public:
    using TroubleFunction = std::function<void(const QString &message)>;

    LedgerIssuedIdentities(const IssuedIdentities &local, Ledger &ledger, TroubleFunction onTrouble = {});

    bool isIssued(int kind, const QString &value) const override;
    QVector<bool> areIssued(int kind, const QStringList &values) const override;

private:
    void troubled(const QString &message) const;

    const IssuedIdentities &m_local;
    Ledger &m_ledger;
    TroubleFunction m_onTrouble;
    mutable std::atomic<bool> m_down{false};
};
