#include "tgtlink/FlashInfo.h"

#include "BackendConnection.h"
#include "tgtlink/TargetError.h"

#include <cstring>

int FlashInfo::loadFromTarget(TargetConnection *connection, ChipInfo * /*chipInfo*/)
{
    BackendConnection *c = BackendConnection::from(connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    tgtlink_flash_info info{};
    const int rc = c->functions().flash_info(c->handle(), &info);
    if (rc != TGT_OK)
        return rc;
    flashModel.assign(info.flash_model, strnlen(info.flash_model, sizeof info.flash_model));
    factoryBase = info.factory_base;
    factorySize = info.factory_size;
    userAreaStart = info.user_area_start;
    userAreaSize = info.user_area_size;
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
