#include "tgtlink/RamRun.h"

#include "BackendConnection.h"
#include "tgtlink/ChipInfo.h"
#include "tgtlink/LodData.h"
#include "tgtlink/TargetError.h"

void RamRun::init(ChipInfo *chipInfo, LodData *lodData, TargetConnection *connection)
{
    m_chipInfo = chipInfo;
    m_lodData = lodData;
    m_connection = connection;
}

int RamRun::run()
{
    BackendConnection *c = BackendConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    if (!m_lodData || !m_lodData->isLoaded() || (m_chipInfo && m_chipInfo->connection() != m_connection))
        return TGT_ERR_INVALID_ARGUMENT;
    const QByteArray &payload = m_lodData->payload();
    const tgtlink_abort abort = c->downloadAbort();
    return c->functions().ram_run(c->handle(), m_lodData->connectionKind(), m_lodData->chipId(),
                                  reinterpret_cast<const uint8_t *>(payload.constData()), size_t(payload.size()),
                                  &abort);
}
