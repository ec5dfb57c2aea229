#include "tgtlink/FlashInfo.h"

#include "BenchConnection.h"
#include "tgtlink/TargetError.h"

int FlashInfo::loadFromTarget(TargetConnection *connection, ChipInfo * /*chipInfo*/)
{
    BenchConnection *c = BenchConnection::from(connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    HandsetHeader header;
    const int rc = c->begin("flashinfo", &header);
    if (rc != TGT_OK)
        return rc;
    flashModel = header.flashModel.toStdString();
    factoryBase = header.factoryBase;
    factorySize = header.factorySize;
    userAreaStart = header.userAreaStart;
    userAreaSize = header.userAreaSize;
    return TGT_OK;
}

void FlashInfo::clear()
{
    flashModel.clear();
    factoryBase = NotReported;
    factorySize = NotReported;
    userAreaStart = NotReported;
    userAreaSize = NotReported;
}
