#pragma once

#include "ledger/Ledger.h"

#include "identity/IdentityClaims.h"

// The worker's claims in the line's ledger, over a connection of its own (the window's duplicate tests use
// another), so that a claim never waits for a query of the window. The schema's version is checked before
// the first claim (again after a start without the ledger): a station never writes into a ledger it does
// not know.
class LedgerIdentityClaims final : public IdentityClaims
{
public:
    LedgerIdentityClaims(const QString &connInfo, const QString &station,
                         const LedgerTimeouts &timeouts = LedgerTimeouts());

    Result claim(const Set &set, const QString &port, const QString &chipId, qint64 *claimId,
                 QString *message) override;
    Result markWritten(qint64 claimId, QString *message) override;
    Result confirmRead(const Set &set, const QString &port, const QString &chipId, QString *message) override;

    static QVector<LedgerIdentity> identitiesOf(const Set &set);

private:
    Result result(LedgerStatus status, const QString &text, QString *message) const;
    Result checkSchema(QString *message);

    Ledger m_ledger;
    bool m_schemaChecked = false; // worker thread only
};
