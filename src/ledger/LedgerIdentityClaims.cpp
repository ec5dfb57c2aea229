#include "ledger/LedgerIdentityClaims.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("LedgerIdentityClaims", text);
}

} // namespace

LedgerIdentityClaims::LedgerIdentityClaims(const QString &connInfo, const QString &station,
                                           const LedgerTimeouts &timeouts)
    : m_ledger(connInfo, station, timeouts)
{
}

QVector<LedgerIdentity> LedgerIdentityClaims::identitiesOf(const Set &set)
{
    QVector<LedgerIdentity> identities;
    int position = 0;
    for (const QString &imei : set.imeis) {
        ++position;
        if (!imei.isEmpty())
            identities.append({1, imei, position});
    }
    if (!set.mbsn.isEmpty())
        identities.append({2, set.mbsn, 1});
    if (!set.psn.isEmpty())
        identities.append({4, set.psn, 1});
    if (!set.bt.isEmpty())
        identities.append({8, set.bt, 1});
    return identities;
}

IdentityClaims::Result LedgerIdentityClaims::result(LedgerStatus status, const QString &text, QString *message) const
{
    switch (status) {
    case LedgerStatus::Ok:
        return Done;
    case LedgerStatus::Conflict:
        if (message)
            *message = text;
        return Held;
    case LedgerStatus::Unreachable:
        if (message)
            *message = tr("The line's ledger cannot be reached (%1): nothing is written until it is back.").arg(text);
        return Unreachable;
    default:
        if (message)
            *message = tr("The line's ledger refuses: %1").arg(text);
        return Failed;
    }
}

IdentityClaims::Result LedgerIdentityClaims::checkSchema(QString *message)
{
    if (m_schemaChecked)
        return Done;
    QString text;
    const LedgerStatus status = m_ledger.open(&text);
    m_schemaChecked = status == LedgerStatus::Ok;
    return result(status, text, message);
}

IdentityClaims::Result LedgerIdentityClaims::claim(const Set &set, const QString &port, const QString &chipId,
                                                   qint64 *claimId, QString *message)
{
    const QVector<LedgerIdentity> identities = identitiesOf(set);
    *claimId = 0;
    if (identities.isEmpty())
        return Done; // nothing of the line's to keep apart
    const Result checked = checkSchema(message);
    if (checked != Done)
        return checked;
    const LedgerClaim claim = m_ledger.claim(identities, port, chipId);
    *claimId = claim.cycleId;
    return result(claim.status, claim.message, message);
}

IdentityClaims::Result LedgerIdentityClaims::markWritten(qint64 claimId, QString *message)
{
    if (claimId == 0)
        return Done;
    QString text;
    const LedgerStatus status = m_ledger.markWritten(claimId, &text);
    return result(status, text, message);
}

IdentityClaims::Result LedgerIdentityClaims::confirmRead(const Set &set, const QString &port, const QString &chipId,
                                                         QString *message)
{
    const QVector<LedgerIdentity> identities = identitiesOf(set);
    if (identities.isEmpty())
        return Done;
    QVector<LedgerIdentity> unknown;
    QString text;
    const LedgerStatus status = m_ledger.confirmRead(identities, port, chipId, &unknown, &text);
    if (status == LedgerStatus::Ok && !unknown.isEmpty() && message) {
        QStringList names;
        for (const LedgerIdentity &identity : unknown)
            names.append(Ledger::kindName(identity.kind) + QLatin1Char(' ') + identity.value);
        *message = tr("Not in the line's ledger: %1.").arg(names.join(QLatin1String(", ")));
    }
    return result(status, text, message);
}
