#pragma once

#include "Ledger.h"

#include "identity/IdentityClaims.h"

// The worker's claims in the line's ledger, over a connection of its own (the window's duplicate tests use
// another), so that a claim never waits for a query of the window.
class LedgerIdentityClaims final : public IdentityClaims
{
public:
    LedgerIdentityClaims(const QString &connInfo, const QString &station);

    Result claim(const Set &set, const QString &port, const QString &chipId, qint64 *claimId,
                 QString *message) override;
    Result markWritten(qint64 claimId, QString *message) override;
    Result confirmRead(const Set &set, const QString &port, const QString &chipId, QString *message) override;

    static QVector<LedgerIdentity> identitiesOf(const Set &set);

private:
    Result result(LedgerStatus status, const QString &text, QString *message) const;

    Ledger m_ledger;
};
