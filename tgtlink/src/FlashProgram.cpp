#include "tgtlink/FlashProgram.h"

#include "BenchConnection.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "ProgramRegistry.h"
#include "tgtlink/TargetError.h"

#include <QFile>

namespace {
constexpr qint64 EraseChunk = 4096;
}

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
    BenchConnection *c = BenchConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    m_started = false;
    const int rc = c->begin("checkstart");
    if (rc != TGT_OK)
        return rc;
    if (!c->ramRunning)
        return TGT_ERR_NOT_STARTED;
    m_started = true;
    return TGT_OK;
}

int FlashProgram::erase(unsigned address, unsigned size)
{
    BenchConnection *c = BenchConnection::from(m_connection);
    if (!c)
        return TGT_ERR_NO_DEVICE;
    if (!m_started || !c->ramRunning)
        return TGT_ERR_NOT_STARTED;
    HandsetHeader header;
    int rc = c->check(&header);
    if (rc != TGT_OK)
        return rc;
    if (abortRequested.load())
        return TGT_ERR_ABORTED;
    rc = c->injectedFault("erase");
    if (rc != TGT_OK)
        return rc;
    // Only the user-data area can be erased, and only where the handset reports it.
    const quint64 start = header.userAreaStart;
    const quint64 end = start + qMin<quint64>(header.userAreaSize, header.userAreaBytes);
    if (header.userAreaStart == HandsetHeader::NotReported || address < start || quint64(address) + size > end)
        return TGT_ERR_OUT_OF_RANGE;

    QFile file(c->imagePath());
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return file.exists() ? TGT_ERR_IO : TGT_ERR_NO_DEVICE;
    const qint64 chunks = qMax<qint64>(1, (qint64(size) + EraseChunk - 1) / EraseChunk);
    const int chunkDelay = int(FaultStore::delayMs(c->portName(), QStringLiteral("erase")) / chunks);
    const qint64 base = HandsetImage::userOffset(header) + (address - start);
    for (qint64 done = 0; done < size; done += EraseChunk) {
        if (abortRequested.load())
            return TGT_ERR_ABORTED;
        const qint64 n = qMin<qint64>(EraseChunk, size - done);
        const QByteArray blank(n, char(0xFF));
        if (!file.seek(base + done) || file.write(blank) != n || !file.flush())
            return TGT_ERR_IO;
        if (FaultStore::pause(chunkDelay, [this] { return abortRequested.load(); }) != TGT_OK)
            return TGT_ERR_ABORTED;
    }
    return TGT_OK;
}
