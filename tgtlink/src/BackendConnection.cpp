#include "BackendConnection.h"

#include "ProgramRegistry.h"
#include "tgtlink/DeviceBackend.h"

TargetConnection::~TargetConnection() = default;

TargetConnection *CreateTargetConnection(const QString &portName)
{
    return BackendConnection::open(portName);
}

BackendConnection *BackendConnection::open(const QString &port)
{
    const tgtlink_backend_functions *f = DeviceBackend::functions();
    if (!f || port.isEmpty())
        return nullptr;
    tgtlink_connection *handle = nullptr;
    if (f->open(port.toUtf8().constData(), &handle) != TGTLINK_OK || !handle)
        return nullptr;
    return new BackendConnection(f, handle, port);
}

BackendConnection *BackendConnection::from(TargetConnection *connection)
{
    return dynamic_cast<BackendConnection *>(connection);
}

BackendConnection::BackendConnection(const tgtlink_backend_functions *functions, tgtlink_connection *handle,
                                     const QString &port)
    : m_functions(functions), m_handle(handle), m_port(port), m_kind(functions->kind(handle))
{
}

BackendConnection::~BackendConnection()
{
    m_functions->close(m_handle);
}

namespace {
int downloadAbortRequested(void *context)
{
    return ProgramRegistry::abortRequested(static_cast<const TargetConnection *>(context)) ? 1 : 0;
}
} // namespace

tgtlink_abort BackendConnection::downloadAbort() const
{
    return tgtlink_abort{&downloadAbortRequested,
                         const_cast<void *>(static_cast<const void *>(static_cast<const TargetConnection *>(this)))};
}
