// Handsets on a serial line that speak the framed protocol of the README: the function table over SerialClient.
// Options (blank- or ';'-separated): baud=115200 timeout=300 retries=4 ports=/dev/ttyS0,/dev/pts/3
#include "SerialClient.h"
#include "SerialFrame.h"
#include "SerialLine.h"
#include "TextOut.h"
#include "tgtlink/TargetError.h"
#include "tgtlink/tgtlink_backend.h"

#include <QMap>
#include <QMutex>
#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

struct tgtlink_connection
{
    std::unique_ptr<SerialClient> client;
    QString port;
    uint32_t kind = TGTLINK_KIND_SERIAL;
};

struct tgtlink_factory_data
{
    tgtlink_connection *connection;
    // The handset's copy as last loaded or set, so that reading a field never fails on the line.
    std::string fields[4 + 3]; // IMEI 1 to 4, MBSN, PSN, BT
    // An initialisation the handset did not confirm: a save then would write what it still holds.
    int lostInitialize = TGTLINK_OK;
};

namespace {

using namespace SerialFrame;

SerialClient::Settings settings;
QStringList namedPorts; // from the options: listed by the scan when present
QMutex openMutex;
QMap<QString, tgtlink_connection *> openPorts; // guarded by openMutex: for inject on a port in use
thread_local std::string lastError;

int fail(int rc, const char *op, const QString &why = QString())
{
    if (rc != TGT_OK)
        lastError = std::string(op) + ": " + TargetStrError(rc) + (why.isEmpty() ? "" : " - " + why.toStdString());
    return rc;
}

int fail(int rc, const char *op, const tgtlink_connection *c)
{
    return fail(rc, op, c->client->error());
}

QByteArray u32(quint32 v)
{
    char bytes[4];
    qToLittleEndian<quint32>(v, bytes);
    return QByteArray(bytes, 4);
}

int serialStart(const char *options)
{
    settings = SerialClient::Settings();
    namedPorts.clear();
    const QStringList items = QString::fromUtf8(options ? options : "")
                                  .split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QString value = item.section(QLatin1Char('='), 1);
        bool ok = true;
        if (key == QLatin1String("baud"))
            settings.baud = value.toInt(&ok);
        else if (key == QLatin1String("timeout"))
            settings.timeoutMs = value.toInt(&ok);
        else if (key == QLatin1String("retries"))
            settings.retries = value.toInt(&ok);
        else if (key == QLatin1String("ports"))
            namedPorts = value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        else
            ok = false;
        if (!ok || settings.timeoutMs < 20 || settings.retries < 0 || settings.retries > 50) {
            lastError = "unknown or bad option \"" + item.toStdString() + "\"";
            return TGT_ERR_INVALID_ARGUMENT;
        }
    }
    return TGT_OK;
}

void serialFinish() {}

void serialLastError(char *buffer, size_t size, size_t *length)
{
    TextOut::copy(lastError, buffer, size, length);
}

int serialScan(uint32_t kind, const char * /*exclude*/, char *buffer, size_t size, size_t *length)
{
    // Serial devices are listed as present, never opened: opening one can disturb what is on it.
    QStringList found;
    if (kind == TGTLINK_KIND_SERIAL) {
        found = SerialLine::present();
        for (const QString &port : namedPorts) {
            if (SerialLine::exists(port) && !found.contains(port))
                found.append(port);
        }
        found.sort();
    }
    TextOut::copy(found.join(QLatin1Char('\n')).toStdString(), buffer, size, length);
    return TGT_OK;
}

int serialOpen(const char *port, tgtlink_connection **connection)
{
    if (!port || !connection)
        return fail(TGT_ERR_INVALID_ARGUMENT, "open");
    *connection = nullptr;
    auto c = std::make_unique<tgtlink_connection>();
    c->port = QString::fromUtf8(port);
    c->client = std::make_unique<SerialClient>(settings);
    int rc = c->client->open(c->port);
    QByteArray data;
    if (rc == TGT_OK)
        rc = c->client->call(Hello, {}, &data);
    if (rc == TGT_OK && data.size() >= 4)
        c->kind = qFromLittleEndian<quint32>(data.constData());
    if (rc != TGT_OK)
        return fail(rc == TGT_ERR_TIMEOUT ? TGT_ERR_NO_DEVICE : rc, "open", c.get());
    QMutexLocker locker(&openMutex);
    openPorts.insert(c->port, c.get());
    *connection = c.release();
    return TGT_OK;
}

void serialClose(tgtlink_connection *connection)
{
    if (!connection)
        return;
    {
        QMutexLocker locker(&openMutex);
        openPorts.remove(connection->port);
    }
    connection->client->notify(Bye); // the handset lets go of its session; one gone already is no matter
    delete connection;
}

uint32_t serialKind(const tgtlink_connection *connection)
{
    return connection ? connection->kind : 0;
}

int serialPrepare(tgtlink_connection *c, int versionCheck)
{
    return fail(c->client->call(Prepare, QByteArray(1, char(versionCheck ? 1 : 0))), "prepare", c);
}

int serialChipId(tgtlink_connection *c, uint32_t *chipId)
{
    QByteArray data;
    int rc = c->client->call(ChipId, {}, &data);
    if (rc == TGT_OK && data.size() < 4)
        rc = TGT_ERR_IO;
    if (rc != TGT_OK)
        return fail(rc, "chipid", c);
    *chipId = qFromLittleEndian<quint32>(data.constData());
    return TGT_OK;
}

int serialVersion(tgtlink_connection *c, char *buffer, size_t size, size_t *length)
{
    QByteArray data;
    const int rc = c->client->call(Version, {}, &data);
    if (rc != TGT_OK)
        return fail(rc, "version", c);
    TextOut::copy(data.toStdString(), buffer, size, length);
    return TGT_OK;
}

int serialFlashInfo(tgtlink_connection *c, tgtlink_flash_info *info)
{
    QByteArray data;
    int rc = c->client->call(SerialFrame::FlashInfo, {}, &data);
    if (rc == TGT_OK && data.size() != 32 + 16)
        rc = TGT_ERR_IO;
    if (rc != TGT_OK)
        return fail(rc, "flashinfo", c);
    *info = tgtlink_flash_info{};
    TextOut::copy(data.left(31).constData(), info->flash_model, sizeof info->flash_model, nullptr);
    info->factory_base = qFromLittleEndian<quint32>(data.constData() + 32);
    info->factory_size = qFromLittleEndian<quint32>(data.constData() + 36);
    info->user_area_start = qFromLittleEndian<quint32>(data.constData() + 40);
    info->user_area_size = qFromLittleEndian<quint32>(data.constData() + 44);
    return TGT_OK;
}

int serialRamRun(tgtlink_connection *c, uint32_t kind, uint32_t chipId, const uint8_t *image, size_t size,
                 const tgtlink_abort *abort)
{
    constexpr size_t Chunk = 256; // small frames: one hit by noise costs little to send again
    if (!image || size == 0 || size > 64u * 1024 * 1024)
        return fail(TGT_ERR_INVALID_ARGUMENT, "ramrun");
    int rc = c->client->call(RamRunBegin, u32(kind) + u32(chipId) + u32(quint32(size)));
    for (size_t offset = 0; rc == TGT_OK && offset < size; offset += Chunk) {
        if (abort && abort->requested && abort->requested(abort->context))
            rc = TGT_ERR_ABORTED;
        else
            rc = c->client->call(RamRunData,
                                 u32(quint32(offset)) + QByteArray(reinterpret_cast<const char *>(image) + offset,
                                                                   qsizetype(qMin(Chunk, size - offset))));
    }
    if (rc == TGT_OK)
        rc = c->client->call(RamRunStart, {}, nullptr, abort);
    return fail(rc, "ramrun", c);
}

int serialCheckStart(tgtlink_connection *c)
{
    return fail(c->client->call(CheckStart, {}), "checkstart", c);
}

int serialErase(tgtlink_connection *c, uint32_t address, uint32_t size, const tgtlink_abort *abort)
{
    return fail(c->client->call(Erase, u32(address) + u32(size), nullptr, abort), "erase", c);
}

int serialFactoryOpen(tgtlink_connection *c, const tgtlink_flash_info *info, const char *stations,
                      tgtlink_factory_data **data)
{
    if (!info || !data)
        return fail(TGT_ERR_INVALID_ARGUMENT, "factory_open");
    *data = nullptr;
    const QByteArray payload = u32(info->factory_base) + u32(info->factory_size) + QByteArray(stations ? stations : "");
    if (payload.size() > MaxPayload)
        return fail(TGT_ERR_INVALID_ARGUMENT, "factory_open", QStringLiteral("station list too long"));
    const int rc = c->client->call(FactoryOpen, payload);
    if (rc != TGT_OK)
        return fail(rc, "factory_open", c);
    *data = new tgtlink_factory_data();
    (*data)->connection = c;
    return TGT_OK;
}

void serialFactoryClose(tgtlink_factory_data *data)
{
    if (data)
        data->connection->client->notify(FactoryClose);
    delete data;
}

QByteArray fieldOf(int field, int index)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(field);
    bytes[1] = char(index);
    return bytes;
}

// The slot of a field in the host's copy; -1 for none.
int slotOf(int field, int index)
{
    if (field == TGTLINK_FIELD_IMEI)
        return index >= 0 && index <= 3 ? index : -1;
    if (field >= TGTLINK_FIELD_MBSN && field <= TGTLINK_FIELD_BT && index == 0)
        return 4 + field - TGTLINK_FIELD_MBSN;
    return -1;
}

int serialFactoryLoad(tgtlink_factory_data *data, const tgtlink_abort *abort)
{
    tgtlink_connection *c = data->connection;
    int rc = c->client->call(FactoryLoad, {}, nullptr, abort);
    // A load succeeds only with every field in hand.
    std::string fields[7];
    for (int field = TGTLINK_FIELD_IMEI; rc == TGT_OK && field <= TGTLINK_FIELD_BT; ++field) {
        for (int index = 0; rc == TGT_OK && index < (field == TGTLINK_FIELD_IMEI ? 4 : 1); ++index) {
            QByteArray value;
            rc = c->client->call(FactoryGet, fieldOf(field, index), &value);
            fields[slotOf(field, index)] = value.toStdString();
        }
    }
    if (rc != TGT_OK)
        return fail(rc, "load", c);
    std::copy(std::begin(fields), std::end(fields), std::begin(data->fields));
    data->lostInitialize = TGT_OK;
    return TGT_OK;
}

int serialFactorySave(tgtlink_factory_data *data, const tgtlink_abort *abort)
{
    tgtlink_connection *c = data->connection;
    if (data->lostInitialize != TGT_OK)
        return fail(data->lostInitialize, "save", QStringLiteral("the handset did not confirm the initialisation"));
    return fail(c->client->call(FactorySave, {}, nullptr, abort), "save", c);
}

void serialFactoryInitialize(tgtlink_factory_data *data)
{
    data->lostInitialize = data->connection->client->call(FactoryInitialize, {});
    for (std::string &field : data->fields)
        field.clear();
}

int serialFactoryGet(tgtlink_factory_data *data, int field, int index, char *buffer, size_t size, size_t *length)
{
    const int slot = slotOf(field, index);
    if (slot < 0)
        return fail(TGT_ERR_INVALID_ARGUMENT, "get");
    TextOut::copy(data->fields[slot], buffer, size, length);
    return TGT_OK;
}

int serialFactorySet(tgtlink_factory_data *data, int field, int index, const char *value, int checkImei)
{
    tgtlink_connection *c = data->connection;
    if (field < TGTLINK_FIELD_IMEI || field > TGTLINK_FIELD_BT || index < 0 || index > 3 || !value)
        return fail(TGT_ERR_INVALID_ARGUMENT, "set");
    const QByteArray text(value);
    if (text.size() > 256)
        return fail(TGT_ERR_INVALID_ARGUMENT, "set", QStringLiteral("value too long"));
    const int rc = c->client->call(SerialFrame::FactorySet, fieldOf(field, index) + char(checkImei ? 1 : 0) + text);
    if (rc == TGT_OK && slotOf(field, index) >= 0)
        data->fields[slotOf(field, index)] = text.toStdString();
    return fail(rc, "set", c);
}

int serialStationQuery(tgtlink_factory_data *data, const char *name, int *found, int *passed)
{
    tgtlink_connection *c = data->connection;
    QByteArray reply;
    int rc = c->client->call(StationQuery, QByteArray(name ? name : ""), &reply);
    if (rc == TGT_OK && reply.size() != 2)
        rc = TGT_ERR_IO;
    if (rc != TGT_OK)
        return fail(rc, "querystation", c);
    *found = reply[0] ? 1 : 0;
    *passed = reply[1] ? 1 : 0;
    return TGT_OK;
}

int serialStationSet(tgtlink_factory_data *data, const char *name, int passed)
{
    tgtlink_connection *c = data->connection;
    return fail(c->client->call(StationSet, QByteArray(1, char(passed ? 1 : 0)) + QByteArray(name ? name : "")),
                "setstation", c);
}

int serialInject(const char *port, const char *fault)
{
    const QString name = QString::fromUtf8(port ? port : "");
    const QByteArray text(fault ? fault : "");
    {
        QMutexLocker locker(&openMutex);
        if (tgtlink_connection *c = openPorts.value(name))
            return fail(c->client->call(Inject, text), "inject", c);
    }
    tgtlink_connection *c = nullptr;
    int rc = serialOpen(port, &c);
    if (rc != TGT_OK)
        return rc;
    rc = fail(c->client->call(Inject, text), "inject", c);
    serialClose(c);
    return rc;
}

const tgtlink_backend_functions Functions = {
    TGTLINK_BACKEND_MAJOR,
    TGTLINK_BACKEND_MINOR,
    sizeof(tgtlink_backend_functions),
    "serial",
    "1.0",
    serialStart,
    serialFinish,
    serialLastError,
    serialScan,
    serialOpen,
    serialClose,
    serialKind,
    serialPrepare,
    serialChipId,
    serialVersion,
    serialFlashInfo,
    serialRamRun,
    serialCheckStart,
    serialErase,
    serialFactoryOpen,
    serialFactoryClose,
    serialFactoryLoad,
    serialFactorySave,
    serialFactoryInitialize,
    serialFactoryGet,
    serialFactorySet,
    serialStationQuery,
    serialStationSet,
    serialInject,
};

} // namespace

extern "C" TGTLINK_BACKEND_EXPORT int tgtlink_backend_get_functions(const tgtlink_backend_functions **functions)
{
    if (!functions)
        return TGT_ERR_INVALID_ARGUMENT;
    *functions = &Functions;
    return TGT_OK;
}
