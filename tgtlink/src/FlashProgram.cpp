#include "tgtlink/FlashProgram.h"

#include "BackendConnection.h"
#include "ProgramRegistry.h"
#include "tgtlink/TargetError.h"

FlashProgram::FlashProgram(TargetConnection *connection, ChipInfo *chipInfo, QObject *parent)
    : QObject(parent), m_connection(connection), m_chipInfo(chipInfo)
{
    ProgramRegistry::add(connection, this);
}

FlashProgram::~FlashProgram()
{
    ProgramRegistry::remove(this);
}

int FlashProgram::checkStart()
{
    BackendConnection *c = BackendConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    m_started = false;
    const int rc = c->functions().check_start(c->handle());
    if (rc != TGT_OK)
        return rc;
    m_started = true;
    return TGT_OK;
}

namespace {
int programAbortRequested(void *context)
{
    return static_cast<const FlashProgram *>(context)->abortRequested.load() ? 1 : 0;
}
} // namespace

tgtlink_abort FlashProgram::abortFlag() const
{
    return tgtlink_abort{&programAbortRequested, const_cast<void *>(static_cast<const void *>(this))};
}

int FlashProgram::erase(unsigned address, unsigned size)
{
    BackendConnection *c = BackendConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    if (!m_started)
        return TGT_ERR_NOT_STARTED;
    const tgtlink_abort abort = abortFlag();
    return c->functions().erase(c->handle(), address, size, &abort);
}
