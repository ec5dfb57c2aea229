#pragma once

#include "tgtlink/TargetConnection.h"
#include "tgtlink/tgtlink_backend.h"

// A connection opened through the loaded backend: the handle and the table it came from.
class BackendConnection final : public TargetConnection
{
public:
    // Null when the backend is not loaded or refuses the port.
    static BackendConnection *open(const QString &port);
    // The backend connection behind a connection, null for anything else.
    static BackendConnection *from(TargetConnection *connection);

    ~BackendConnection() override; // closes the handle

    unsigned kind() const override { return m_kind; }
    QString portName() const override { return m_port; }

    const tgtlink_backend_functions &functions() const { return *m_functions; }
    tgtlink_connection *handle() const { return m_handle; }

    // The tool's abort flag for a RAM-run download, which has no programmer of its own: any programmer on this
    // connection asked to abort.
    tgtlink_abort downloadAbort() const;

private:
    BackendConnection(const tgtlink_backend_functions *functions, tgtlink_connection *handle, const QString &port);

    const tgtlink_backend_functions *m_functions;
    tgtlink_connection *m_handle;
    QString m_port;
    unsigned m_kind;
};
