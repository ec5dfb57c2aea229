#include "identity/LocalIssuedIdentities.h"

#include "config/ToolSettings.h"
#include "history/StationHistories.h"

bool LocalIssuedIdentities::isIssued(int kind, const QString &value) const
{
    switch (kind) {
    case RunImei:
        return m_histories.imeiHistory.contains(value);
    case RunMbsn:
        return m_histories.mbsnHistory.contains(value);
    case RunPsn:
        return m_histories.psnHistory.contains(value);
    case RunBt:
        return m_histories.btHistory.contains(value);
    default:
        return false;
    }
}
