#pragma once

#include <QString>

// Kinds of connection, as reported by TargetConnection::kind().
enum TargetConnectionKind : unsigned
{
    TGT_CONN_USB = 1,
    TGT_CONN_SERIAL = 2,
    TGT_CONN_DEBUG_HOST = 3,
};

// An open, exclusive connection to one handset. Deleting it closes the port.
class TargetConnection
{
public:
    virtual ~TargetConnection();
    virtual unsigned kind() const = 0;
    virtual QString portName() const = 0;

protected:
    TargetConnection() = default;

private:
    TargetConnection(const TargetConnection &) = delete;
    TargetConnection &operator=(const TargetConnection &) = delete;
};

// Opens the port; null when there is no handset on it or another connection holds it.
TargetConnection *CreateTargetConnection(const QString &portName);
