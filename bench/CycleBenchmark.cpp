// The tool's own time per handset in continuous production: the window (offscreen) writes handset after handset
// as they are swapped on the bench, all identities automatic, against a million-record IMEI history, with the
// bench delays, the worker's fixed pauses and StartDelay at zero. Each cycle is timed from the port report of
// the new handset to the window's handling of workerFinish(true); beside it, in interleaved rounds, the same
// library calls made directly (connection, preparation, load, the identities, the station flag, the save).
//
//   CycleBenchmark [CYCLES]      default 1000
#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "ports/PortScanWorker.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/MessageBoxes.h"

#include "Bench.h"
#include "tgtlink/tgtlink.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
constexpr int HistoryRecords = 1000000;

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size())));
    return values[index];
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s: %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

BenchHandset handset(const QString &port)
{
    BenchHandset h;
    h.port = port;
    h.kind = Bench::defaultKindFor(port);
    h.blank = false;
    h.factory.stations.insert(QStringLiteral("CALIBRATION"), true);
    return h;
}

bool writeHistory(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "#Date and time\t\t\tHistory IMEI\n";
    text.reserve(64 * 1024 * 1024);
    for (int i = 0; i < HistoryRecords; ++i) {
        // Two IMEIs a record, outside the series the station writes.
        const QByteArray a = QByteArray::number(860000000000000LL + 2LL * i);
        const QByteArray b = QByteArray::number(860000000000001LL + 2LL * i);
        text += "2016-09-13 08:05:59\t\t" + a + ',' + b + '\n';
    }
    return file.write(text) == text.size();
}

// The library calls of one write cycle, made directly: what the worker cannot do without.
double libraryCycleMs(const QString &port)
{
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<TargetConnection> connection(CreateTargetConnection(port));
    if (!connection)
        return -1;
    ChipInfo chip(connection.get());
    if (chip.hostPrepareRamRun(false) != TGT_OK)
        return -1;
    FlashInfo flash;
    unsigned chipId = 0;
    if (flash.loadFromTarget(connection.get(), &chip) != TGT_OK || chip.getChipId(chipId) != TGT_OK)
        return -1;
    FlashProgram programmer(connection.get(), &chip);
    LodData lod;
    if (!lod.load(ChipInfo::RamrunFname(connection->kind(), chipId, flash.flashModel)))
        return -1;
    RamRun ramRun;
    ramRun.init(&chip, &lod, connection.get());
    if (ramRun.run() != TGT_OK || programmer.checkStart() != TGT_OK)
        return -1;
    std::unique_ptr<FactorySet> factory(CreateFactorySet(flash, connection.get(), &chip));
    if (!factory || factory->loadFromDevice(&programmer) != TGT_OK)
        return -1;
    bool found = false, passed = false;
    factory->queryStation("CALIBRATION", found, passed);
    factory->setImei(0, "356938035643809", true);
    factory->setImei(1, "490154203237518", true);
    factory->setMbsn("20160913080559123");
    factory->setPsn("00020160913080559123");
    factory->setBt("002715082c32");
    factory->setStation("IMEI_WRITE", true);
    if (factory->saveToDevice(&programmer) != TGT_OK)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(10, atoi(argv[1])) : 1000;

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString root = dir.path();
    QDir().mkpath(root + QStringLiteral("/bench"));
    QDir().mkpath(root + QStringLiteral("/cfg"));
    qputenv("TGTLINK_BENCH", (root + QStringLiteral("/bench")).toLocal8Bit());
    qputenv("TGTLINK_DELAY_SCALE", "0");
    {
        QFile stations(root + QStringLiteral("/stations.txt"));
        if (!stations.open(QIODevice::WriteOnly) || stations.write("CALIBRATION\nIMEI_WRITE\n") <= 0)
            return 1;
    }
    qputenv("TGTLINK_STATIONS", (root + QStringLiteral("/stations.txt")).toLocal8Bit());
    // The bench backend as the tool loads it, from the build's runtime directory (this runs from bench/).
    if (!qEnvironmentVariableIsSet("TGTLINK_BACKEND_DIR"))
        qputenv("TGTLINK_BACKEND_DIR", DOVERARIZ_RUNTIME_DIR);
    if (!DeviceBackend::load(QStringLiteral("bench"))) {
        std::fprintf(stderr, "%s\n", qPrintable(DeviceBackend::error()));
        return 1;
    }
    std::printf("%s\n", qPrintable(DeviceBackend::description()));
    QString error;
    if (Bench::writeRamrunImages(root, &error) <= 0) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QDir::setCurrent(root);
    AppPaths::setAppDirForTesting(root);
    MessageBoxes::setUnattended(true);
    if (!writeHistory(root + QStringLiteral("/cfg/imei_history.data")))
        return 1;
    {
        QSettings ini(root + QStringLiteral("/cfg/ImeiSN.ini"), QSettings::IniFormat);
        ini.beginGroup(QStringLiteral("ImeiSN"));
        const QList<QPair<const char *, QVariant>> values = {{"RunType", 15},
                                                             {"ImeiNum", 2},
                                                             {"Imei1InputType", 4},
                                                             {"Imei2InputType", 4},
                                                             {"Imei3InputType", 4},
                                                             {"Imei4InputType", 4},
                                                             {"ImeiInitNum14", "35693803560000"},
                                                             {"ImeiMaskNum14", "3569380356****"},
                                                             {"ImeiMaxNum", 10000},
                                                             {"ImeiSave", true},
                                                             {"ImeiCheckRepetitive", true},
                                                             {"MbsnInputType", 5},
                                                             {"MbsnSave", true},
                                                             {"MbsnCheckRepetitive", true},
                                                             {"PsnInputType", 5},
                                                             {"PsnSave", true},
                                                             {"PsnCheckRepetitive", true},
                                                             {"BTInputType", 5},
                                                             {"BTIsAutoAddr", true},
                                                             {"BTSave", true},
                                                             {"BTCheckRepetitive", true},
                                                             {"isPhaseCheck", true},
                                                             {"checkStation", "CALIBRATION"},
                                                             {"currentStation", "IMEI_WRITE"},
                                                             {"StartDelay", 0},
                                                             {"language", "English"}};
        for (const auto &[key, value] : values)
            ini.setValue(QLatin1String(key), value);
    }

    QElapsedTimer loadTimer;
    loadTimer.start();
    auto window = std::make_unique<FPDoverARizMainWindow>();
    print("window_start_with_history", double(loadTimer.nsecsElapsed()) / 1e6, "ms");
    window->portScanner()->stop(true);
    QCoreApplication::processEvents();
    FPDoverARizWorker *worker = window->worker();
    worker->setPauseFunction([](int) {});

    QElapsedTimer clock;
    clock.start();
    qint64 finishedAt = -1;
    bool passed = false;
    // Connected after the window's own slot: runs once the window has handled the report.
    QObject::connect(
        worker, &FPDoverARizWorker::workerFinish, window.get(),
        [&](bool ok) {
            finishedAt = clock.nsecsElapsed();
            passed = ok;
        },
        Qt::QueuedConnection); // emitted on the worker's thread

    std::vector<double> cycleMs, libraryMs;
    Bench::plug(handset(QStringLiteral("USB2")));
    for (int i = 0; i <= cycles; ++i) {
        Bench::unplug(QStringLiteral("USB1"));
        window->onPortScanned({});
        if (!Bench::plug(handset(QStringLiteral("USB1"))))
            return 1;
        finishedAt = -1;
        const qint64 reported = clock.nsecsElapsed();
        window->onPortScanned({QStringLiteral("USB1")});
        if (i == 0)
            window->onWrite(); // the first handset is started by the operator; the rest by continuous mode
        while (finishedAt < 0 || worker->isRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!passed) {
            std::fprintf(stderr, "cycle %d failed\n", i);
            return 1;
        }
        QCoreApplication::processEvents();
        if (i > 0) // the first one warms the caches
            cycleMs.push_back(double(finishedAt - reported) / 1e6);

        Bench::unplug(QStringLiteral("USB2"));
        Bench::plug(handset(QStringLiteral("USB2")));
        const double library = libraryCycleMs(QStringLiteral("USB2"));
        if (library < 0)
            return 1;
        if (i > 0)
            libraryMs.push_back(library);
    }

    const double cycleMedian = percentile(cycleMs, 0.5), cycle99 = percentile(cycleMs, 0.99);
    const double libraryMedian = percentile(libraryMs, 0.5), library99 = percentile(libraryMs, 0.99);
    print("cycles", double(cycleMs.size()), "handsets");
    print("cycle_median", cycleMedian, "ms");
    print("cycle_p99", cycle99, "ms");
    print("library_calls_median", libraryMedian, "ms");
    print("library_calls_p99", library99, "ms");
    print("tool_added_median", cycleMedian - libraryMedian, "ms");
    print("tool_added_p99", cycle99 - library99, "ms");
    window->onStop();
    window.reset();
    return 0;
}
