// The bench of simulated handsets as a backend of its own: the function table over the bench's handset images.
#include "BenchConnection.h"
#include "BenchFactorySet.h"
#include "BenchPaths.h"
#include "FaultStore.h"
#include "HandsetImage.h"
#include "TextOut.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"
#include "tgtlink/tgtlink_backend.h"

#include <memory>
#include <string>

struct tgtlink_connection
{
    std::unique_ptr<BenchConnection> bench;
};

struct tgtlink_factory_data
{
    std::unique_ptr<BenchFactorySet> set;
};

namespace {

thread_local std::string lastError;

// Keeps the failure's text for last_error() and hands the code on.
int fail(int rc, const char *op)
{
    if (rc != TGT_OK)
        lastError = std::string(op) + ": " + TargetStrError(rc);
    return rc;
}

QStringList lines(const char *text)
{
    return text ? QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList();
}

bool hidden(const QString &port)
{
    return FaultStore::takeFault(port, QStringLiteral("scan")).has_value();
}

// A serial or debug-host port is listed when its handset answers a probe (a sound header). Excluded names are
// in use elsewhere: they are listed as they are, never opened.
QStringList probeScan(unsigned kind, const QStringList &exclude)
{
    QStringList found;
    for (const QString &port : BenchPaths::portsIn(kind)) {
        if (exclude.contains(port, Qt::CaseSensitive)) {
            found.append(port);
            continue;
        }
        HandsetHeader header;
        if (hidden(port) || HandsetImage::readHeader(BenchPaths::imagePath(kind, port), header) != TGT_OK)
            continue;
        found.append(port);
    }
    return found;
}

int benchStart(const char * /*options*/)
{
    return TGT_OK;
}

void benchFinish() {}

void benchLastError(char *buffer, size_t size, size_t *length)
{
    TextOut::copy(lastError, buffer, size, length);
}

int benchScan(uint32_t kind, const char *exclude, char *buffer, size_t size, size_t *length)
{
    QStringList found;
    if (kind == TGT_CONN_USB) {
        found = BenchPaths::portsIn(TGT_CONN_USB);
        found.removeIf([](const QString &port) { return hidden(port); });
    } else if (kind == TGT_CONN_SERIAL || kind == TGT_CONN_DEBUG_HOST) {
        found = probeScan(kind, lines(exclude));
    } else {
        return fail(TGT_ERR_INVALID_ARGUMENT, "scan");
    }
    TextOut::copy(found.join(QLatin1Char('\n')).toStdString(), buffer, size, length);
    return TGT_OK;
}

int benchOpen(const char *port, tgtlink_connection **connection)
{
    if (!port || !connection)
        return fail(TGT_ERR_INVALID_ARGUMENT, "open");
    *connection = nullptr;
    int rc = TGT_OK;
    BenchConnection *bench = BenchConnection::open(QString::fromUtf8(port), rc);
    if (!bench)
        return fail(rc, "open");
    *connection = new tgtlink_connection{std::unique_ptr<BenchConnection>(bench)};
    return TGT_OK;
}

void benchClose(tgtlink_connection *connection)
{
    delete connection;
}

uint32_t benchKind(const tgtlink_connection *connection)
{
    return connection ? connection->bench->kind() : 0;
}

int benchPrepare(tgtlink_connection *connection, int /*versionCheck*/)
{
    return fail(connection->bench->prepare(), "prepare");
}

int benchChipId(tgtlink_connection *connection, uint32_t *chipId)
{
    return fail(connection->bench->chipId(*chipId), "chipid");
}

int benchVersion(tgtlink_connection *connection, char *buffer, size_t size, size_t *length)
{
    std::string text;
    const int rc = connection->bench->version(text);
    if (rc != TGT_OK)
        return fail(rc, "version");
    TextOut::copy(text, buffer, size, length);
    return TGT_OK;
}

int benchFlashInfo(tgtlink_connection *connection, tgtlink_flash_info *info)
{
    return fail(connection->bench->flashInfo(*info), "flashinfo");
}

int benchRamRun(tgtlink_connection *connection, uint32_t kind, uint32_t chipId, const uint8_t * /*image*/, size_t size,
                const tgtlink_abort *abort)
{
    return fail(connection->bench->ramRun(kind, chipId, size, abort), "ramrun");
}

int benchCheckStart(tgtlink_connection *connection)
{
    return fail(connection->bench->checkStart(), "checkstart");
}

int benchErase(tgtlink_connection *connection, uint32_t address, uint32_t size, const tgtlink_abort *abort)
{
    return fail(connection->bench->erase(address, size, abort), "erase");
}

int benchFactoryOpen(tgtlink_connection *connection, const tgtlink_flash_info *info, const char *stations,
                     tgtlink_factory_data **data)
{
    if (!connection || !info || !data)
        return fail(TGT_ERR_INVALID_ARGUMENT, "factory_open");
    *data = nullptr;
    int rc = TGT_OK;
    BenchFactorySet *set = BenchFactorySet::open(connection->bench.get(), *info, lines(stations), rc);
    if (!set)
        return fail(rc, "factory_open");
    *data = new tgtlink_factory_data{std::unique_ptr<BenchFactorySet>(set)};
    return TGT_OK;
}

void benchFactoryClose(tgtlink_factory_data *data)
{
    delete data;
}

int benchFactoryLoad(tgtlink_factory_data *data, const tgtlink_abort *abort)
{
    return fail(data->set->loadFromDevice(abort), "load");
}

int benchFactorySave(tgtlink_factory_data *data, const tgtlink_abort *abort)
{
    return fail(data->set->saveToDevice(abort), "save");
}

void benchFactoryInitialize(tgtlink_factory_data *data)
{
    data->set->initialize();
}

int benchFactoryGet(tgtlink_factory_data *data, int field, int index, char *buffer, size_t size, size_t *length)
{
    BenchFactorySet &set = *data->set;
    std::string value;
    switch (field) {
    case TGTLINK_FIELD_IMEI:
        if (index < 0 || index > 3)
            return fail(TGT_ERR_INVALID_ARGUMENT, "get");
        value = set.getImei(index);
        break;
    case TGTLINK_FIELD_MBSN:
        value = set.getMbsn();
        break;
    case TGTLINK_FIELD_PSN:
        value = set.getPsn();
        break;
    case TGTLINK_FIELD_BT:
        value = set.getBt();
        break;
    default:
        return fail(TGT_ERR_INVALID_ARGUMENT, "get");
    }
    TextOut::copy(value, buffer, size, length);
    return TGT_OK;
}

int benchFactorySet(tgtlink_factory_data *data, int field, int index, const char *value, int checkImei)
{
    BenchFactorySet &set = *data->set;
    const std::string text = value ? value : "";
    switch (field) {
    case TGTLINK_FIELD_IMEI:
        return fail(set.setImei(index, text, checkImei != 0), "setimei");
    case TGTLINK_FIELD_MBSN:
        return fail(set.setMbsn(text), "setmbsn");
    case TGTLINK_FIELD_PSN:
        return fail(set.setPsn(text), "setpsn");
    case TGTLINK_FIELD_BT:
        return fail(set.setBt(text), "setbt");
    default:
        return fail(TGT_ERR_INVALID_ARGUMENT, "set");
    }
}

int benchStationQuery(tgtlink_factory_data *data, const char *name, int *found, int *passed)
{
    bool f = false;
    bool p = false;
    const int rc = data->set->queryStation(name ? name : "", f, p);
    if (rc != TGT_OK)
        return fail(rc, "querystation");
    *found = f ? 1 : 0;
    *passed = p ? 1 : 0;
    return TGT_OK;
}

int benchStationSet(tgtlink_factory_data *data, const char *name, int passed)
{
    return fail(data->set->setStation(name ? name : "", passed != 0), "setstation");
}

int benchInject(const char *port, const char *fault)
{
    QString error;
    const QString name = QString::fromUtf8(port ? port : "");
    if (!BenchPaths::isValidPortName(name))
        return fail(TGT_ERR_INVALID_ARGUMENT, "inject");
    if (!FaultStore::apply(name, QString::fromUtf8(fault ? fault : ""), &error)) {
        lastError = "inject: " + error.toStdString();
        return TGT_ERR_INVALID_ARGUMENT;
    }
    return TGT_OK;
}

const tgtlink_backend_functions Functions = {
    TGTLINK_BACKEND_MAJOR,
    TGTLINK_BACKEND_MINOR,
    sizeof(tgtlink_backend_functions),
    "bench",
    "1.0",
    benchStart,
    benchFinish,
    benchLastError,
    benchScan,
    benchOpen,
    benchClose,
    benchKind,
    benchPrepare,
    benchChipId,
    benchVersion,
    benchFlashInfo,
    benchRamRun,
    benchCheckStart,
    benchErase,
    benchFactoryOpen,
    benchFactoryClose,
    benchFactoryLoad,
    benchFactorySave,
    benchFactoryInitialize,
    benchFactoryGet,
    benchFactorySet,
    benchStationQuery,
    benchStationSet,
    benchInject,
};

} // namespace

extern "C" TGTLINK_BACKEND_EXPORT int tgtlink_backend_get_functions(const tgtlink_backend_functions **functions)
{
    if (!functions)
        return TGT_ERR_INVALID_ARGUMENT;
    *functions = &Functions;
    return TGT_OK;
}
