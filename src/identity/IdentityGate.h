#pragma once

#include "identity/IdentityClaims.h"

#include <QCoreApplication>
#include <QSet>
#include <QString>

class IssuedIdentities;

// The one check every identity passes right before its history record, whatever its source (a scan, a pool, a
// generator, a workbook, the default counter, a step): its canonical form, then, where its duplicate test is on,
// that neither the station's histories nor an earlier set of this run nor another field of the set holds it.
// Sources keep their own early checks for the operator's sake; this is the guarantee. The line's ledger is
// asked by the claim that follows the record.
class IdentityGate final
{
    Q_DECLARE_TR_FUNCTIONS(IdentityGate)

public:
    // Which duplicate tests are on, by kind.
    struct Checks
    {
        bool imei = false;
        bool mbsn = false;
        bool psn = false;
        bool bt = false;
    };

    explicit IdentityGate(const IssuedIdentities &issued) : m_issued(issued) {}

    // Brings the set to its canonical form in place (Bluetooth addresses to lower case). False, with `why` naming
    // the identity and its field, when an identity is outside its form or was issued already. Empty fields are
    // not part of the set.
    bool admit(IdentityClaims::Set &set, const Checks &checks, QString *why) const;
    // The set is recorded: later sets of this run must not hold its identities, even where no history is kept.
    void remember(const IdentityClaims::Set &set);
    void forgetRun();

private:
    const IssuedIdentities &m_issued;
    QSet<QString> m_imeis; // of this run
    QSet<QString> m_mbsns;
    QSet<QString> m_psns;
    QSet<QString> m_bts;
};
