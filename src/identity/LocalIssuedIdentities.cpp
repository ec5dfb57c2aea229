#include "identity/LocalIssuedIdentities.h"

#include "config/ToolSettings.h"

bool LocalIssuedIdentities::isIssued(int kind, const QString &value) const
{
    switch (kind) {
    case RunImei:
        return m_settings.imeiHistory.contains(value);
    case RunMbsn:
        return m_settings.mbsnHistory.contains(value);
    case RunPsn:
        return m_settings.psnHistory.contains(value);
    case RunBt:
        return m_settings.btHistory.contains(value);
    default:
        return false;
    }
}
