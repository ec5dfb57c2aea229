#include "BackendFactorySet.h"

#include "BackendConnection.h"
#include "ImeiCheck.h"
#include "TextIn.h"
#include "tgtlink/FlashInfo.h"
#include "tgtlink/FlashProgram.h"
#include "tgtlink/StationSetting.h"
#include "tgtlink/TargetError.h"

#include <cstring>

namespace {
// A text with a NUL inside would reach the backend cut short: a different value than the one asked for.
bool fitsC(const std::string &text)
{
    return text.find('\0') == std::string::npos;
}
} // namespace

FactorySet::~FactorySet() = default;

bool FactorySet::IsIMEIValid(const std::string &imei)
{
    return ImeiCheck::isValid(imei);
}

std::string FactorySet::AddIMEIChecksum(const std::string &body)
{
    return ImeiCheck::withCheckDigit(body);
}

FactorySet *CreateFactorySet(FlashInfo &flashInfo, TargetConnection *connection, ChipInfo * /*chipInfo*/)
{
    BackendConnection *c = BackendConnection::from(connection);
    if (!c)
        return nullptr;
    tgtlink_flash_info info{};
    std::strncpy(info.flash_model, flashInfo.flashModel.c_str(), sizeof info.flash_model - 1);
    info.factory_base = flashInfo.factoryBase;
    info.factory_size = flashInfo.factorySize;
    info.user_area_start = flashInfo.userAreaStart;
    info.user_area_size = flashInfo.userAreaSize;
    const QByteArray stations = StationSetting::Instance()->getStationNames().join(QLatin1Char('\n')).toUtf8();
    tgtlink_factory_data *handle = nullptr;
    if (c->functions().factory_open(c->handle(), &info, stations.constData(), &handle) != TGT_OK || !handle)
        return nullptr;
    return new BackendFactorySet(c, handle);
}

BackendFactorySet::BackendFactorySet(BackendConnection *connection, tgtlink_factory_data *handle)
    : m_connection(connection), m_functions(connection->functions()), m_handle(handle)
{
}

BackendFactorySet::~BackendFactorySet()
{
    m_functions.factory_close(m_handle);
}

int BackendFactorySet::ready(FlashProgram *programmer) const
{
    if (!programmer || programmer->connection() != m_connection || !programmer->isStarted())
        return TGT_ERR_NOT_STARTED;
    return TGT_OK;
}

int BackendFactorySet::loadFromDevice(FlashProgram *programmer)
{
    const int rc = ready(programmer);
    if (rc != TGT_OK)
        return rc;
    const tgtlink_abort abort = programmer->abortFlag();
    return m_functions.factory_load(m_handle, &abort);
}

int BackendFactorySet::saveToDevice(FlashProgram *programmer)
{
    const int rc = ready(programmer);
    if (rc != TGT_OK)
        return rc;
    const tgtlink_abort abort = programmer->abortFlag();
    return m_functions.factory_save(m_handle, &abort);
}

void BackendFactorySet::initialize()
{
    m_functions.factory_initialize(m_handle);
}

int BackendFactorySet::queryStation(const std::string &name, bool &found, bool &passed)
{
    if (!fitsC(name))
        return TGT_ERR_INVALID_ARGUMENT;
    int f = 0;
    int p = 0;
    const int rc = m_functions.station_query(m_handle, name.c_str(), &f, &p);
    if (rc != TGT_OK)
        return rc;
    found = f != 0;
    passed = p != 0;
    return TGT_OK;
}

int BackendFactorySet::setStation(const std::string &name, bool passed)
{
    if (!fitsC(name))
        return TGT_ERR_INVALID_ARGUMENT;
    return m_functions.station_set(m_handle, name.c_str(), passed ? 1 : 0);
}

std::string BackendFactorySet::get(int field, int index) const
{
    std::string value;
    TextIn::read(value, [this, field, index](char *buffer, size_t size, size_t *length) {
        return m_functions.factory_get(m_handle, field, index, buffer, size, length);
    });
    return value;
}

std::string BackendFactorySet::getImei(int index)
{
    return index >= 0 && index < 4 ? get(TGTLINK_FIELD_IMEI, index) : std::string();
}

int BackendFactorySet::setImei(int index, const std::string &imei, bool checkValid)
{
    if (!fitsC(imei))
        return TGT_ERR_INVALID_ARGUMENT;
    return m_functions.factory_set(m_handle, TGTLINK_FIELD_IMEI, index, imei.c_str(), checkValid ? 1 : 0);
}

std::string BackendFactorySet::getMbsn()
{
    return get(TGTLINK_FIELD_MBSN, 0);
}

int BackendFactorySet::setMbsn(const std::string &mbsn)
{
    if (!fitsC(mbsn))
        return TGT_ERR_INVALID_ARGUMENT;
    return m_functions.factory_set(m_handle, TGTLINK_FIELD_MBSN, 0, mbsn.c_str(), 0);
}

std::string BackendFactorySet::getPsn()
{
    return get(TGTLINK_FIELD_PSN, 0);
}

int BackendFactorySet::setPsn(const std::string &psn)
{
    if (!fitsC(psn))
        return TGT_ERR_INVALID_ARGUMENT;
    return m_functions.factory_set(m_handle, TGTLINK_FIELD_PSN, 0, psn.c_str(), 0);
}

std::string BackendFactorySet::getBt()
{
    return get(TGTLINK_FIELD_BT, 0);
}

int BackendFactorySet::setBt(const std::string &bt)
{
    if (!fitsC(bt))
        return TGT_ERR_INVALID_ARGUMENT;
    return m_functions.factory_set(m_handle, TGTLINK_FIELD_BT, 0, bt.c_str(), 0);
}
