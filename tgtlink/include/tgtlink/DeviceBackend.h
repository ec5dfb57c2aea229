#pragma once

#include <QString>

struct tgtlink_backend_functions;

// The backend that every call of the target library goes through: a shared library loaded at run time
// (tgtlink_backend.h). The station names it in cfg/device.ini:
//
//   [Device]
//   Backend=bench          a name (tgtlink-NAME.so beside the executable) or a path to the library
//   Options=...            text handed to the backend's start
//
// Without the file or the key the bench of simulated handsets is used. TGTLINK_BACKEND_DIR, when set, is where
// names are looked up instead of beside the executable (the tests' build tree).
class DeviceBackend final
{
public:
    struct Choice
    {
        QString backend = QStringLiteral("bench");
        QString options;
    };

    // What `iniPath` names; the defaults for a missing file or key.
    static Choice readChoice(const QString &iniPath);
    // TGTLINK_DEVICE_INI, else cfg/device.ini below the current directory.
    static QString defaultIniPath();
    // The library file for a name or a path; a relative path is taken from the executable's folder.
    static QString resolve(const QString &backend);

    // Loads a backend in place of the one loaded (which must have no open connection left). False on a missing
    // file, a missing entry point, another major version, an incomplete table or a failed start; error() says
    // which. Thread-safe.
    static bool load(const QString &backend, const QString &options = QString());
    // Loads the station's choice (defaultIniPath) on first use. Later calls give the same result, a failure
    // included, until load() or unload().
    static bool ensureLoaded();
    static void unload();

    static bool isLoaded();
    static QString name();    // the backend's own name, empty when none is loaded
    static QString version(); // the backend's version text
    static QString path();    // the library file last tried
    static QString error();   // why the last load failed; empty after a success
    // "bench 1.0 (/path/tgtlink-bench.so)" or the load error, for the log at start. Both texts are put in the
    // words of the catalogue installed when they are asked for (context "DeviceBackend").
    static QString description();

    // The loaded table; null when no backend is loaded (nor could be, with ensureLoaded).
    static const tgtlink_backend_functions *functions();
    // The backend's last failure on this thread.
    static QString lastError();

private:
    DeviceBackend() = delete;
};
