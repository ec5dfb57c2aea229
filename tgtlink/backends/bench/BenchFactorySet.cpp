#include "BenchFactorySet.h"

#include "BenchConnection.h"
#include "FactoryStore.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "ImeiCheck.h"
#include "StationList.h"
#include "tgtlink/TargetError.h"

#include <QFile>

namespace {

bool isSerialText(const std::string &s)
{
    if (s.size() > std::size_t(FactoryRecord::MaxSerialLength))
        return false;
    for (char c : s) {
        if (c <= 0x20 || c >= 0x7F)
            return false;
    }
    return true;
}

bool isBtText(const std::string &s)
{
    if (s.empty())
        return true;
    if (s.size() != std::size_t(FactoryRecord::BtLength))
        return false;
    for (char c : s) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool isDigits(const std::string &s, std::size_t maxLength)
{
    if (s.size() > maxLength)
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

BenchFactorySet *BenchFactorySet::open(BenchConnection *c, const tgtlink_flash_info &info, const QStringList &stations,
                                       int &rc)
{
    rc = c->injectedFault("createfactoryset");
    if (rc != TGT_OK)
        return nullptr;
    rc = TGT_ERR_OUT_OF_RANGE;
    if (info.factory_base == TGTLINK_NOT_REPORTED || info.factory_size == TGTLINK_NOT_REPORTED)
        return nullptr;
    const quint32 magic = StationList::magic(stations);
    HandsetHeader header;
    if (c->check(&header) == TGT_OK) {
        // The area must hold a full record for this station list.
        if (FactoryStore::slotCapacity(header.factoryAreaBytes) < FactoryRecord::maxEncodedSize(int(stations.size())))
            return nullptr;
        QByteArray area;
        if (HandsetImage::readFactoryArea(c->imagePath(), header, area) == TGT_OK) {
            const FactoryStore::Area parsed = FactoryStore::parseArea(area);
            const int newest = parsed.newest();
            rc = TGT_ERR_BAD_IMAGE;
            if (newest >= 0 && parsed.slot[newest].record.stationMagic != magic)
                return nullptr; // written for another station list
        }
    }
    // A handset that cannot be read now still gets an object: its load reports why.
    rc = TGT_OK;
    return new BenchFactorySet(c, stations, magic);
}

BenchFactorySet::BenchFactorySet(BenchConnection *connection, const QStringList &stations, quint32 stationMagic)
    : m_connection(connection), m_stations(stations), m_stationMagic(stationMagic)
{
    m_record.stationMagic = stationMagic;
}

int BenchFactorySet::ready() const
{
    return m_connection->ramRunning ? TGT_OK : TGT_ERR_NOT_STARTED;
}

int BenchFactorySet::loadFromDevice(const tgtlink_abort *abort)
{
    int rc = ready();
    HandsetHeader header;
    if (rc == TGT_OK)
        rc = m_connection->begin("load", &header, abort);
    QByteArray area;
    if (rc == TGT_OK)
        rc = HandsetImage::readFactoryArea(m_connection->imagePath(), header, area);
    if (rc != TGT_OK)
        return rc;
    const FactoryStore::Area parsed = FactoryStore::parseArea(area);
    const int newest = parsed.newest();
    if (newest < 0)
        return TGT_ERR_NO_FACTORY_DATA;
    if (parsed.slot[newest].record.stationMagic != m_stationMagic)
        return TGT_ERR_BAD_IMAGE;
    m_record = parsed.slot[newest].record;
    m_haveData = true;
    return TGT_OK;
}

int BenchFactorySet::saveToDevice(const tgtlink_abort *abort)
{
    int rc = ready();
    // Saving an object that holds nothing would overwrite the handset's data with blanks.
    if (rc == TGT_OK && !m_haveData)
        rc = TGT_ERR_NO_FACTORY_DATA;
    HandsetHeader header;
    if (rc == TGT_OK)
        rc = m_connection->begin("save", &header, abort);
    if (rc != TGT_OK)
        return rc;
    QFile image(m_connection->imagePath());
    if (!image.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return image.exists() ? TGT_ERR_IO : TGT_ERR_NO_DEVICE;
    const qint64 budget = FaultStore::takePowerCut(m_connection->portName());
    m_record.stationMagic = m_stationMagic;
    return FactoryStore::save(image, HandsetImage::factoryOffset(), header.factoryAreaBytes, m_record, budget);
}

void BenchFactorySet::initialize()
{
    m_record = FactoryRecord();
    m_record.stationMagic = m_stationMagic;
    m_haveData = true;
}

int BenchFactorySet::queryStation(const std::string &name, bool &found, bool &passed)
{
    const int rc = m_connection->begin("querystation");
    if (rc != TGT_OK)
        return rc;
    found = false;
    passed = false;
    for (const auto &[station, result] : m_record.stations) {
        if (station == name) {
            found = true;
            passed = result;
        }
    }
    return TGT_OK;
}

int BenchFactorySet::setStation(const std::string &name, bool passed)
{
    const int rc = m_connection->begin("setstation");
    if (rc != TGT_OK)
        return rc;
    if (!m_stations.contains(QString::fromStdString(name), Qt::CaseSensitive))
        return TGT_ERR_INVALID_ARGUMENT;
    for (auto &[station, result] : m_record.stations) {
        if (station == name) {
            result = passed;
            return TGT_OK;
        }
    }
    m_record.stations.emplace_back(name, passed);
    return TGT_OK;
}

std::string BenchFactorySet::getImei(int index)
{
    return index >= 0 && index < 4 ? m_record.imei[index] : std::string();
}

int BenchFactorySet::setImei(int index, const std::string &imei, bool checkValid)
{
    const int rc = m_connection->begin("setimei");
    if (rc != TGT_OK)
        return rc;
    if (index < 0 || index > 3)
        return TGT_ERR_INVALID_ARGUMENT;
    if (checkValid && !ImeiCheck::isValid(imei))
        return TGT_ERR_INVALID_IMEI;
    if (!isDigits(imei, FactoryRecord::MaxImeiLength))
        return TGT_ERR_INVALID_ARGUMENT;
    m_record.imei[index] = imei;
    return TGT_OK;
}

int BenchFactorySet::setSerial(const char *op, std::string &field, const std::string &value)
{
    const int rc = m_connection->begin(op);
    if (rc != TGT_OK)
        return rc;
    if (!isSerialText(value))
        return TGT_ERR_INVALID_ARGUMENT;
    field = value;
    return TGT_OK;
}

std::string BenchFactorySet::getMbsn()
{
    return m_record.mbsn;
}

int BenchFactorySet::setMbsn(const std::string &mbsn)
{
    return setSerial("setmbsn", m_record.mbsn, mbsn);
}

std::string BenchFactorySet::getPsn()
{
    return m_record.psn;
}

int BenchFactorySet::setPsn(const std::string &psn)
{
    return setSerial("setpsn", m_record.psn, psn);
}

std::string BenchFactorySet::getBt()
{
    return m_record.bt;
}

int BenchFactorySet::setBt(const std::string &bt)
{
    const int rc = m_connection->begin("setbt");
    if (rc != TGT_OK)
        return rc;
    if (!isBtText(bt))
        return TGT_ERR_INVALID_ARGUMENT;
    m_record.bt = bt;
    return TGT_OK;
}
