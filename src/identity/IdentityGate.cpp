#include "identity/IdentityGate.h"

#include "config/ToolSettings.h"
#include "identity/BtAddress.h"
#include "identity/Imei.h"
#include "identity/IssuedIdentities.h"
#include "identity/SerialNumber.h"

bool IdentityGate::admit(IdentityClaims::Set &set, const Checks &checks, QString *why) const
{
    const auto refuse = [why](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    QString reason;
    // IMEI k may repeat IMEI1 (a set whose IMEIs are all the first); the record keeps it once.
    QSet<QString> inSet;
    for (int i = 0; i < set.imeis.size(); ++i) {
        const QString &text = set.imeis.at(i);
        const auto imei = Imei::parse(text, &reason);
        if (!imei)
            return refuse(tr("IMEI%1 is not written: %2").arg(i + 1).arg(reason));
        if (i > 0 && text == set.imeis.at(0))
            continue;
        if (inSet.contains(text))
            return refuse(tr("IMEI%1 %2 is not written: another IMEI of the set is the same").arg(i + 1).arg(text));
        inSet.insert(text);
        if (checks.imei && (m_imeis.contains(text) || m_issued.isIssued(RunImei, text)))
            return refuse(tr("IMEI%1 %2 is not written: it was issued already").arg(i + 1).arg(text));
    }
    struct Serial
    {
        QString *value;
        bool check;
        const QSet<QString> *run;
        int kind;
        QString label;
    };
    const Serial serials[] = {
        {&set.mbsn, checks.mbsn, &m_mbsns, RunMbsn, QStringLiteral("MBSN")},
        {&set.psn, checks.psn, &m_psns, RunPsn, QStringLiteral("PSN")},
    };
    for (const Serial &serial : serials) {
        if (serial.value->isEmpty())
            continue;
        if (!SerialNumber::parse(*serial.value, &reason))
            return refuse(tr("%1 is not written: %2").arg(serial.label, reason));
        if (serial.check && (serial.run->contains(*serial.value) || m_issued.isIssued(serial.kind, *serial.value)))
            return refuse(tr("%1 %2 is not written: it was issued already").arg(serial.label, *serial.value));
    }
    if (!set.bt.isEmpty()) {
        const auto bt = BtAddress::parse(set.bt, &reason);
        if (!bt)
            return refuse(tr("BT is not written: %1").arg(reason));
        if (!bt->isUnicast())
            return refuse(tr("BT %1 is not written: its first octet is odd").arg(bt->text()));
        set.bt = bt->text();
        if (checks.bt && (m_bts.contains(set.bt) || m_issued.isIssued(RunBt, set.bt)))
            return refuse(tr("BT %1 is not written: it was issued already").arg(set.bt));
    }
    return true;
}

void IdentityGate::remember(const IdentityClaims::Set &set)
{
    for (const QString &imei : set.imeis)
        m_imeis.insert(imei);
    if (!set.mbsn.isEmpty())
        m_mbsns.insert(set.mbsn);
    if (!set.psn.isEmpty())
        m_psns.insert(set.psn);
    if (!set.bt.isEmpty())
        m_bts.insert(set.bt);
}

void IdentityGate::forgetRun()
{
    m_imeis.clear();
    m_mbsns.clear();
    m_psns.clear();
    m_bts.clear();
}
