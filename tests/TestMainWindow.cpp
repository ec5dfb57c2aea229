#include "config/AppPaths.h"
#include "config/Clock.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "ports/PortScanWorker.h"
#include "shell/FPColorGraphicsView.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/ManualViewer.h"
#include "shell/MessageBoxes.h"

#include "BenchFaults.h"
#include "support/BenchFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>
#include <atomic>
#include <memory>

#ifndef DOVERARIZ_RUNTIME_DIR
#error "DOVERARIZ_RUNTIME_DIR names the directory that holds tr/"
#endif

namespace {
const QDateTime StartTime(QDate(2016, 9, 13), QTime(8, 5, 59));
const QString EnglishTitle = QStringLiteral("KVX IMEI Write tool v10.00.01");
const QString ChineseTitle = QStringLiteral("KVX IMEI 写号工具 v10.00.01");

template <typename T> T *child(QWidget &window, const char *name)
{
    T *widget = window.findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<unreadable>");
    return QString::fromLocal8Bit(file.readAll());
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

struct Buttons
{
    bool write, read, stop, port, setup;
};

Buttons buttonsOf(QWidget &w)
{
    return {child<QPushButton>(w, "startBtn")->isEnabled(), child<QPushButton>(w, "readBtn")->isEnabled(),
            child<QPushButton>(w, "stopBtn")->isEnabled(), child<QPushButton>(w, "portBtn")->isEnabled(),
            child<QPushButton>(w, "setupBtn")->isEnabled()};
}

QString describe(const Buttons &b)
{
    return QStringLiteral("write %1 read %2 stop %3 port %4 setup %5")
        .arg(b.write)
        .arg(b.read)
        .arg(b.stop)
        .arg(b.port)
        .arg(b.setup);
}
} // namespace

class TestMainWindow final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void startsWithoutPort();
    void followsHandsetOnBench();
    void stateTable_data();
    void stateTable();
    void portReports_data();
    void portReports();
    void unplugClearsOperatorFields_data();
    void unplugClearsOperatorFields();
    void languageSwitch_data();
    void languageSwitch();
    void qtCatalogueLoads();
    void counters_data();
    void counters();
    void logLines_data();
    void logLines();
    void logFile_data();
    void logFile();
    void closeConfirmation_data();
    void closeConfirmation();
    void manuals_data();
    void manuals();
    void destroyedInTheMiddleOfACycle();
    void unusableSettingsFile_data();
    void unusableSettingsFile();

private:
    // A window whose scanner has been stopped, so that only the test reports ports to it.
    std::unique_ptr<FPDoverARizMainWindow> quietWindow();
    void useEnglish(FPDoverARizMainWindow &window);
    QString appDir() const { return m_appDir->path(); }
    QString path(const QString &relative) const { return QDir(appDir()).filePath(relative); }

    std::unique_ptr<BenchFixture> m_bench;   // one bench for the whole run: laying it out takes a while
    std::unique_ptr<QTemporaryDir> m_appDir; // what lies beside the executable: cfg/, log/, tr/, manuals
    QString m_previousDir;
    std::atomic<qint64> m_clockOffset{0};
};

void TestMainWindow::initTestCase()
{
    m_bench = std::make_unique<BenchFixture>();
    QVERIFY(m_bench->isValid());
}

void TestMainWindow::cleanupTestCase()
{
    m_bench.reset();
}

void TestMainWindow::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    QVERIFY(QDir().mkpath(path(QStringLiteral("tr"))));
    const QDir catalogues(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr"));
    for (const QString &name : catalogues.entryList({QStringLiteral("*.qm")}, QDir::Files))
        QVERIFY(QFile::copy(catalogues.filePath(name), path(QStringLiteral("tr/") + name)));

    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(appDir())); // the settings file is relative to it, as beside the executable
    AppPaths::setAppDirForTesting(appDir());
    m_clockOffset = 0;
    Clock::setNowFunctionForTesting([this] { return StartTime.addMSecs(m_clockOffset); });
    MessageBoxes::takeRecords();
}

void TestMainWindow::cleanup()
{
    ManualViewer::setDesktopOpenerForTesting({});
    MessageBoxes::setUnattended(false);
    QVERIFY2(MessageBoxes::takeRecords().isEmpty(), "a message box was shown that the test did not look at");
    Clock::setNowFunctionForTesting({});
    AppPaths::setAppDirForTesting(QString());
    QDir::setCurrent(m_previousDir);
    m_appDir.reset();
}

std::unique_ptr<FPDoverARizMainWindow> TestMainWindow::quietWindow()
{
    auto window = std::make_unique<FPDoverARizMainWindow>();
    window->portScanner()->stop(true);
    QCoreApplication::processEvents(); // a first report already sent arrives now, not in the middle of a test
    return window;
}

void TestMainWindow::useEnglish(FPDoverARizMainWindow &window)
{
    child<QRadioButton>(window, "englishRadioBtn")->setChecked(true);
}

void TestMainWindow::startsWithoutPort()
{
    FPDoverARizMainWindow window;
    // The scanner's first pass reports the empty bench.
    QTRY_VERIFY(window.portScanner()->passCount() > 0);
    QCoreApplication::processEvents();
    QCOMPARE(window.stationState(), int(FPDoverARizMainWindow::StateNoPort));
    QCOMPARE(describe(buttonsOf(window)), describe({false, false, false, true, true}));
    useEnglish(window);
    QCOMPARE(child<QPushButton>(window, "portBtn")->text(), QStringLiteral("Port: (none)"));
    QCOMPARE(window.windowTitle(), EnglishTitle);

    // The log pane takes what the window grows by, so that a failure's reason does not scroll away at once.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *log = child<QTextEdit>(window, "logTextEdit");
    const int before = log->height();
    window.resize(window.width(), window.height() + 300);
    QTRY_VERIFY2(log->height() >= before + 250, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(log->height())));
}

void TestMainWindow::followsHandsetOnBench()
{
    FPDoverARizMainWindow window;
    useEnglish(window);
    auto *status = child<FPColorGraphicsView>(window, "graphicsViewStatus");

    QVERIFY(m_bench->plug(QStringLiteral("USB1")));
    const auto unplugged = qScopeGuard([this] {
        if (!Bench::imagePath(QStringLiteral("USB1")).isEmpty())
            m_bench->unplug(QStringLiteral("USB1")); // so that a failure here leaves the bench empty
    });
    QTRY_COMPARE(child<QPushButton>(window, "portBtn")->text(), QStringLiteral("Port: USB1"));
    QCOMPARE(window.settings().portName, QStringLiteral("USB1"));
    QCOMPARE(window.stationState(), int(FPDoverARizMainWindow::StateReady));
    QCOMPARE(describe(buttonsOf(window)), describe({true, true, false, true, true}));
    QCOMPARE(status->state(), int(FPColorGraphicsView::StateIdle));

    QVERIFY(m_bench->unplug(QStringLiteral("USB1")));
    m_clockOffset += PortScanWorker::ReprobeInterval + 1; // the next pass probes the port again
    QTRY_COMPARE(child<QPushButton>(window, "portBtn")->text(), QStringLiteral("Port: (none)"));
    QVERIFY(window.settings().portName.isEmpty());
    QCOMPARE(window.stationState(), int(FPDoverARizMainWindow::StateNoPort));
    QCOMPARE(describe(buttonsOf(window)), describe({false, false, false, true, true}));
    QCOMPARE(status->state(), int(FPColorGraphicsView::StateUnmount));
}

void TestMainWindow::stateTable_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("write");
    QTest::addColumn<bool>("read");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("portBtn");
    QTest::addColumn<bool>("setup");

    const QString usb = QStringLiteral("USB1");
    QTest::newRow("ready with port") << usb << 1 << 1 << true << true << false << true << true;
    QTest::newRow("ready without port is no port") << QString() << 1 << 0 << false << false << false << true << true;
    QTest::newRow("no port with port stays") << usb << 0 << 0 << false << false << false << true << true;
    QTest::newRow("busy with port") << usb << 2 << 2 << false << false << true << false << false;
    QTest::newRow("busy without port") << QString() << 2 << 2 << false << false << true << false << false;
    QTest::newRow("locked") << usb << 3 << 3 << false << false << false << false << false;
    // An unknown state leaves the buttons of the state before (ready with port).
    QTest::newRow("unknown changes nothing") << usb << 7 << 7 << true << true << false << true << true;
}

void TestMainWindow::stateTable()
{
    QFETCH(QString, port);
    QFETCH(int, state);
    QFETCH(int, expected);
    QFETCH(bool, write);
    QFETCH(bool, read);
    QFETCH(bool, stop);
    QFETCH(bool, portBtn);
    QFETCH(bool, setup);

    auto window = quietWindow();
    window->settings().portName = QStringLiteral("USB1");
    window->setStationState(FPDoverARizMainWindow::StateReady);
    window->settings().portName = port;
    window->setStationState(state);
    QCOMPARE(window->stationState(), expected);
    QCOMPARE(describe(buttonsOf(*window)), describe({write, read, stop, portBtn, setup}));
}

void TestMainWindow::portReports_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("panel");
    QTest::addColumn<bool>("readWording");

    QTest::newRow("none") << QStringList() << int(OpWrite) << "Port: (none)" << 0 << 0 << false;
    QTest::newRow("one") << QStringList{"USB3"} << int(OpWrite) << "Port: USB3" << 1 << 1 << false;
    QTest::newRow("first of several") << QStringList{"COM2", "COM7"} << int(OpWrite) << "Port: COM2" << 1 << 1 << false;
    QTest::newRow("empty first entry") << QStringList{"", "USB1"} << int(OpWrite) << "Port: (none)" << 0 << 0 << false;
    QTest::newRow("read mode wording") << QStringList{"USB1"} << int(OpRead) << "Port: USB1" << 1 << 1 << true;
}

void TestMainWindow::portReports()
{
    QFETCH(QStringList, ports);
    QFETCH(int, mode);
    QFETCH(QString, label);
    QFETCH(int, state);
    QFETCH(int, panel);
    QFETCH(bool, readWording);

    auto window = quietWindow();
    useEnglish(*window);
    window->settings().operationMode = mode;
    window->onPortScanned(ports);
    QCOMPARE(child<QPushButton>(*window, "portBtn")->text(), label);
    QCOMPARE(window->settings().portName, state ? ports.first() : QString());
    QCOMPARE(window->stationState(), state);
    auto *status = child<FPColorGraphicsView>(*window, "graphicsViewStatus");
    QCOMPARE(status->state(), panel);
    QCOMPARE(status->isWriteMode(), !readWording);

    // A language switch redraws the label from the port it keeps.
    child<QRadioButton>(*window, "chineseRadioBtn")->setChecked(true);
    useEnglish(*window);
    QCOMPARE(child<QPushButton>(*window, "portBtn")->text(), label);
}

void TestMainWindow::unplugClearsOperatorFields_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("cleared");

    QTest::newRow("write") << int(OpWrite) << true;
    QTest::newRow("read keeps what was read") << int(OpRead) << false;
}

void TestMainWindow::unplugClearsOperatorFields()
{
    QFETCH(int, mode);
    QFETCH(bool, cleared);

    auto window = quietWindow();
    ToolSettings &s = window->settings();
    s.RunType = RunImei | RunMbsn | RunBt;
    s.ImeiNum = 2;
    s.imeiInputTypes = {InputManual, InputCustom, InputManual, InputManual};
    s.MbsnInputType = InputManual;
    s.BTInputType = InputAutoGeneration;
    s.operationMode = mode;
    window->onPortScanned({QStringLiteral("USB1")});
    const QStringList fields = {"imei1LEdit", "imei2LEdit", "imei3LEdit", "mbsnLEdit", "psnLEdit", "BTLEdit"};
    for (const QString &name : fields)
        window->findChild<QLineEdit *>(name)->setText(QStringLiteral("123"));

    window->onPortScanned({});
    const QString gone = cleared ? QString() : QStringLiteral("123");
    QCOMPARE(child<QLineEdit>(*window, "imei1LEdit")->text(), gone); // operator-entered
    QCOMPARE(child<QLineEdit>(*window, "mbsnLEdit")->text(), gone);
    // Produced by the tool, beyond ImeiNum, or not in RunType: kept.
    QCOMPARE(child<QLineEdit>(*window, "imei2LEdit")->text(), QStringLiteral("123"));
    QCOMPARE(child<QLineEdit>(*window, "imei3LEdit")->text(), QStringLiteral("123"));
    QCOMPARE(child<QLineEdit>(*window, "psnLEdit")->text(), QStringLiteral("123"));
    QCOMPARE(child<QLineEdit>(*window, "BTLEdit")->text(), QStringLiteral("123"));
}

void TestMainWindow::languageSwitch_data()
{
    QTest::addColumn<QString>("switchTo");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("passLabel");
    QTest::addColumn<QString>("passAfterNextCycle");

    QTest::newRow("to English") << "English" << EnglishTitle << "PASS: 0"
                                << "PASS: 3";
    QTest::newRow("back to Chinese") << "Chinese" << ChineseTitle << QStringLiteral("通过: 0")
                                     << QStringLiteral("通过: 3");
}

void TestMainWindow::languageSwitch()
{
    QFETCH(QString, switchTo);
    QFETCH(QString, title);
    QFETCH(QString, passLabel);
    QFETCH(QString, passAfterNextCycle);

    auto window = quietWindow();
    QCOMPARE(window->windowTitle(), ChineseTitle); // the default language
    useEnglish(*window);
    window->updateCounters(true);
    window->updateCounters(true);
    window->updateCounters(false);
    QCOMPARE(child<QLabel>(*window, "lbPass")->text(), QStringLiteral("PASS: 2"));

    child<QRadioButton>(*window, switchTo == QLatin1String("English") ? "chineseRadioBtn" : "englishRadioBtn")
        ->setChecked(true);
    child<QRadioButton>(*window, switchTo == QLatin1String("English") ? "englishRadioBtn" : "chineseRadioBtn")
        ->setChecked(true);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->settings().language, switchTo);
    QCOMPARE(child<QLabel>(*window, "lbPass")->text(), passLabel);
    QVERIFY(child<QLabel>(*window, "lbTotal")->text().endsWith(QStringLiteral(": 0")));
    QVERIFY(child<QLabel>(*window, "lbRatio")->text().endsWith(QStringLiteral(": 0%")));
    // The labels were reset, not the counts.
    QCOMPARE(window->counters().passCount(), 2);
    QCOMPARE(window->counters().failCount(), 1);
    window->updateCounters(true);
    QCOMPARE(child<QLabel>(*window, "lbPass")->text(), passAfterNextCycle);
    QVERIFY(child<QLabel>(*window, "lbRatio")->text().endsWith(QStringLiteral(": 75%")));
}

void TestMainWindow::qtCatalogueLoads()
{
    if (!QFile::exists(path(QStringLiteral("tr/qt_zh_CN.qm"))))
        QSKIP("this system has no Qt Chinese catalogue");
    auto window = quietWindow();
    const char *context = "QPlatformTheme";
    QVERIFY(QCoreApplication::translate(context, "&Yes") != QLatin1String("&Yes"));
    useEnglish(*window);
    QCOMPARE(QCoreApplication::translate(context, "&Yes"), QStringLiteral("&Yes"));
}

void TestMainWindow::counters_data()
{
    QTest::addColumn<QString>("events"); // P write passed, F write failed, r read passed, R Reset button
    QTest::addColumn<int>("pass");
    QTest::addColumn<int>("fail");
    QTest::addColumn<int>("fpy");

    QTest::newRow("nothing yet") << "" << 0 << 0 << 0;
    QTest::newRow("first a fail") << "F" << 0 << 1 << 0;
    QTest::newRow("1 of 3") << "PFF" << 1 << 2 << 33;
    QTest::newRow("2 of 3 truncates") << "PPF" << 2 << 1 << 66;
    QTest::newRow("2 of 3 in another order") << "FPP" << 2 << 1 << 66;
    QTest::newRow("all pass") << "PPPP" << 4 << 0 << 100;
    QTest::newRow("reads are not counted") << "PrrFr" << 1 << 1 << 50;
    QTest::newRow("reset then a pass") << "PFFR" << 0 << 0 << 0;
    QTest::newRow("pass after reset") << "PFFRP" << 1 << 0 << 100;
    QTest::newRow("1 of 7") << "PFFFFFF" << 1 << 6 << 14;
}

void TestMainWindow::counters()
{
    QFETCH(QString, events);
    QFETCH(int, pass);
    QFETCH(int, fail);
    QFETCH(int, fpy);

    auto window = quietWindow();
    useEnglish(*window);
    ToolSettings &s = window->settings();
    for (const QChar event : events) {
        switch (event.toLatin1()) {
        case 'P':
        case 'F':
            s.operationMode = OpWrite;
            window->workerFinish(event == QLatin1Char('P'));
            break;
        case 'r':
            s.operationMode = OpRead;
            window->workerFinish(true);
            break;
        case 'R':
            QTest::mouseClick(child<QPushButton>(*window, "countBtn"), Qt::LeftButton);
            break;
        }
    }
    QCOMPARE(window->counters().passCount(), pass);
    QCOMPARE(window->counters().failCount(), fail);
    QCOMPARE(window->counters().fpy(), fpy);
    QCOMPARE(child<QLabel>(*window, "lbPass")->text(), QStringLiteral("PASS: %1").arg(pass));
    QCOMPARE(child<QLabel>(*window, "lbFail")->text(), QStringLiteral("FAIL: %1").arg(fail));
    QCOMPARE(child<QLabel>(*window, "lbTotal")->text(), QStringLiteral("Total: %1").arg(pass + fail));
    QCOMPARE(child<QLabel>(*window, "lbRatio")->text(), QStringLiteral("FPY: %1%").arg(fpy));
}

void TestMainWindow::logLines_data()
{
    QTest::addColumn<QColor>("fg");
    QTest::addColumn<QColor>("bg");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");

    using W = FPDoverARizWorker;
    QTest::newRow("error") << W::ErrorFg << W::ErrorBg << "The version cann't be empty!" << false;
    QTest::newRow("pass is bold") << W::PassFg << W::PassBg << "Reading is successful!" << true;
    QTest::newRow("warning") << W::WarningFg << W::WarningBg << "PSN value is empty !" << false;
    QTest::newRow("info") << W::InfoFg << W::InfoBg << "MBSN: 0123 " << false;
    QTest::newRow("progress") << W::ProgressFg << W::ProgressBg << "Stop ..." << false;
    QTest::newRow("several lines") << W::InfoFg << W::InfoBg << "IMEI1: 1 \nIMEI2: 2 \nIMEI3: 3 " << false;
    QTest::newRow("several pass lines") << W::PassFg << W::PassBg << "Version read successful!\nW1" << true;
}

void TestMainWindow::logLines()
{
    QFETCH(QColor, fg);
    QFETCH(QColor, bg);
    QFETCH(QString, text);
    QFETCH(bool, bold);

    auto window = quietWindow();
    auto *log = child<QTextEdit>(*window, "logTextEdit");
    QVERIFY(log->isReadOnly());
    window->clearWorkerLog();
    window->workerStatus(QStringLiteral("before"), Qt::red, Qt::lightGray);
    window->workerStatus(text, fg, bg);
    QCOMPARE(log->textColor(), bg); // what follows the line takes its second colour
    window->workerStatus(QStringLiteral("after"), Qt::red, Qt::lightGray);

    const QStringList lines = text.split(QLatin1Char('\n'));
    QTextDocument *doc = log->document();
    QCOMPARE(doc->blockCount(), lines.size() + 2);
    for (int i = 0; i < lines.size(); ++i) {
        const QTextBlock block = doc->findBlockByNumber(i + 1);
        QCOMPARE(block.text(), lines[i]);
        const QTextCharFormat format = block.begin().fragment().charFormat();
        QCOMPARE(format.foreground().color(), fg);
        QCOMPARE(format.fontWeight() >= QFont::Bold, bold);
    }
    const QTextCharFormat after = doc->lastBlock().begin().fragment().charFormat();
    QCOMPARE(after.foreground().color(), QColor(Qt::red));
    QVERIFY(after.fontWeight() < QFont::Bold);
    QCOMPARE(log->textCursor().position(), doc->characterCount() - 1); // scrolled to the end
}

void TestMainWindow::logFile_data()
{
    QTest::addColumn<QByteArray>("earlierRun"); // content the file of a run in the same second already has
    QTest::addColumn<bool>("logIsFile");        // log/ cannot be made a directory
    QTest::addColumn<bool>("opened");

    QTest::newRow("fresh") << QByteArray() << false << true;
    QTest::newRow("same second as an earlier run")
        << QByteArray("IMEI 861234567890120 is adjusted to 861234567890126\n") << false << true;
    QTest::newRow("log directory cannot be made") << QByteArray() << true << false;
}

void TestMainWindow::logFile()
{
    QFETCH(QByteArray, earlierRun);
    QFETCH(bool, logIsFile);
    QFETCH(bool, opened);

    const QString name = path(QStringLiteral("log/doverariz.2016-09-13-08-05-59.log"));
    if (logIsFile) {
        QVERIFY(writeFile(path(QStringLiteral("log")), "not a directory"));
    } else if (!earlierRun.isEmpty()) {
        QVERIFY(QDir().mkpath(path(QStringLiteral("log"))));
        QVERIFY(writeFile(name, earlierRun));
    }

    auto window = quietWindow();
    QCOMPARE(window->imeiLog() != nullptr, opened);
    if (!opened) {
        QVERIFY(window->imeiLogFileName().isEmpty());
        return; // and no message: cleanup() checks that no box was shown
    }
    QCOMPARE(QFileInfo(window->imeiLogFileName()).absoluteFilePath(), QFileInfo(name).absoluteFilePath());
    QCOMPARE(readAll(name), QString::fromLatin1(earlierRun)); // nothing of its own: no header, no time stamp

    const QByteArray line("IMEI 354000000000001 is adjusted to 354000000000002\n");
    QCOMPARE(window->imeiLog()->write(line), qint64(line.size()));
    window.reset();
    QCOMPARE(readAll(name), QString::fromLatin1(earlierRun + line));
}

void TestMainWindow::closeConfirmation_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("closed");

    QTest::newRow("no") << int(QMessageBox::No) << false << false;
    QTest::newRow("no while busy") << int(QMessageBox::No) << true << false;
    QTest::newRow("yes") << int(QMessageBox::Yes) << false << true;
    QTest::newRow("yes while busy stops the cycle") << int(QMessageBox::Yes) << true << true;
}

void TestMainWindow::closeConfirmation()
{
    QFETCH(int, answer);
    QFETCH(bool, busy);
    QFETCH(bool, closed);

    auto window = quietWindow();
    useEnglish(*window);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->onPortScanned({QStringLiteral("USB1")});
    if (busy)
        window->setStationState(FPDoverARizMainWindow::StateBusy);
    child<QLineEdit>(*window, "versionLEdit")->setText(QStringLiteral("W25.10.7"));

    MessageBoxes::setNextAnswer(QMessageBox::StandardButton(answer));
    QTest::mouseClick(child<QPushButton>(*window, "exitBtn"), Qt::LeftButton);

    const auto boxes = MessageBoxes::takeRecords();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].icon, QMessageBox::Question);
    QCOMPARE(boxes[0].title, QStringLiteral("Close Confirmation?"));
    QCOMPARE(boxes[0].text, QStringLiteral("Are you sure you want to exit?"));
    QCOMPARE(window->isVisible(), !closed);
    const int stateAfter = busy && !closed ? FPDoverARizMainWindow::StateBusy : FPDoverARizMainWindow::StateReady;
    QCOMPARE(window->stationState(), stateAfter);
    // Saved before asking, whatever the answer.
    QVERIFY(readAll(path(QStringLiteral("cfg/ImeiSN.ini"))).contains(QStringLiteral("W25.10.7")));

    // The adjustment log stays open and written through to the file whatever the answer.
    QVERIFY(window->imeiLog());
    const QByteArray line("IMEI 354000000000001 is adjusted to 354000000000002\n");
    QCOMPARE(window->imeiLog()->write(line), qint64(line.size()));
    QVERIFY(static_cast<QFile *>(window->imeiLog())->flush());
    QCOMPARE(readAll(window->imeiLogFileName()), QString::fromLatin1(line));
}

void TestMainWindow::manuals_data()
{
    QTest::addColumn<bool>("f1"); // the F1 key, else the Help action
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("viewer");   // "named", "desktop" or "none"
    QTest::addColumn<QString>("document"); // the manual to put in place; empty for none
    QTest::addColumn<QString>("opened");   // the manual expected to open; empty when a warning is expected
    QTest::addColumn<QString>("warning");

    const QString cn = QStringLiteral("DOC/DOVER_ARIZ_TOOL_USERGUIDE.pdf");
    const QString en = QStringLiteral("DOC/DOVER_ARIZ_TOOL_USERGUIDE_en.pdf");
    const QString key = QStringLiteral("doc/dover_ariz_tool_manual_cn.pdf");
    QTest::newRow("help, chinese") << false << false << "named" << cn << cn << "";
    QTest::newRow("help, english") << false << true << "named" << en << en << "";
    QTest::newRow("F1 is the chinese manual whatever the language") << true << true << "named" << key << key << "";
    QTest::newRow("help through the desktop") << false << false << "desktop" << cn << cn << "";
    QTest::newRow("F1 through the desktop") << true << false << "desktop" << key << key << "";
    // The boxes name what is missing and where (%1: the application directory), in the system's spelling of a path.
    const auto native = [](const QString &relative) {
        return QDir::toNativeSeparators(QStringLiteral("%1/") + relative);
    };
    const QString noViewer = QStringLiteral("No PDF viewer was found to open the manual %1: there is no "
                                            "%2 beside the tool, and the desktop has no program "
                                            "for PDF files. Install a PDF viewer.");
    const QString noViewerZh = QStringLiteral("找不到可以打开手册 %1 的 PDF 阅读器：工具旁边没有 %2，"
                                              "桌面也没有打开 PDF 文件的程序。请安装一个 PDF 阅读器。");
    const QString viewerPath = native(QStringLiteral("FoxitReader.exe"));
    QTest::newRow("help, no viewer") << false << false << "none" << cn << "" << noViewerZh.arg(native(cn), viewerPath);
    QTest::newRow("help, English, no viewer")
        << false << true << "none" << en << "" << noViewer.arg(native(en), viewerPath);
    QTest::newRow("F1, no viewer") << true << false << "none" << key << "" << noViewerZh.arg(native(key), viewerPath);
    QTest::newRow("help, manual missing")
        << false << true << "named"
        << ""
        << ""
        << QStringLiteral("The manual DOVER_ARIZ_TOOL_USERGUIDE_en.pdf was not found in %1. Reinstall the tool, or "
                          "put the manual there.")
               .arg(native(QStringLiteral("DOC")));
    QTest::newRow("F1, manual missing") << true << false << "desktop"
                                        << ""
                                        << ""
                                        << QStringLiteral("在 %1 中找不到手册 dover_ariz_tool_manual_cn.pdf。"
                                                          "请重新安装工具，或把手册放到该位置。")
                                               .arg(native(QStringLiteral("doc")));
}

void TestMainWindow::manuals()
{
    QFETCH(bool, f1);
    QFETCH(bool, english);
    QFETCH(QString, viewer);
    QFETCH(QString, document);
    QFETCH(QString, opened);
    QFETCH(QString, warning);

    const QString argsFile = path(QStringLiteral("viewer.args"));
    if (viewer == QLatin1String("named")) {
        // A stand-in viewer that notes the document it was asked to show.
        QVERIFY(writeFile(path(QStringLiteral("FoxitReader.exe")),
                          "#!/bin/sh\nprintf '%s' \"$1\" > \"${0%/*}/viewer.args.tmp\" && "
                          "mv \"${0%/*}/viewer.args.tmp\" \"${0%/*}/viewer.args\"\n"));
        QVERIFY(QFile::setPermissions(path(QStringLiteral("FoxitReader.exe")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QString desktopOpened;
    ManualViewer::setDesktopOpenerForTesting([&](const QUrl &url) {
        if (viewer == QLatin1String("none"))
            return false;
        desktopOpened = url.toLocalFile();
        return true;
    });
    if (!document.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(path(document)).absolutePath()));
        QVERIFY(writeFile(path(document), "%PDF-1.4\n"));
    }

    auto window = quietWindow();
    if (english)
        useEnglish(*window);
    if (!warning.isEmpty())
        MessageBoxes::setNextAnswer(QMessageBox::Ok);
    if (f1)
        QTest::keyRelease(window.get(), Qt::Key_F1);
    else
        window->findChild<QAction *>(QStringLiteral("helpAction"))->trigger();

    const auto boxes = MessageBoxes::takeRecords();
    if (!warning.isEmpty()) {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].title, english ? QStringLiteral("Warning") : QStringLiteral("警告"));
        warning.replace(QLatin1String("%1"), QDir::toNativeSeparators(appDir()));
        QCOMPARE(boxes[0].text, warning);
        QVERIFY(desktopOpened.isEmpty());
        QVERIFY(!QFile::exists(argsFile));
        return;
    }
    QCOMPARE(boxes.size(), 0);
    if (viewer == QLatin1String("named")) {
        QTRY_VERIFY(QFile::exists(argsFile));
        QCOMPARE(QFileInfo(readAll(argsFile)).absoluteFilePath(), QFileInfo(path(opened)).absoluteFilePath());
    } else {
        QCOMPARE(QFileInfo(desktopOpened).absoluteFilePath(), QFileInfo(path(opened)).absoluteFilePath());
    }
}

void TestMainWindow::destroyedInTheMiddleOfACycle()
{
    QVERIFY(m_bench->plug(QStringLiteral("USB1")));
    const QByteArray scale = qgetenv("TGTLINK_DELAY_SCALE");
    const auto restore = qScopeGuard([&] {
        qputenv("TGTLINK_DELAY_SCALE", scale);
        m_bench->unplug(QStringLiteral("USB1"));
    });
    qputenv("TGTLINK_DELAY_SCALE", "1");
    QString error;
    QVERIFY2(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("connect"), 300, &error), qPrintable(error));

    auto window = quietWindow();
    window->worker()->setPauseFunction([](int) { QThread::msleep(1); });
    window->settings().portName = QStringLiteral("USB1");
    window->settings().operationMode = OpRead;
    emit window->startWorker();
    QTRY_VERIFY(window->worker()->isRunning());

    // The destructor stops the cycle and ends the worker's thread; nothing hangs and nothing leaks.
    QElapsedTimer timer;
    timer.start();
    window.reset();
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"

void TestMainWindow::unusableSettingsFile_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("problem"); // empty: the file is usable
    const QByteArray good("[ImeiSN]\nlanguage=English\nImeiCheckRepetitive=true\nImeiSave=true\n");
    QTest::newRow("usable") << good << QString();
    QTest::newRow("group without its bracket") << good + "[Other\n" << QStringLiteral("line 5");
    QTest::newRow("line without =") << good + "ImeiMaxNum\n" << QStringLiteral("line 5");
}

// A settings file that cannot be used is named in an Error box at start; Write stays disabled (Read does not);
// closing says in the log pane that the settings were not saved, and the file is left as it was.
void TestMainWindow::unusableSettingsFile()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, problem);
    const bool usable = problem.isEmpty();
    QVERIFY(QDir().mkpath(path(QStringLiteral("cfg"))));
    QVERIFY(writeFile(path(QStringLiteral("cfg/ImeiSN.ini")), body));
    MessageBoxes::setUnattended(true);
    {
        auto window = quietWindow();
        // A line of the window in the language it started with (Chinese: the file that would say English is not read).
        const auto says = [&window, this](const char *text, const char *context = "FPDoverARizMainWindow") {
            return QCoreApplication::translate(context, text)
                .arg(QDir::toNativeSeparators(path(QStringLiteral("cfg/ImeiSN.ini"))),
                     window->settings().fileProblem());
        };
        const QList<MessageBoxes::Record> boxes = MessageBoxes::takeRecords();
        QCOMPARE(boxes.size(), usable ? 0 : 1);
        if (!usable) {
            QCOMPARE(boxes[0].icon, QMessageBox::Critical);
            QCOMPARE(boxes[0].title, QCoreApplication::translate("FPDoverARizMainWindow", "Error")); // Chinese
            QVERIFY2(boxes[0].text.contains(QDir::toNativeSeparators(path(QStringLiteral("cfg/ImeiSN.ini")))) &&
                         boxes[0].text.contains(problem),
                     qPrintable(boxes[0].text));
        }
        window->onPortScanned({QStringLiteral("USB1")});
        QCOMPARE(describe(buttonsOf(*window)), describe({usable, true, false, true, true}));
        if (!usable) {
            window->onWrite(); // as a scanner's Return on the last field asks for it
            QCOMPARE(window->stationState(), int(FPDoverARizMainWindow::StateReady));
            QVERIFY(child<QTextEdit>(*window, "logTextEdit")
                        ->toPlainText()
                        .contains(says("Write is disabled: the settings file %1 cannot be used: %2", "StationCycle")));
        }

        window->close(); // unattended: the confirmation keeps the window
        MessageBoxes::takeRecords();
        const QString log = child<QTextEdit>(*window, "logTextEdit")->toPlainText();
        QCOMPARE(log.contains(says("The settings could not be saved to %1: %2")), !usable);
    }
    QFile file(path(QStringLiteral("cfg/ImeiSN.ini")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray after = file.readAll();
    if (usable)
        QVERIFY(after.contains("StartDelay=3000") && after.contains("ImeiSave=true"));
    else
        QCOMPARE(after, body);
}
