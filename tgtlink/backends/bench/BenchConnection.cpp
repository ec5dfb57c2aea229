#include "BenchConnection.h"

#include "BenchPaths.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "tgtlink/TargetError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

namespace {
// Far longer than a look at the lock lasts, short enough that a handset in use is refused at once to the eye.
constexpr int ProbeGraceMs = 200;
} // namespace

BenchConnection *BenchConnection::open(const QString &port, int &rc)
{
    unsigned kind = 0;
    QString path;
    rc = TGT_ERR_NO_DEVICE;
    if (!BenchPaths::locate(port, kind, path))
        return nullptr;
    rc = TGT_ERR_IO;
    if (!QDir().mkpath(BenchPaths::sideDir()))
        return nullptr;
    // One connection per handset, across processes and within one. A look at whether the handset is in use
    // (`handset show`, Bench::read) takes the lock for an instant: a connection waits that long rather than fail.
    auto lock = std::make_unique<HeldFileLock>(BenchPaths::sidePath(port, QStringLiteral(".lock")));
    if (!lock->tryLock(ProbeGraceMs))
        return nullptr; // in use: TGT_ERR_IO
    auto *connection = new BenchConnection(port, kind, path, std::move(lock));
    rc = connection->injectedFault("connect");
    if (rc == TGT_OK)
        rc = connection->delay("connect", nullptr);
    if (rc != TGT_OK) {
        delete connection;
        return nullptr;
    }
    return connection;
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

bool BenchConnection::abortRequested(const tgtlink_abort *abort)
{
    return abort && abort->requested && abort->requested(abort->context) != 0;
}

int BenchConnection::delay(const char *op, const tgtlink_abort *abort) const
{
    const int ms = FaultStore::delayMs(m_port, QLatin1String(op));
    if (!abort)
        return FaultStore::pause(ms, {});
    return FaultStore::pause(ms, [abort] { return abortRequested(abort); });
}

int BenchConnection::begin(const char *op, HandsetHeader *header, const tgtlink_abort *abort) const
{
    int rc = check(header);
    if (rc == TGT_OK)
        rc = injectedFault(op);
    if (rc == TGT_OK)
        rc = delay(op, abort);
    return rc;
}

namespace {
constexpr qint64 EraseChunk = 4096;
}

int BenchConnection::prepare()
{
    const int rc = begin("prepare");
    if (rc == TGT_OK)
        prepared = true;
    return rc;
}

int BenchConnection::chipId(uint32_t &id) const
{
    HandsetHeader header;
    const int rc = begin("chipid", &header);
    if (rc == TGT_OK)
        id = header.chipId;
    return rc;
}

int BenchConnection::version(std::string &text) const
{
    HandsetHeader header;
    int rc = begin("version", &header);
    if (rc == TGT_OK && header.version.isEmpty())
        rc = TGT_ERR_NO_VERSION;
    if (rc == TGT_OK)
        text = header.version.toStdString();
    return rc;
}

int BenchConnection::flashInfo(tgtlink_flash_info &info) const
{
    HandsetHeader header;
    const int rc = begin("flashinfo", &header);
    if (rc != TGT_OK)
        return rc;
    info = tgtlink_flash_info{};
    const QByteArray model = header.flashModel.left(int(sizeof info.flash_model) - 1);
    std::memcpy(info.flash_model, model.constData(), size_t(model.size()));
    info.factory_base = header.factoryBase;
    info.factory_size = header.factorySize;
    info.user_area_start = header.userAreaStart;
    info.user_area_size = header.userAreaSize;
    return TGT_OK;
}

int BenchConnection::ramRun(uint32_t kind, uint32_t chip, size_t size, const tgtlink_abort *abort)
{
    if (size == 0)
        return TGT_ERR_INVALID_ARGUMENT;
    // The host side must have prepared this connection for a download.
    if (!prepared)
        return TGT_ERR_NOT_STARTED;
    ramRunning = false;
    HandsetHeader header;
    int rc = check(&header);
    if (rc == TGT_OK && chip != header.chipId)
        rc = TGT_ERR_WRONG_CHIP;
    if (rc == TGT_OK && kind != m_kind)
        rc = TGT_ERR_NOT_SUPPORTED;
    if (rc == TGT_OK)
        rc = begin("ramrun", nullptr, abort);
    if (rc == TGT_OK)
        ramRunning = true;
    return rc;
}

int BenchConnection::checkStart() const
{
    const int rc = begin("checkstart");
    if (rc == TGT_OK && !ramRunning)
        return TGT_ERR_NOT_STARTED;
    return rc;
}

int BenchConnection::erase(uint32_t address, uint32_t size, const tgtlink_abort *abort) const
{
    if (!ramRunning)
        return TGT_ERR_NOT_STARTED;
    HandsetHeader header;
    int rc = check(&header);
    if (rc != TGT_OK)
        return rc;
    if (abortRequested(abort))
        return TGT_ERR_ABORTED;
    rc = injectedFault("erase");
    if (rc != TGT_OK)
        return rc;
    // Only the user-data area can be erased, and only where the handset reports it.
    const quint64 start = header.userAreaStart;
    const quint64 end = start + qMin<quint64>(header.userAreaSize, header.userAreaBytes);
    if (header.userAreaStart == HandsetHeader::NotReported || address < start || quint64(address) + size > end)
        return TGT_ERR_OUT_OF_RANGE;

    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return file.exists() ? TGT_ERR_IO : TGT_ERR_NO_DEVICE;
    const qint64 chunks = qMax<qint64>(1, (qint64(size) + EraseChunk - 1) / EraseChunk);
    const int chunkDelay = int(FaultStore::delayMs(m_port, QStringLiteral("erase")) / chunks);
    const qint64 base = HandsetImage::userOffset(header) + (address - start);
    for (qint64 done = 0; done < size; done += EraseChunk) {
        if (abortRequested(abort))
            return TGT_ERR_ABORTED;
        const qint64 n = qMin<qint64>(EraseChunk, size - done);
        const QByteArray blank(n, char(0xFF));
        if (!file.seek(base + done) || file.write(blank) != n || !file.flush())
            return TGT_ERR_IO;
        if (FaultStore::pause(chunkDelay, [abort] { return abortRequested(abort); }) != TGT_OK)
            return TGT_ERR_ABORTED;
    }
    return TGT_OK;
}
