#include "tgtlink/DeviceBackend.h"

#include "DynamicLibrary.h"
#include "TextOut.h"
#include "tgtlink/TargetConnection.h"
#include "tgtlink/TargetError.h"
#include "tgtlink/tgtlink_backend.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QSettings>
#include <cstddef>
#include <vector>

// The C codes are the tool's codes: the layer hands them on as they are.
static_assert(TGTLINK_OK == TGT_OK && TGTLINK_ERR_NO_DEVICE == TGT_ERR_NO_DEVICE && TGTLINK_ERR_IO == TGT_ERR_IO &&
              TGTLINK_ERR_TIMEOUT == TGT_ERR_TIMEOUT && TGTLINK_ERR_NOT_SUPPORTED == TGT_ERR_NOT_SUPPORTED &&
              TGTLINK_ERR_BAD_IMAGE == TGT_ERR_BAD_IMAGE && TGTLINK_ERR_NO_FACTORY_DATA == TGT_ERR_NO_FACTORY_DATA &&
              TGTLINK_ERR_ABORTED == TGT_ERR_ABORTED && TGTLINK_ERR_NOT_STARTED == TGT_ERR_NOT_STARTED &&
              TGTLINK_ERR_WRONG_CHIP == TGT_ERR_WRONG_CHIP && TGTLINK_ERR_NO_VERSION == TGT_ERR_NO_VERSION &&
              TGTLINK_ERR_OUT_OF_RANGE == TGT_ERR_OUT_OF_RANGE &&
              TGTLINK_ERR_INVALID_ARGUMENT == TGT_ERR_INVALID_ARGUMENT &&
              TGTLINK_ERR_INVALID_IMEI == TGT_ERR_INVALID_IMEI);
static_assert(TGTLINK_KIND_USB == TGT_CONN_USB && TGTLINK_KIND_SERIAL == TGT_CONN_SERIAL &&
              TGTLINK_KIND_DEBUG_HOST == TGT_CONN_DEBUG_HOST);

namespace {

// Why the last load failed.
enum class Failure
{
    None,
    NoFile,
    NotLoadable, // detail: the system's reason
    NoEntry,
    NoTable,
    OtherMajor, // major and minor: the backend's interface version
    Incomplete,
    NotStarted, // detail: the backend's reason
};

struct State
{
    QMutex mutex;
    DynamicLibrary library;
    const tgtlink_backend_functions *functions = nullptr; // set while a started backend is loaded
    bool tried = false;
    QString name;
    QString version;
    QString path;
    Failure failure = Failure::None;
    QString detail;
    int major = 0;
    int minor = 0;
};

State &state()
{
    static State s;
    return s;
}

// Every function of version 1.0 is needed; only the test entry may be left out.
bool complete(const tgtlink_backend_functions &f)
{
    const std::vector<const void *> required = {
        reinterpret_cast<const void *>(f.start),
        reinterpret_cast<const void *>(f.finish),
        reinterpret_cast<const void *>(f.last_error),
        reinterpret_cast<const void *>(f.scan),
        reinterpret_cast<const void *>(f.open),
        reinterpret_cast<const void *>(f.close),
        reinterpret_cast<const void *>(f.kind),
        reinterpret_cast<const void *>(f.prepare),
        reinterpret_cast<const void *>(f.chip_id),
        reinterpret_cast<const void *>(f.software_version),
        reinterpret_cast<const void *>(f.flash_info),
        reinterpret_cast<const void *>(f.ram_run),
        reinterpret_cast<const void *>(f.check_start),
        reinterpret_cast<const void *>(f.erase),
        reinterpret_cast<const void *>(f.factory_open),
        reinterpret_cast<const void *>(f.factory_close),
        reinterpret_cast<const void *>(f.factory_load),
        reinterpret_cast<const void *>(f.factory_save),
        reinterpret_cast<const void *>(f.factory_initialize),
        reinterpret_cast<const void *>(f.factory_get),
        reinterpret_cast<const void *>(f.factory_set),
        reinterpret_cast<const void *>(f.station_query),
        reinterpret_cast<const void *>(f.station_set),
    };
    for (const void *p : required) {
        if (!p)
            return false;
    }
    return true;
}

QString backendText(const tgtlink_backend_functions &f)
{
    char buffer[512];
    size_t length = 0;
    f.last_error(buffer, sizeof buffer, &length);
    return QString::fromUtf8(buffer);
}

// The reason put in words when it is asked for, not when the load failed: the tool loads its backend before its
// catalogue, and may switch language after.
QString failureText(const State &s)
{
    const QString shown = QDir::toNativeSeparators(s.path);
    switch (s.failure) {
    case Failure::None:
        break;
    case Failure::NoFile:
        return QCoreApplication::translate("DeviceBackend", "device backend %1: no such file").arg(shown);
    case Failure::NotLoadable:
        return QCoreApplication::translate("DeviceBackend", "device backend %1 cannot be loaded: %2")
            .arg(shown, s.detail);
    case Failure::NoEntry:
        return QCoreApplication::translate("DeviceBackend", "device backend %1 is not a backend: it has no %2")
            .arg(shown, QLatin1String(TGTLINK_BACKEND_ENTRY));
    case Failure::NoTable:
        return QCoreApplication::translate("DeviceBackend", "device backend %1 gives no function table").arg(shown);
    case Failure::OtherMajor:
        return QCoreApplication::translate("DeviceBackend",
                                           "device backend %1 has interface version %2.%3; this tool needs %4.x")
            .arg(shown)
            .arg(s.major)
            .arg(s.minor)
            .arg(TGTLINK_BACKEND_MAJOR);
    case Failure::Incomplete:
        return QCoreApplication::translate("DeviceBackend", "device backend %1 has an incomplete function table")
            .arg(shown);
    case Failure::NotStarted:
        return QCoreApplication::translate("DeviceBackend", "device backend %1 did not start: %2").arg(shown, s.detail);
    }
    return QString();
}

void unloadLocked(State &s)
{
    if (s.functions)
        s.functions->finish();
    s.functions = nullptr;
    s.library.close();
    s.name.clear();
    s.version.clear();
}

bool loadLocked(State &s, const QString &backend, const QString &options)
{
    unloadLocked(s);
    s.tried = true;
    s.path = DeviceBackend::resolve(backend);
    s.failure = Failure::None;
    s.detail.clear();
    const auto fail = [&s](Failure failure) {
        s.failure = failure;
        s.library.close();
        return false;
    };
    if (!QFileInfo(s.path).isFile())
        return fail(Failure::NoFile);
    if (!s.library.open(s.path, &s.detail))
        return fail(Failure::NotLoadable);
    const auto entry =
        reinterpret_cast<tgtlink_backend_get_functions_fn>(s.library.symbol(TGTLINK_BACKEND_ENTRY, nullptr));
    if (!entry)
        return fail(Failure::NoEntry);
    const tgtlink_backend_functions *f = nullptr;
    if (entry(&f) != TGTLINK_OK || !f)
        return fail(Failure::NoTable);
    if (f->major != TGTLINK_BACKEND_MAJOR) {
        s.major = int(f->major);
        s.minor = int(f->minor);
        return fail(Failure::OtherMajor);
    }
    if (f->size < offsetof(tgtlink_backend_functions, inject) || !complete(*f))
        return fail(Failure::Incomplete);
    const int rc = f->start(options.toUtf8().constData());
    if (rc != TGTLINK_OK) {
        const QString text = backendText(*f);
        s.detail = text.isEmpty() ? QString::fromStdString(TargetStrError(rc)) : text;
        return fail(Failure::NotStarted);
    }
    s.functions = f;
    s.name = QString::fromUtf8(f->name ? f->name : "");
    s.version = QString::fromUtf8(f->version ? f->version : "");
    return true;
}

} // namespace

DeviceBackend::Choice DeviceBackend::readChoice(const QString &iniPath)
{
    Choice choice;
    if (!QFileInfo(iniPath).isFile())
        return choice;
    QSettings ini(iniPath, QSettings::IniFormat);
    // The format reads an unquoted value with commas as a list: a backend's options may well have some.
    const auto text = [&ini](const char *key) {
        const QVariant v = ini.value(QLatin1String(key));
        return v.userType() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
    };
    const QString backend = text("Device/Backend").trimmed();
    if (!backend.isEmpty())
        choice.backend = backend;
    choice.options = text("Device/Options");
    return choice;
}

QString DeviceBackend::defaultIniPath()
{
    const QString fromEnv = qEnvironmentVariable("TGTLINK_DEVICE_INI");
    return fromEnv.isEmpty() ? QStringLiteral("cfg/device.ini") : fromEnv;
}

QString DeviceBackend::resolve(const QString &backend)
{
    const bool isPath = backend.contains(QLatin1Char('/')) || backend.contains(QLatin1Char('\\')) ||
                        backend.endsWith(DynamicLibrary::fileName(QString()));
    if (isPath)
        return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(backend));
    const QString fromEnv = qEnvironmentVariable("TGTLINK_BACKEND_DIR");
    const QString dir = fromEnv.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnv;
    return QDir::cleanPath(dir + QLatin1Char('/') + DynamicLibrary::fileName(QStringLiteral("tgtlink-") + backend));
}

bool DeviceBackend::load(const QString &backend, const QString &options)
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    return loadLocked(s, backend, options);
}

bool DeviceBackend::ensureLoaded()
{
    return functions() != nullptr;
}

void DeviceBackend::unload()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    unloadLocked(s);
    s.tried = false;
    s.failure = Failure::None;
}

bool DeviceBackend::isLoaded()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    return s.functions != nullptr;
}

QString DeviceBackend::name()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    return s.name;
}

QString DeviceBackend::version()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    return s.version;
}

QString DeviceBackend::path()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    return s.path;
}

QString DeviceBackend::error()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    return failureText(s);
}

QString DeviceBackend::description()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    if (!s.functions)
        return failureText(s);
    return QCoreApplication::translate("DeviceBackend", "device backend %1 %2 (%3)")
        .arg(s.name, s.version, QDir::toNativeSeparators(s.path));
}

const tgtlink_backend_functions *DeviceBackend::functions()
{
    State &s = state();
    QMutexLocker locker(&s.mutex);
    if (!s.functions && !s.tried) {
        const Choice choice = readChoice(defaultIniPath());
        loadLocked(s, choice.backend, choice.options);
    }
    return s.functions;
}

QString DeviceBackend::lastError()
{
    const tgtlink_backend_functions *f = functions();
    return f ? backendText(*f) : error();
}
