#include "tgtlink/RamRun.h"

#include "BenchConnection.h"
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
    BenchConnection *c = BenchConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    if (!m_lodData || !m_lodData->isLoaded() || (m_chipInfo && m_chipInfo->connection() != m_connection))
        return TGT_ERR_INVALID_ARGUMENT;
    // The host side must have prepared this connection for a download.
    if (!c->prepared)
        return TGT_ERR_NOT_STARTED;
    c->ramRunning = false;
    HandsetHeader header;
    int rc = c->check(&header);
    if (rc != TGT_OK)
        return rc;
    if (m_lodData->chipId() != header.chipId)
        return TGT_ERR_WRONG_CHIP;
    if (m_lodData->connectionKind() != c->kind())
        return TGT_ERR_NOT_SUPPORTED;
    rc = c->begin("ramrun", nullptr, true);
    if (rc != TGT_OK)
        return rc;
    c->ramRunning = true;
    return TGT_OK;
}
