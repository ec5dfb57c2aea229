#include "BenchSession.h"

BenchSession::BenchSession(const QString &port) : m_port(port) {}

BenchSession::~BenchSession()
{
    close();
}

bool BenchSession::connect()
{
    if (!m_connection)
        m_connection.reset(CreateTargetConnection(m_port));
    return m_connection != nullptr;
}

int BenchSession::prepare()
{
    if (!connect())
        return TGT_ERR_NO_DEVICE;
    m_chip = std::make_unique<ChipInfo>(m_connection.get());
    int rc = m_chip->hostPrepareRamRun(false);
    if (rc != TGT_OK)
        return rc;
    m_flashInfo.clear();
    if ((rc = m_flashInfo.loadFromTarget(m_connection.get(), m_chip.get())) != TGT_OK)
        return rc;
    unsigned chipId = 0;
    if ((rc = m_chip->getChipId(chipId)) != TGT_OK)
        return rc;
    m_programmer = std::make_unique<FlashProgram>(m_connection.get(), m_chip.get());
    LodData lod;
    const QString name = ChipInfo::RamrunFname(m_connection->kind(), chipId, m_flashInfo.flashModel);
    if (name.isEmpty() || !lod.load(name))
        return TGT_ERR_BAD_IMAGE;
    RamRun ramRun;
    ramRun.init(m_chip.get(), &lod, m_connection.get());
    if ((rc = ramRun.run()) != TGT_OK)
        return rc;
    if ((rc = m_programmer->checkStart()) != TGT_OK)
        return rc;
    m_factorySet.reset(CreateFactorySet(m_flashInfo, m_connection.get(), m_chip.get()));
    return m_factorySet ? TGT_OK : TGT_ERR_INVALID_ARGUMENT;
}

int BenchSession::prepareAndLoad()
{
    const int rc = prepare();
    return rc != TGT_OK ? rc : m_factorySet->loadFromDevice(m_programmer.get());
}

void BenchSession::close()
{
    m_factorySet.reset();
    m_programmer.reset();
    m_chip.reset();
    m_connection.reset();
}
