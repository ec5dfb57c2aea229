#include "BenchConnection.h"

#include "BenchPaths.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "ProgramRegistry.h"
#include "tgtlink/TargetError.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Far longer than a look at the lock lasts, short enough that a handset in use is refused at once to the eye.
constexpr int ProbeGraceMs = 200;
} // namespace

BenchConnection *BenchConnection::open(const QString &port)
{
    unsigned kind = 0;
    QString path;
    if (!BenchPaths::locate(port, kind, path))
        return nullptr;
    if (!QDir().mkpath(BenchPaths::sideDir()))
        return nullptr;
    // One connection per handset, across processes and within one. A look at whether the handset is in use
    // (`handset show`, Bench::read) takes the lock for an instant: a connection waits that long rather than fail.
    auto lock = std::make_unique<HeldFileLock>(BenchPaths::sidePath(port, QStringLiteral(".lock")));
    if (!lock->tryLock(ProbeGraceMs))
        return nullptr;
    auto *connection = new BenchConnection(port, kind, path, std::move(lock));
    if (connection->injectedFault("connect") != TGT_OK || connection->delay("connect", false) != TGT_OK) {
        delete connection;
        return nullptr;
    }
    return connection;
}

BenchConnection *BenchConnection::from(TargetConnection *connection)
{
    return dynamic_cast<BenchConnection *>(connection);
}

BenchConnection::BenchConnection(const QString &port, unsigned kind, const QString &path,
                                 std::unique_ptr<HeldFileLock> lock)
    : m_port(port), m_kind(kind), m_path(path), m_lock(std::move(lock))
{
    HandsetHeader header;
    if (HandsetImage::readHeader(m_path, header) == TGT_OK)
        m_plugId = header.plugId;
}

BenchConnection::~BenchConnection() = default;

int BenchConnection::check(HandsetHeader *header) const
{
    HandsetHeader h;
    const int rc = HandsetImage::readHeader(m_path, h);
    if (rc != TGT_OK)
        return rc;
    if (m_plugId != 0 && h.plugId != m_plugId)
        return TGT_ERR_NO_DEVICE; // unplugged, and another handset plugged in under the same name
    if (header)
        *header = h;
    return TGT_OK;
}

int BenchConnection::injectedFault(const char *op) const
{
    const std::optional<int> code = FaultStore::takeFault(m_port, QLatin1String(op));
    if (!code)
        return TGT_OK;
    return *code == TGT_OK ? TGT_ERR_IO : *code; // a fault always fails
}

bool BenchConnection::abortRequested() const
{
    return ProgramRegistry::abortRequested(this);
}

int BenchConnection::delay(const char *op, bool abortable) const
{
    const int ms = FaultStore::delayMs(m_port, QLatin1String(op));
    if (!abortable)
        return FaultStore::pause(ms, {});
    return FaultStore::pause(ms, [this] { return abortRequested(); });
}

int BenchConnection::begin(const char *op, HandsetHeader *header, bool abortable) const
{
    int rc = check(header);
    if (rc == TGT_OK)
        rc = injectedFault(op);
    if (rc == TGT_OK)
        rc = delay(op, abortable);
    return rc;
}
