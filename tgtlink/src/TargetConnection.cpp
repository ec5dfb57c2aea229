#include "tgtlink/TargetConnection.h"

#include "BenchConnection.h"

TargetConnection::~TargetConnection() = default;

TargetConnection *CreateTargetConnection(const QString &portName)
{
    return BenchConnection::open(portName);
}
