#include "HandsetSession.h"

#include "tgtlink/ChipInfo.h"
#include "tgtlink/DeviceBackend.h"
#include "tgtlink/FactorySet.h"
#include "tgtlink/FlashProgram.h"
#include "tgtlink/LodData.h"
#include "tgtlink/RamRun.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"

HandsetSession::HandsetSession(const QString &port) : m_port(port) {}

HandsetSession::~HandsetSession()
{
    m_factory.reset();
    m_programmer.reset();
    m_chip.reset();
    m_connection.reset();
}

int HandsetSession::fail(const QString &step, int code)
{
    m_failure = QStringLiteral("%1: %2 (%3)")
                    .arg(step, QString::fromStdString(TargetStrError(code)), DeviceBackend::lastError());
    return code;
}

int HandsetSession::startWithoutProgrammer()
{
    m_connection.reset(CreateTargetConnection(m_port));
    if (!m_connection)
        return fail(QStringLiteral("connect"), TGT_ERR_NO_DEVICE);
    m_chip = std::make_unique<ChipInfo>(m_connection.get());
    int rc = m_chip->hostPrepareRamRun(false);
    if (rc != TGT_OK)
        return fail(QStringLiteral("prepare"), rc);
    rc = m_flash.loadFromTarget(m_connection.get(), m_chip.get());
    if (rc != TGT_OK)
        return fail(QStringLiteral("flash info"), rc);
    rc = m_chip->getChipId(m_chipId);
    if (rc != TGT_OK)
        return fail(QStringLiteral("chip id"), rc);
    return TGT_OK;
}

int HandsetSession::start()
{
    int rc = startWithoutProgrammer();
    if (rc != TGT_OK)
        return rc;
    const QString lodName = ChipInfo::RamrunFname(m_connection->kind(), m_chipId, m_flash.flashModel);
    LodData lod;
    if (lodName.isEmpty() || !lod.load(lodName))
        return fail(QStringLiteral("RAM-run image %1").arg(lodName), TGT_ERR_NOT_SUPPORTED);
    RamRun ramRun;
    ramRun.init(m_chip.get(), &lod, m_connection.get());
    rc = ramRun.run();
    if (rc != TGT_OK)
        return fail(QStringLiteral("RAM-run"), rc);
    m_programmer = std::make_unique<FlashProgram>(m_connection.get(), m_chip.get());
    rc = m_programmer->checkStart();
    if (rc != TGT_OK)
        return fail(QStringLiteral("programmer start"), rc);
    m_factory.reset(CreateFactorySet(m_flash, m_connection.get(), m_chip.get()));
    if (!m_factory)
        return fail(QStringLiteral("factory data"), TGT_ERR_BAD_IMAGE);
    return TGT_OK;
}
