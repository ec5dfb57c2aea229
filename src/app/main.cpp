#include "app/SingleInstanceLock.h"
#include "app/UnattendedRun.h"
#include "config/AppPaths.h"
#include "config/BuildInfo.h"
#include "config/ToolSettings.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/MessageBoxes.h"

#include "tgtlink/DeviceBackend.h"

#include "device/FPDoverARizWorker.h"

#include <QApplication>
#include <QDir>
#include <QSplashScreen>
#include <QStyleFactory>
#include <QTemporaryFile>
#include <QTranslator>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
// In the data folder: two copies on one station share it, whatever their accounts or temporary folders.
const QString InstanceLockFile = QStringLiteral("cfg/doverariz.lock");

// The boxes shown before the window exists speak the language the settings name; the window installs its own
// catalogues, so these go again before it is built (an entry missing from its English catalogue must not fall
// back to this Chinese one).
class StartupCatalogues final
{
public:
    StartupCatalogues()
    {
        ToolSettings settings;
        settings.load();
        const bool chinese = settings.language == QLatin1String("Chinese");
        if (chinese && m_qt.load(AppPaths::filePath(QStringLiteral("tr/qt_zh_CN.qm"))))
            QCoreApplication::installTranslator(&m_qt);
        if (m_tool.load(
                AppPaths::filePath(chinese ? QStringLiteral("tr/imei_chs.qm") : QStringLiteral("tr/imei_chs_en.qm"))))
            QCoreApplication::installTranslator(&m_tool);
    }
    ~StartupCatalogues()
    {
        QCoreApplication::removeTranslator(&m_tool);
        QCoreApplication::removeTranslator(&m_qt);
    }

private:
    QTranslator m_qt;
    QTranslator m_tool;
};

// An installed tool keeps its settings and histories apart from the executable; a folder this account cannot
// write would lose every identity it records, so the tool does not start on one.
QString dataDirProblem()
{
    if (!AppPaths::hasSeparateDataDir())
        return QString();
    const QString cfg = AppPaths::dataFilePath(QStringLiteral("cfg"));
    QTemporaryFile probe(cfg + QStringLiteral("/.write-test-XXXXXX"));
    if (QDir().mkpath(cfg) && QDir().mkpath(AppPaths::dataFilePath(QStringLiteral("log"))) && probe.open())
        return QString();
    return QCoreApplication::translate(
               "main", "The folder %1 cannot be written by this account, so the settings, histories and logs "
                       "could not be saved. Ask the line engineer to add this account to the group %2 (then log in "
                       "again), or to name a writable folder in %3.")
        .arg(QDir::toNativeSeparators(AppPaths::dataDir()), QStringLiteral("doverariz"),
             QLatin1String(AppPaths::DataDirVariable));
}

// --help and --version are answered before the application starts: they need no display, and no window opens.
// Every other argument is left to Qt (-platform, -style, ...), as before. -1 when neither was asked for.
int answerInformationRequest(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-v") == 0) {
            std::printf("doverariz %s (build %s)\n", qPrintable(BuildInfo::packageVersion()),
                        qPrintable(BuildInfo::buildId()));
            return 0;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::printf("Usage: doverariz [Qt options]\n"
                        "The station tool: writes IMEIs, serial numbers and Bluetooth addresses into handsets and\n"
                        "records every identity it issues. See doverariz(1) and Help in the window.\n"
                        "\n"
                        "  -h, --help       print this help and exit\n"
                        "  -v, --version    print the version and build and exit\n"
                        "  -platform NAME   Qt's platform plugin (offscreen, xcb, wayland, ...); the other options\n"
                        "                   of Qt programs (-style, -geometry, ...) work as well\n"
                        "\n"
                        "%s names a writable folder for the settings, histories and logs; TGTLINK_BENCH\n"
                        "names the folder of simulated handsets.\n",
                        AppPaths::DataDirVariable);
            return 0;
        }
        // The value of a Qt option is not an option of ours.
        if (std::strcmp(arg, "-platform") == 0 || std::strcmp(arg, "-style") == 0 ||
            std::strcmp(arg, "-geometry") == 0 || std::strcmp(arg, "-display") == 0 ||
            std::strcmp(arg, "-qwindowgeometry") == 0 || std::strcmp(arg, "-stylesheet") == 0)
            ++i;
    }
    return -1;
}

// The station's device backend, loaded before anything reaches a handset (the port scanner starts with the
// window). An installed tool keeps cfg/ in its data directory.
void loadDeviceBackend()
{
    if (AppPaths::hasSeparateDataDir() && !qEnvironmentVariableIsSet("TGTLINK_DEVICE_INI"))
        qputenv("TGTLINK_DEVICE_INI", AppPaths::dataFilePath(QStringLiteral("cfg/device.ini")).toLocal8Bit());
    DeviceBackend::ensureLoaded();
}

// The log names the backend at start; one that could not be loaded is an Error line, and every device call is
// refused (no port is listed, a write cannot open one).
void logDeviceBackend(FPDoverARizMainWindow *window)
{
    if (DeviceBackend::isLoaded())
        window->workerStatus(DeviceBackend::description(), FPDoverARizWorker::InfoFg, FPDoverARizWorker::InfoBg);
    else
        window->workerStatus(DeviceBackend::error(), FPDoverARizWorker::ErrorFg, FPDoverARizWorker::ErrorBg);
}
} // namespace

int main(int argc, char *argv[])
{
    if (const int answered = answerInformationRequest(argc, argv); answered >= 0)
        return answered;
    QApplication app(argc, argv);
    AppPaths::applyInstalledLayout();
    // tr/, ramrun/, the station list and the manuals are found beside the executable, wherever the tool was
    // started from; so are cfg/ and log/ in a build tree.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    const bool unattended = UnattendedRun::isRequested();
    if (unattended)
        UnattendedRun::beginAnswering();

    // No image is embedded under this name: the splash screen stays empty.
    auto pixmap = std::make_unique<QPixmap>(QStringLiteral(":/new/prefix1/images/quorvane_en.png"));

    SingleInstanceLock instanceLock(AppPaths::dataFilePath(InstanceLockFile));
    {
        StartupCatalogues catalogues;
        // The folder first: the lock lives in it.
        const QString problem = dataDirProblem();
        if (problem.isEmpty())
            instanceLock.tryLock();
        if (!instanceLock.isLocked() || !problem.isEmpty()) {
            MessageBoxes::warning(nullptr, QCoreApplication::translate("main", "Error"),
                                  problem.isEmpty()
                                      ? QCoreApplication::translate("main", "You have already run an application.")
                                      : problem);
            if (unattended)
                UnattendedRun::reportBoxes();
            return -1;
        }
    }

    loadDeviceBackend();
    auto splash = std::make_unique<QSplashScreen>(*pixmap);
    splash->show();
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style); // the application owns it

    auto window = std::make_unique<FPDoverARizMainWindow>();
    window->showNormal();
    logDeviceBackend(window.get());
    splash->finish(window.get());
    if (unattended) {
        UnattendedRun::scheduleExit(window.get());
        UnattendedRun::scheduleWrite(window.get());
    }

    const int code = QApplication::exec();
    window.reset(); // saves the settings and stops the worker before the application goes
    splash.reset();
    pixmap.reset();
    return code;
}
