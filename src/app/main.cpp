#include "app/SingleInstanceLock.h"
#include "app/UnattendedRun.h"
#include "config/AppPaths.h"
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
#include <memory>

namespace {
const QString InstanceLockName = QStringLiteral("WR3c4bedc3-4dc2-4b6e-a198-e4089e19cf25");

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

    SingleInstanceLock instanceLock(InstanceLockName);
    {
        StartupCatalogues catalogues;
        const QString problem = instanceLock.tryLock() ? dataDirProblem() : QString();
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
