// The window as the operator drives it: identity fields typed, pasted and scanned, the Return chain, the
// refusals, and Write, Read and Stop with the worker on bench handsets.
#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "device/FPDoverARizWorker.h"
#include "history/HistoryFiles.h"
#include "history/StationHistories.h"
#include "ports/PortScanWorker.h"
#include "shell/FPColorGraphicsView.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/FPDoverARizSettingDlg.h"
#include "shell/MessageBoxes.h"

#include "BenchFaults.h"
#include "support/BenchFixture.h"
#include "tgtlink/DeviceBackend.h"
#include "tgtlink/TargetError.h"

#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <memory>

#ifndef DOVERARIZ_SOURCE_DIR
#error "DOVERARIZ_SOURCE_DIR names the source tree, for the demo configuration"
#endif
#ifndef EMULATOR_EXE
#error "EMULATOR_EXE names the handset emulator, a handset on a serial line"
#endif

namespace {
using Ini = QMap<QString, QString>;

const QStringList Imeis = {QStringLiteral("490154203237518"), QStringLiteral("356938035643809"),
                           QStringLiteral("352099001761481"), QStringLiteral("012345678901237")};
const QString Mbsn = QStringLiteral("MB2026120800001AB");
const QString Psn = QStringLiteral("PSN00000000000000042");
const QString Bt = QStringLiteral("0a1b2c3d4e5f");
const char *const ImeiFields[] = {"imei1LEdit", "imei2LEdit", "imei3LEdit", "imei4LEdit"};

template <typename T> T *child(QWidget &window, const QString &name)
{
    T *widget = window.findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", qPrintable(name));
    return widget;
}

QLineEdit *field(QWidget &w, const QString &name)
{
    return child<QLineEdit>(w, name);
}

QString logText(QWidget &w)
{
    return child<QTextEdit>(w, QStringLiteral("logTextEdit"))->toPlainText();
}

QString lastLogLine(QWidget &w)
{
    const QStringList lines = logText(w).split(u'\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.last();
}

// The operator types into the field that holds the focus, as a keyboard-wedge scanner does.
void scan(QWidget &window, const QString &value, bool trailingReturn)
{
    QWidget *target = window.focusWidget();
    QVERIFY2(target, "no field has the focus");
    QTest::keyClicks(target, value);
    if (trailingReturn)
        QTest::keyClick(window.focusWidget(), Qt::Key_Return);
}

// Settings of a station where the operator enters `manual` (IMEIs by number, then "MBSN", "PSN", "BT") and
// the tool produces nothing else: the other kinds are off.
Ini manualStation(int imeiNum, bool mbsn, bool psn, bool bt)
{
    int runType = RunImei;
    if (mbsn)
        runType |= RunMbsn;
    if (psn)
        runType |= RunPsn;
    if (bt)
        runType |= RunBt;
    return {{"RunType", QString::number(runType)},
            {"ImeiNum", QString::number(imeiNum)},
            {"StartDelay", "600000"}, // the chain's write is seen before any cycle starts
            {"language", "English"}};
}

Ini automaticStation()
{
    return {{"RunType", "15"},
            {"ImeiNum", "2"},
            {"Imei1InputType", "4"},
            {"Imei2InputType", "4"},
            {"Imei3InputType", "4"},
            {"Imei4InputType", "4"},
            {"ImeiInitNum14", "35693803560000"},
            {"ImeiMaskNum14", "3569380356****"},
            {"ImeiMaxNum", "100"},
            {"ImeiSave", "true"},
            {"ImeiCheckRepetitive", "true"},
            {"MbsnInputType", "5"},
            {"MbsnSave", "true"},
            {"PsnInputType", "5"},
            {"PsnSave", "true"},
            {"BTInputType", "5"},
            {"BTIsAutoAddr", "true"},
            {"BTSave", "true"},
            {"BTCheckRepetitive", "true"},
            {"StartDelay", "0"},
            {"language", "English"}};
}
} // namespace

class TestCycleControl final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void keystrokeFilter_data();
    void keystrokeFilter();
    void returnChain_data();
    void returnChain();
    void refusals_data();
    void refusals();
    void setCheckAtWrite();
    void fieldConfiguration_data();
    void fieldConfiguration();

    void versionStep_data();
    void versionStep();
    void writeThenReadBack();
    void writeOverTheSerialLine();
    void demoConfigurationWrites();
    void continuousProduction();
    void failedCycle_data();
    void failedCycle();
    void stop_data();
    void stop();
    void repeatedWriteTest_data();
    void repeatedWriteTest();
    void typedWriteMarksStationAfterRead();
    void closingDuringWriteStopsIt();
    void labelsBelongToTheirHandset_data();
    void labelsBelongToTheirHandset();
    void nothingBurnt_data();
    void nothingBurnt();
    void busyThroughTheStartDelay();

private:
    std::unique_ptr<FPDoverARizMainWindow> window(const Ini &ini);
    QString path(const QString &relative) const { return QDir(m_appDir->path()).filePath(relative); }
    // Runs the cycle on the worker's thread to its end: the window has handled the worker's last report. Waits
    // `rounds` times 10 ms at most.
    bool waitForCycleEnd(FPDoverARizMainWindow &w, const std::function<void()> &start = {}, int rounds = 500);

    std::unique_ptr<BenchFixture> m_bench;
    std::unique_ptr<QTemporaryDir> m_appDir;
    QString m_previousDir;
};

void TestCycleControl::initTestCase()
{
    m_bench = std::make_unique<BenchFixture>();
    QVERIFY(m_bench->isValid());
}

void TestCycleControl::cleanupTestCase()
{
    m_bench.reset();
}

void TestCycleControl::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_appDir->path()));
    AppPaths::setAppDirForTesting(m_appDir->path());
    // The RAM-run images lie beside the executable.
    QVERIFY(
        QFile::link(QDir(m_bench->runtimeDir()).filePath(QStringLiteral("ramrun")), path(QStringLiteral("ramrun"))));
    MessageBoxes::takeRecords();
    for (const QString &port : Bench::ports())
        m_bench->unplug(port);
}

void TestCycleControl::cleanup()
{
    MessageBoxes::setUnattended(false);
    QVERIFY2(MessageBoxes::takeRecords().isEmpty(), "a message box was shown that the test did not look at");
    AppPaths::setAppDirForTesting(QString());
    QDir::setCurrent(m_previousDir);
    m_appDir.reset();
    for (const QString &port : Bench::ports())
        m_bench->unplug(port);
}

std::unique_ptr<FPDoverARizMainWindow> TestCycleControl::window(const Ini &ini)
{
    QDir().mkpath(path(QStringLiteral("cfg")));
    {
        QSettings file(path(QStringLiteral("cfg/ImeiSN.ini")), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("ImeiSN"));
        for (auto it = ini.cbegin(); it != ini.cend(); ++it)
            file.setValue(it.key(), it.value());
        file.endGroup();
    }
    auto w = std::make_unique<FPDoverARizMainWindow>();
    w->portScanner()->stop(true);
    QCoreApplication::processEvents();
    w->worker()->setPauseFunction([](int) {}); // the worker's fixed pauses and the stop polls
    child<QRadioButton>(*w, QStringLiteral("englishRadioBtn"))->setChecked(true);
    return w;
}

bool TestCycleControl::waitForCycleEnd(FPDoverARizMainWindow &w, const std::function<void()> &start, int rounds)
{
    QSignalSpy ended(w.worker(), &FPDoverARizWorker::setWRStatus);
    if (start)
        start();
    for (int i = 0; i < rounds; ++i) {
        for (const QList<QVariant> &args : std::as_const(ended)) {
            if (args.at(0).toInt() != 2) {
                QTest::qWait(20); // the reports queued behind it
                return !w.worker()->isRunning();
            }
        }
        QTest::qWait(10);
    }
    return false;
}

void TestCycleControl::keystrokeFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("advanced");

    QTest::newRow("letters typed") << "35a69-b3"
                                   << ""
                                   << "35693" << false;
    QTest::newRow("full length typed") << Imeis[0] << "" << Imeis[0] << true;
    QTest::newRow("pasted with dashes") << ""
                                        << "4901-5420-3237-518" << Imeis[0] << true;
    QTest::newRow("pasted letters only") << "12"
                                         << "abc"
                                         << "12" << false;
    QTest::newRow("digits beyond the length") << Imeis[0] + "99"
                                              << "" << Imeis[0] << true;
}

void TestCycleControl::keystrokeFilter()
{
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, expected);
    QFETCH(bool, advanced);
    auto w = window(manualStation(2, false, false, false));
    QLineEdit *imei1 = field(*w, "imei1LEdit");
    QCOMPARE(w->focusWidget(), imei1);
    QTest::keyClicks(imei1, typed);
    if (!pasted.isEmpty()) {
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keySequence(imei1, QKeySequence::Paste);
    }
    QCOMPARE(imei1->text(), expected);
    // A full, valid IMEI 1 moves on to IMEI 2 by itself.
    QCOMPARE(w->focusWidget() == field(*w, "imei2LEdit"), advanced);
}

void TestCycleControl::returnChain_data()
{
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<QVector<int>>("imeiTypes");
    QTest::addColumn<bool>("mbsn");
    QTest::addColumn<bool>("psn");
    QTest::addColumn<bool>("bt");
    QTest::addColumn<bool>("trailingReturn");

    for (int imeiNum = 1; imeiNum <= 4; ++imeiNum) {
        for (int serials = 0; serials < 8; ++serials) {
            for (bool trailing : {false, true}) {
                const bool mbsn = serials & 1, psn = serials & 2, bt = serials & 4;
                QTest::addRow("imei %d mbsn %d psn %d bt %d return %d", imeiNum, mbsn, psn, bt, trailing)
                    << imeiNum << QVector<int>{0, 0, 0, 0} << mbsn << psn << bt << trailing;
            }
        }
    }
    // IMEIs after the first produced by the tool (the previous one plus 2): the operator scans only IMEI 1.
    QTest::newRow("step imeis, scanned mbsn") << 3 << QVector<int>{0, 2, 2, 2} << true << false << false << true;
    QTest::newRow("typed, step, typed") << 3 << QVector<int>{0, 2, 0, 0} << false << false << true << false;
}

void TestCycleControl::returnChain()
{
    QFETCH(int, imeiNum);
    QFETCH(QVector<int>, imeiTypes);
    QFETCH(bool, mbsn);
    QFETCH(bool, psn);
    QFETCH(bool, bt);
    QFETCH(bool, trailingReturn);

    Ini ini = manualStation(imeiNum, mbsn, psn, bt);
    for (int i = 0; i < 4; ++i)
        ini.insert(QStringLiteral("Imei%1InputType").arg(i + 1), QString::number(imeiTypes[i]));
    auto w = window(ini);
    w->onPortScanned({QStringLiteral("USB1")});
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateReady));

    // The fields the operator fills, in order, with what the scanner types.
    QList<QPair<QString, QString>> steps;
    for (int i = 0; i < imeiNum; ++i) {
        if (imeiTypes[i] == InputManual)
            steps.append({ImeiFields[i], Imeis[i]});
    }
    if (mbsn)
        steps.append({"mbsnLEdit", Mbsn});
    if (psn)
        steps.append({"psnLEdit", Psn});
    if (bt)
        steps.append({"BTLEdit", Bt});

    for (int k = 0; k < steps.size(); ++k) {
        QCOMPARE(w->focusWidget()->objectName(), steps[k].first);
        QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateReady));
        scan(*w, steps[k].second, trailingReturn);
    }
    // The last accepted field started the write with what was scanned.
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateBusy));
    const ToolSettings &s = w->settings();
    for (int i = 0; i < imeiNum; ++i) {
        if (imeiTypes[i] == InputManual)
            QCOMPARE(s.imeiList.value(i), Imeis[i]);
        else
            QCOMPARE(s.imeiList.value(i).size(), 15); // produced from the one before
    }
    QCOMPARE(s.currentMbsn, mbsn ? Mbsn : QString());
    QCOMPARE(s.currentPsn, psn ? Psn : QString());
    QCOMPARE(s.currentBt, bt ? Bt : QString());
    const QString log = logText(*w);
    QVERIFY2(!log.contains(QLatin1String("invalid")) && !log.contains(QLatin1String("repeated")) &&
                 !log.contains(QLatin1String("not enough")),
             qPrintable(log));
}

void TestCycleControl::refusals_data()
{
    QTest::addColumn<Ini>("extra");
    QTest::addColumn<QString>("history"); // recorded before the window starts: "kind value"
    QTest::addColumn<QString>("before");  // IMEI 1 scanned first, when not empty
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("selected");

    const Ini none;
    const Ini repetitive{{"ImeiCheckRepetitive", "true"}};
    QTest::newRow("wrong check digit") << none << ""
                                       << ""
                                       << "imei1LEdit"
                                       << "490154203237519"
                                       << "IMEI1 is invalid,you can use 490154203237518" << true;
    QTest::newRow("imei2 wrong check digit") << none << "" << Imeis[0] << "imei2LEdit"
                                             << "356938035643800"
                                             << "IMEI2 is invalid,you can use 356938035643809" << true;
    QTest::newRow("imei2 equal to imei1")
        << repetitive << "" << Imeis[0] << "imei2LEdit" << Imeis[0] << "IMEI2 is repeated with the previous!" << true;
    QTest::newRow("imei1 in the history") << repetitive << "imei " + Imeis[0] << ""
                                          << "imei1LEdit" << Imeis[0] << "IMEI1 is repeated with the previous!" << true;
    const Ini mbsnCheck{{"MbsnCheckRepetitive", "true"}, {"Mbsnlen", "5"}};
    QTest::newRow("mbsn with a blank") << mbsnCheck << "" << Imeis[0] << "mbsnLEdit"
                                       << "AB CD"
                                       << "MBSN is invalid" << true;
    QTest::newRow("mbsn in the history") << mbsnCheck << "mbsn ABCDE" << Imeis[0] << "mbsnLEdit"
                                         << "ABCDE"
                                         << "MBSN is repeated with prev" << true;
    const Ini psnCheck{{"PsnCheckRepetitive", "true"}, {"Psnlen", "6"}};
    QTest::newRow("psn with a blank") << psnCheck << "" << Imeis[0] << "psnLEdit"
                                      << "PS 001"
                                      << "PSN is invalid" << true;
    QTest::newRow("psn in the history") << psnCheck << "psn PS0001" << Imeis[0] << "psnLEdit"
                                        << "PS0001"
                                        << "PSN is repeated with prev" << true;
    const Ini btCheck{{"BTCheckRepetitive", "true"}};
    QTest::newRow("bt in the history") << btCheck << "bt " + Bt << Imeis[0] << "BTLEdit" << Bt
                                       << "Bluetooth is repeated with previous!" << true;
    QTest::newRow("bt in the history, scanned in upper case")
        << btCheck << "bt " + Bt << Imeis[0] << "BTLEdit" << Bt.toUpper() << "Bluetooth is repeated with previous!"
        << true;
}

void TestCycleControl::refusals()
{
    QFETCH(Ini, extra);
    QFETCH(QString, history);
    QFETCH(QString, before);
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(QString, line);
    QFETCH(bool, selected);

    if (!history.isEmpty()) {
        const QString kind = history.section(u' ', 0, 0);
        const QString value = history.section(u' ', 1);
        QDir().mkpath(path(QStringLiteral("cfg")));
        QFile file(path(QStringLiteral("cfg/%1_history.data").arg(kind)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray record = kind == QLatin1String("imei")
                                      ? QByteArray("2016-09-13 08:05:59," + value.toLatin1() + "\n")
                                      : QByteArray(value.toLatin1() + "\n");
        QVERIFY(file.write(record) == record.size());
    }
    Ini ini = manualStation(2, true, true, true);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        ini.insert(it.key(), it.value());
    auto w = window(ini);
    w->onPortScanned({QStringLiteral("USB1")});
    if (!before.isEmpty())
        scan(*w, before, false);
    QLineEdit *edit = field(*w, target);
    edit->setFocus();
    edit->setText(text); // as typed; what the validators let through is the keystroke tests' business
    QMetaObject::invokeMethod(edit, "returnPressed");
    QCOMPARE(lastLogLine(*w), line);
    // The refusal's first error line stays in sight under the panel while the log scrolls on.
    const QString firstError = child<QLabel>(*w, "firstErrorLabel")->toolTip();
    QVERIFY2(!firstError.isEmpty() && logText(*w).contains(firstError), qPrintable(firstError));
    QCOMPARE(w->focusWidget(), edit);
    QCOMPARE(edit->selectedText(), selected ? text : QString());
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateReady)); // no write
    QVERIFY(w->settings().imeiList.isEmpty());
}

// IMEI 2 equal to IMEI 1 passes its Return without the repetition check, but never the set check of Write.
void TestCycleControl::setCheckAtWrite()
{
    auto w = window(manualStation(2, false, false, false));
    w->onPortScanned({QStringLiteral("USB1")});
    scan(*w, Imeis[0], false);
    scan(*w, Imeis[0], false);
    QCOMPARE(lastLogLine(*w), QStringLiteral("IMEI2 has repeated with previous IMEI"));
    QCOMPARE(w->focusWidget()->objectName(), QStringLiteral("imei2LEdit"));
    QVERIFY(w->settings().imeiList.isEmpty() || w->settings().isIdentityMissing());
    // The failed preparation stopped the cycle.
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateReady));
}

void TestCycleControl::fieldConfiguration_data()
{
    QTest::addColumn<Ini>("ini");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QString>("firstFocus");
    QTest::addColumn<int>("imeiNum");

    QTest::newRow("defaults") << Ini{} << QStringList{"imei1LEdit", "imei2LEdit", "mbsnLEdit", "psnLEdit", "BTLEdit"}
                              << "imei1LEdit" << 2;
    QTest::newRow("ImeiNum 5 is 1") << Ini{{"ImeiNum", "5"}, {"RunType", "1"}} << QStringList{"imei1LEdit"}
                                    << "imei1LEdit" << 1;
    QTest::newRow("ImeiNum 0 is 1") << Ini{{"ImeiNum", "0"}, {"RunType", "1"}} << QStringList{"imei1LEdit"}
                                    << "imei1LEdit" << 1;
    QTest::newRow("four imeis, bt") << Ini{{"ImeiNum", "4"}, {"RunType", "9"}}
                                    << QStringList{"imei1LEdit", "imei2LEdit", "imei3LEdit", "imei4LEdit", "BTLEdit"}
                                    << "imei1LEdit" << 4;
    QTest::newRow("automatic imeis, typed psn")
        << Ini{{"RunType", "5"}, {"Imei1InputType", "4"}, {"Imei2InputType", "4"}}
        << QStringList{"imei1LEdit", "imei2LEdit", "psnLEdit"} << "psnLEdit" << 2;
    QTest::newRow("version check") << Ini{{"RunType", "17"}, {"ImeiNum", "1"}}
                                   << QStringList{"versionLEdit", "imei1LEdit"} << "imei1LEdit" << 1;
}

void TestCycleControl::fieldConfiguration()
{
    QFETCH(Ini, ini);
    QFETCH(QStringList, enabled);
    QFETCH(QString, firstFocus);
    auto w = window(ini);
    for (const char *name :
         {"versionLEdit", "imei1LEdit", "imei2LEdit", "imei3LEdit", "imei4LEdit", "mbsnLEdit", "psnLEdit", "BTLEdit"})
        QVERIFY2(field(*w, name)->isEnabled() == enabled.contains(name), qPrintable(name));
    QFETCH(int, imeiNum);
    QCOMPARE(w->focusWidget()->objectName(), firstFocus);
    QCOMPARE(w->settings().ImeiNum, imeiNum);
}

void TestCycleControl::versionStep_data()
{
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("line");

    QTest::newRow("write, empty") << false << "" << 1 << "The version cann't be empty!";
    QTest::newRow("read, empty: filled from the handset") << true << "" << 2 << "Version is W25.10.1_BENCH in flash!";
    QTest::newRow("write, matching") << false << "W25.10.1_BENCH" << 2 << "had  been successfully written to flash!";
    QTest::newRow("write, other version")
        << false << "W99" << 1 << "The version does not match, its value is W25.10.1_BENCH in flash !";
}

void TestCycleControl::versionStep()
{
    QFETCH(bool, read);
    QFETCH(QString, version);
    QFETCH(int, state);
    QFETCH(QString, line);
    QVERIFY(m_bench->plug(QStringLiteral("USB1")));
    Ini ini = automaticStation();
    ini.insert("RunType", QString::number(15 | RunCheckVersion));
    ini.insert("LodVersion", version);
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->unplug());
    QVERIFY(m_bench->plug(h));
    auto w = window(ini);
    w->onPortScanned({QStringLiteral("USB1")});
    if (read)
        w->onRead();
    else
        w->onWrite();
    if (version.isEmpty() && !read) {
        QCOMPARE(lastLogLine(*w), line);
        QCOMPARE(w->stationState(), state);
        QCOMPARE(w->focusWidget()->objectName(), QStringLiteral("versionLEdit"));
        return;
    }
    QVERIFY(waitForCycleEnd(*w));
    QVERIFY2(logText(*w).contains(line), qPrintable(logText(*w)));
    QCOMPARE(w->stationState(), state);
    if (read)
        QCOMPARE(field(*w, "versionLEdit")->text(), h.version);
}

void TestCycleControl::writeThenReadBack()
{
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    auto w = window(automaticStation());
    w->onPortScanned({QStringLiteral("USB1")});
    w->onWrite();
    QVERIFY(waitForCycleEnd(*w));
    QVERIFY2(logText(*w).contains(QLatin1String("had  been successfully written to flash!")), qPrintable(logText(*w)));
    const QStringList shown = {field(*w, "imei1LEdit")->text(), field(*w, "imei2LEdit")->text()};
    const QString mbsn = field(*w, "mbsnLEdit")->text(), psn = field(*w, "psnLEdit")->text(),
                  bt = field(*w, "BTLEdit")->text();
    const BenchHandset written = m_bench->read();
    QCOMPARE(written.factory.imeis.mid(0, 2), shown);
    QCOMPARE(written.factory.mbsn, mbsn);
    QCOMPARE(written.factory.psn, psn);
    QCOMPARE(written.factory.bt, bt);
    QVERIFY(w->histories().imeiHistory.contains(shown[0]) && w->histories().imeiHistory.contains(shown[1]));
    QVERIFY(w->histories().mbsnHistory.contains(mbsn) && w->histories().btHistory.contains(bt));
    QCOMPARE(w->counters().passCount(), 1);
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateBusy)); // continuous: waits for the next handset

    w->onStop();
    for (const char *name : {"imei1LEdit", "imei2LEdit", "mbsnLEdit", "psnLEdit", "BTLEdit"})
        field(*w, name)->clear();
    w->onRead();
    QVERIFY(waitForCycleEnd(*w));
    QCOMPARE(lastLogLine(*w).isEmpty(), false);
    QVERIFY(logText(*w).contains(QLatin1String("Reading is successful!")));
    QCOMPARE(QStringList({field(*w, "imei1LEdit")->text(), field(*w, "imei2LEdit")->text()}), shown);
    QCOMPARE(field(*w, "mbsnLEdit")->text(), mbsn);
    QCOMPARE(field(*w, "BTLEdit")->text(), bt);
    QCOMPARE(w->counters().total(), 1); // reads are not counted
    QVERIFY(!child<QGroupBox>(*w, "gbCount")->isEnabled());
}

// A Write through the serial backend, which the station's device.ini names, to a bench handset that the handset
// emulator serves on a pseudo-terminal: the handset then holds what the window showed and its histories recorded.
void TestCycleControl::writeOverTheSerialLine()
{
    BenchHandset h = BenchFixture::handset(QStringLiteral("COM3"));
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    QProcess line;
    // The tool's own backend again for the tests after this one, the window and its connection gone first.
    const auto restore = qScopeGuard([&line] {
        line.terminate();
        if (!line.waitForFinished(10000))
            line.kill();
        DeviceBackend::unload();
    });
    line.start(QStringLiteral(EMULATOR_EXE), {QStringLiteral("--handset"), QStringLiteral("COM3")});
    QVERIFY(line.waitForReadyRead(30000));
    const QString port = QString::fromLocal8Bit(line.readLine()).trimmed();
    QVERIFY2(port.startsWith(QLatin1String("/dev/")), qPrintable(port));
    QVERIFY(QDir().mkpath(path(QStringLiteral("cfg"))));
    {
        QFile ini(path(QStringLiteral("cfg/device.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        // Time-outs with room for a loaded machine: no frame is lost on this line.
        ini.write("[Device]\nBackend=serial\nOptions=timeout=3000 retries=3 ports=" + port.toLocal8Bit() + "\n");
    }
    DeviceBackend::unload(); // loaded again from the station's choice, as at start
    QVERIFY2(DeviceBackend::ensureLoaded(), qPrintable(DeviceBackend::error()));
    QCOMPARE(DeviceBackend::name(), QStringLiteral("serial"));

    auto w = window(automaticStation());
    w->onPortScanned({port});
    w->onWrite();
    QVERIFY2(waitForCycleEnd(*w, {}, 30000), qPrintable(logText(*w)));
    QCOMPARE(w->counters().passCount(), 1);
    const QStringList imeis = {field(*w, "imei1LEdit")->text(), field(*w, "imei2LEdit")->text()};
    const QString mbsn = field(*w, "mbsnLEdit")->text(), psn = field(*w, "psnLEdit")->text(),
                  bt = field(*w, "BTLEdit")->text();
    w->onStop();
    w.reset();
    const BenchHandset written = m_bench->read(QStringLiteral("COM3"));
    QCOMPARE(written.factory.imeis.mid(0, 2), imeis);
    QCOMPARE(written.factory.mbsn, mbsn);
    QCOMPARE(written.factory.psn, psn);
    QCOMPARE(written.factory.bt, bt);
    // The histories as the next start reads them.
    StationHistories recorded;
    loadHistories(recorded);
    QVERIFY2(recorded.problem.isEmpty(), qPrintable(recorded.problem));
    QCOMPARE(recorded.imeiHistory.size(), 1);
    QCOMPARE(recorded.imeiHistory.at(0).imeis, imeis.join(u','));
    QCOMPARE(recorded.mbsnHistory.at(0), mbsn);
    QCOMPARE(recorded.psnHistory.at(0), psn);
    QCOMPARE(recorded.btHistory.at(0), bt);
}

// A newcomer's first Write with the configuration the run script puts beside the tool.
void TestCycleControl::demoConfigurationWrites()
{
    QVERIFY(QDir().mkpath(path(QStringLiteral("cfg"))));
    QVERIFY(QFile::copy(QStringLiteral(DOVERARIZ_SOURCE_DIR "/scripts/demo-ImeiSN.ini"),
                        path(QStringLiteral("cfg/ImeiSN.ini"))));
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    h.factory.stations.insert(QStringLiteral("CALIBRATION"), true);
    QVERIFY(m_bench->plug(h));
    auto w = window({{"StartDelay", "0"}, {"language", "English"}});
    QVERIFY(!w->settings().hasManualInput());
    w->onPortScanned({QStringLiteral("USB1")});
    w->onWrite();
    QVERIFY(waitForCycleEnd(*w));
    QCOMPARE(w->counters().passCount(), 1);
    const BenchHandset written = m_bench->read();
    QCOMPARE(written.factory.imeis.value(0), field(*w, "imei1LEdit")->text());
    QCOMPARE(written.factory.stations.value(QStringLiteral("IMEI_WRITE")), true);
}

// Continuous production: each new handset on the port starts the next write with fresh identities.
void TestCycleControl::continuousProduction()
{
    auto w = window(automaticStation());
    QSet<QString> issued;
    for (int i = 0; i < 5; ++i) {
        BenchHandset h = BenchFixture::handset();
        h.blank = false;
        QVERIFY(m_bench->plug(h));
        if (i == 0) {
            w->onPortScanned({QStringLiteral("USB1")});
            w->onWrite();
        } else {
            w->onPortScanned({QStringLiteral("USB1")}); // the next handset: StartDelay 0 starts it
        }
        QVERIFY(waitForCycleEnd(*w));
        const BenchHandset written = m_bench->read();
        for (const QString &value : {written.factory.imeis.value(0), written.factory.imeis.value(1),
                                     written.factory.mbsn, written.factory.psn, written.factory.bt}) {
            QVERIFY(!value.isEmpty());
            QVERIFY2(!issued.contains(value), qPrintable(value));
            issued.insert(value);
        }
        QVERIFY(m_bench->unplug());
        w->onPortScanned({});
        QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateBusy));
    }
    QCOMPARE(w->counters().passCount(), 5);
    QCOMPARE(w->histories().imeiHistory.size(), 5);
    w->onStop();
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateNoPort));
}

void TestCycleControl::failedCycle_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("plugged");
    QTest::newRow("imei refused") << "setimei" << true;
    QTest::newRow("save failed") << "save" << true;
    QTest::newRow("no handset") << "" << false;
}

// A failed cycle: counted, the window ready for the next attempt, continuous mode ended.
void TestCycleControl::failedCycle()
{
    QFETCH(QString, operation);
    QFETCH(bool, plugged);
    if (plugged) {
        BenchHandset h = BenchFixture::handset();
        h.blank = false;
        QVERIFY(m_bench->plug(h));
        QVERIFY(BenchFaults::setFault(QStringLiteral("USB1"), operation, TGT_ERR_IO, true));
    }
    auto w = window(automaticStation());
    w->onPortScanned({QStringLiteral("USB1")});
    QSignalSpy exception(w->worker(), &FPDoverARizWorker::workerException);
    w->onWrite();
    QVERIFY(waitForCycleEnd(*w));
    QCOMPARE(exception.count(), 1);
    QCOMPARE(w->counters().failCount(), 1);
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateReady));
    QCOMPARE(child<FPColorGraphicsView>(*w, "graphicsViewStatus")->state(), int(FPColorGraphicsView::StateError));
    // Not continuous: a port report does not start another write.
    w->onPortScanned({QStringLiteral("USB1")});
    QTest::qWait(50);
    QVERIFY(!w->worker()->isRunning());
    QCOMPARE(w->counters().total(), 1);
}

void TestCycleControl::stop_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("during the start delay") << "delay";
    QTest::newRow("after the worker was asked") << "requested";
    QTest::newRow("during the download") << "download";
}

// Stop returns the window to ready at any moment, without a failure and without a write.
void TestCycleControl::stop()
{
    QFETCH(QString, when);
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    Ini ini = automaticStation();
    ini.insert("StartDelay", when == QLatin1String("delay") ? "600000" : "0");
    ini.insert("RunType", QString::number(15 | RunCheckVersion));
    ini.insert("LodVersion", h.version);
    auto w = window(ini);
    w->onPortScanned({QStringLiteral("USB1")});
    QSignalSpy finish(w->worker(), &FPDoverARizWorker::workerFinish);
    QSignalSpy exception(w->worker(), &FPDoverARizWorker::workerException);
    if (when == QLatin1String("download")) {
        qputenv("TGTLINK_DELAY_SCALE", "1");
        QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("ramrun"), 5000));
    }
    const auto restore = qScopeGuard([] { qputenv("TGTLINK_DELAY_SCALE", "0"); });
    if (when == QLatin1String("requested")) {
        // The worker's thread is held, so that its start() comes after the Stop.
        QSemaphore hold;
        QMetaObject::invokeMethod(
            w->worker(), [&hold] { hold.acquire(); }, Qt::QueuedConnection);
        w->onWrite();
        QTest::qWait(10);
        QVERIFY(!w->worker()->isRunning());
        w->onStop();
        hold.release();
        QTest::qWait(100);
        // The cycle never began: the port was not even opened.
        QVERIFY2(!logText(*w).contains(QLatin1String("Close port")), qPrintable(logText(*w)));
    } else if (when == QLatin1String("download")) {
        w->onWrite();
        QTRY_VERIFY(w->worker()->isRunning());
        QTest::qWait(200);
        w->onStop();
    } else {
        w->onWrite();
        w->onStop();
    }
    QTest::qWait(100);
    QVERIFY(!w->worker()->isRunning());
    QCOMPARE(finish.count(), 0);
    QCOMPARE(exception.count(), 0);
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateReady));
    QVERIFY(field(*w, "versionLEdit")->isEnabled());
    QCOMPARE(m_bench->read().factory.imeis.value(0), QString());
    QCOMPARE(w->counters().total(), 0);
    QVERIFY(w->histories().imeiHistory.isEmpty());
}

void TestCycleControl::repeatedWriteTest_data()
{
    QTest::addColumn<bool>("versionCheck");
    QTest::addColumn<bool>("stopInPause");
    QTest::addColumn<int>("writes");
    QTest::newRow("repeats with fresh identities") << false << false << 3;
    QTest::newRow("stop in the pause") << false << true << 1;
    QTest::newRow("refused with the version check") << true << false << 1;
}

void TestCycleControl::repeatedWriteTest()
{
    QFETCH(bool, versionCheck);
    QFETCH(bool, stopInPause);
    QFETCH(int, writes);
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    Ini ini = automaticStation();
    ini.insert("AutoLoopTest", "true");
    if (versionCheck) {
        ini.insert("RunType", QString::number(15 | RunCheckVersion));
        ini.insert("LodVersion", h.version);
    }
    auto w = window(ini);
    w->setLoopTestPause(stopInPause ? 300 : 20);
    w->onPortScanned({QStringLiteral("USB1")});
    QSignalSpy finish(w->worker(), &FPDoverARizWorker::workerFinish);
    // Stop as the last write's report is handled, in the pause before the next (a poll could come too late).
    int handled = 0;
    connect(
        w->worker(), &FPDoverARizWorker::workerFinish, w.get(),
        [&] {
            if (++handled == writes && writes > 1)
                w->onStop();
        },
        Qt::QueuedConnection); // handled on the window's thread, after the window's own slot
    w->onWrite();
    if (stopInPause) {
        QTRY_COMPARE(finish.count(), 1);
        QTest::qWait(50); // in the pause: the window still answers
        w->onStop();
    }
    QTRY_VERIFY_WITH_TIMEOUT(finish.count() >= writes, 10000);
    QTest::qWait(400);
    QCOMPARE(finish.count(), writes);
    QCOMPARE(w->counters().passCount(), writes);
    QCOMPARE(logText(*w).count(QLatin1String("Can't do pressure test when including version checking!")),
             versionCheck ? 1 : 0);
    QCOMPARE(w->histories().imeiHistory.size(), writes);
}

// A write of typed values only after a read still marks the station.
void TestCycleControl::typedWriteMarksStationAfterRead()
{
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    h.factory.stations.insert(QStringLiteral("CALIBRATION"), true);
    QVERIFY(m_bench->plug(h));
    Ini ini = manualStation(1, false, false, false);
    ini.insert("StartDelay", "0");
    ini.insert("isPhaseCheck", "true");
    ini.insert("checkStation", "CALIBRATION");
    ini.insert("currentStation", "IMEI_WRITE");
    auto w = window(ini);
    w->onPortScanned({QStringLiteral("USB1")});
    w->onRead();
    QVERIFY(waitForCycleEnd(*w));
    w->onStop();
    QVERIFY(!m_bench->read().factory.stations.value(QStringLiteral("IMEI_WRITE")));
    // Pending values complete before Write: the path that takes typed values only.
    w->settings().imeiList = {Imeis[0], Imeis[0], Imeis[0], Imeis[0]};
    field(*w, "imei1LEdit")->setText(Imeis[0]);
    w->onWrite();
    QVERIFY(waitForCycleEnd(*w));
    const BenchHandset written = m_bench->read();
    QCOMPARE(written.factory.imeis.value(0), Imeis[0]);
    QCOMPARE(written.factory.stations.value(QStringLiteral("IMEI_WRITE")), true);
}

void TestCycleControl::closingDuringWriteStopsIt()
{
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    qputenv("TGTLINK_DELAY_SCALE", "1");
    const auto restore = qScopeGuard([] { qputenv("TGTLINK_DELAY_SCALE", "0"); });
    QVERIFY(BenchFaults::setDelay(QStringLiteral("USB1"), QStringLiteral("ramrun"), 5000));
    auto w = window(automaticStation());
    w->onPortScanned({QStringLiteral("USB1")});
    w->onWrite();
    QTRY_VERIFY(w->worker()->isRunning());
    MessageBoxes::setNextAnswer(QMessageBox::Yes);
    QVERIFY(w->close());
    QVERIFY(!w->worker()->isRunning());
    QCOMPARE(MessageBoxes::takeRecords().size(), 1);
    QCOMPARE(m_bench->read().factory.imeis.value(0), QString());
}

void TestCycleControl::labelsBelongToTheirHandset_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("how");
    for (const char *label : {"mbsnLEdit", "psnLEdit", "BTLEdit"}) {
        for (const char *how : {"unplugged in the delay", "stopped in the delay", "scanned before the plug"})
            QTest::addRow("%s %s", label, how) << label << how;
    }
}

// Labels typed for one handset never reach another: the set of a Write that did not run is dropped, and the
// fields of a passed write are emptied, so that a stray Return writes nothing twice.
void TestCycleControl::labelsBelongToTheirHandset()
{
    QFETCH(QString, label);
    QFETCH(QString, how);
    const bool mbsn = label == QLatin1String("mbsnLEdit"), psn = label == QLatin1String("psnLEdit");
    const int kind = mbsn ? RunMbsn : psn ? RunPsn : RunBt;
    const QStringList labels = mbsn  ? QStringList{Mbsn, QStringLiteral("MB2026120800002CD")}
                               : psn ? QStringList{Psn, QStringLiteral("PSN00000000000000043")}
                                     : QStringList{Bt, QStringLiteral("0a1b2c3d4e60")};
    Ini ini = manualStation(1, mbsn, psn, !mbsn && !psn);
    ini.insert("MbsnSave", "true");
    ini.insert("PsnSave", "true");
    ini.insert("BTSave", "true");
    ini.insert("ImeiSave", "true");
    auto w = window(ini);
    const QString port = QStringLiteral("USB1");
    auto scanSet = [&](int k) {
        for (const char *name : {"imei1LEdit", "mbsnLEdit", "psnLEdit", "BTLEdit"})
            field(*w, name)->clear();
        field(*w, "imei1LEdit")->setFocus();
        scan(*w, Imeis[k], true);
        w->onStartDelayed(); // a delay that ends while the operator scans
        QCOMPARE(w->focusWidget()->objectName(), label);
        scan(*w, labels[k], true);
    };
    BenchHandset first = BenchFixture::handset();
    first.blank = false;
    if (how != QLatin1String("scanned before the plug")) {
        QVERIFY(m_bench->plug(first));
        w->onPortScanned({port});
    }
    scanSet(0);
    if (how == QLatin1String("unplugged in the delay")) {
        QVERIFY(m_bench->unplug());
        w->onPortScanned({});
    } else if (how == QLatin1String("stopped in the delay")) {
        w->onStop();
    } else {
        w->onStartDelayed(); // the delay ended without a handset
    }
    BenchHandset second = BenchFixture::handset();
    second.blank = false;
    if (how != QLatin1String("stopped in the delay")) {
        QVERIFY(m_bench->plug(second));
        w->onPortScanned({port});
    }
    scanSet(1);
    QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateBusy));
    QVERIFY(waitForCycleEnd(*w, [&] { w->onStartDelayed(); }));
    QCOMPARE(w->counters().passCount(), 1);
    // The same handset reported again after its pass: the panel stays on the pass, not Idle.
    w->onPortScanned({port});
    QCOMPARE(child<FPColorGraphicsView>(*w, "graphicsViewStatus")->state(), int(FPColorGraphicsView::StateFinished));
    const BenchHandset written = m_bench->read();
    QCOMPARE(written.factory.imeis.value(0), Imeis[1]);
    QCOMPARE(mbsn ? written.factory.mbsn : psn ? written.factory.psn : written.factory.bt, labels[1]);
    const StationHistories &h = w->histories();
    const HistoryList &history = kind == RunMbsn ? h.mbsnHistory : kind == RunPsn ? h.psnHistory : h.btHistory;
    QCOMPARE(history.size(), 1);
    QVERIFY(history.contains(labels[1]));
    QCOMPARE(h.imeiHistory.size(), 1);
    // The typed fields are empty: a stray Return in the last one starts nothing.
    QCOMPARE(field(*w, "imei1LEdit")->text(), QString());
    QCOMPARE(field(*w, label)->text(), QString());
    QMetaObject::invokeMethod(field(*w, label), "returnPressed");
    w->onStartDelayed();
    QTest::qWait(50);
    QCOMPARE(w->counters().total(), 1);
    QCOMPARE(h.imeiHistory.size(), 1);
}

void TestCycleControl::nothingBurnt_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("times");
    QTest::newRow("setup confirmed") << "setup" << 3;
    QTest::newRow("port flaps in the delay") << "flap" << 3;
    QTest::newRow("stopped in the delay") << "stop" << 3;
}

// Values taken from a source and dropped before their record go back to it: the first handset written gets the
// values the window showed when it opened, however often the cycle was set up, stopped or its port flapped.
void TestCycleControl::nothingBurnt()
{
    QFETCH(QString, how);
    QFETCH(int, times);
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    Ini ini = automaticStation();
    ini.insert("StartDelay", "600000");
    ini.insert("BTInitAddr", "0a1b2c3d4e30");
    ini.insert("BTEndAddr", "0a1b2c3d4eff");
    ini.insert("BTCurrentAddr", "0a1b2c3d4e32");
    auto w = window(ini);
    const QString port = QStringLiteral("USB1");
    const QString imei = field(*w, "imei1LEdit")->text();
    const QString bt = field(*w, "BTLEdit")->text();
    QCOMPARE(bt, QStringLiteral("0a1b2c3d4e32"));
    w->onPortScanned({port});
    for (int i = 0; i < times; ++i) {
        if (how == QLatin1String("setup")) {
            FPDoverARizSettingDlg::setNextAnswer(
                [](FPDoverARizSettingDlg &d) { child<QPushButton>(d, QStringLiteral("okBtn"))->click(); });
            w->onSettingUp();
            continue;
        }
        w->onWrite();
        QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateBusy));
        if (how == QLatin1String("flap")) {
            w->onPortScanned({});
            w->onPortScanned({port});
        } else {
            w->onStop();
        }
    }
    if (!w->worker()->isRunning() && w->stationState() != int(FPDoverARizMainWindow::StateBusy))
        w->onWrite();
    QVERIFY(waitForCycleEnd(*w, [&] { w->onStartDelayed(); }));
    QCOMPARE(w->counters().passCount(), 1);
    const BenchHandset written = m_bench->read();
    QCOMPARE(written.factory.imeis.value(0), imei);
    QCOMPARE(written.factory.bt, bt);
    QCOMPARE(w->histories().imeiHistory.size(), 1);
}

// A port report in the start delay leaves the window busy: nothing but Stop is usable, the panel shows no Idle.
void TestCycleControl::busyThroughTheStartDelay()
{
    BenchHandset h = BenchFixture::handset();
    h.blank = false;
    QVERIFY(m_bench->plug(h));
    Ini ini = automaticStation();
    ini.insert("StartDelay", "600000");
    auto w = window(ini);
    w->onPortScanned({QStringLiteral("USB1")});
    w->onWrite();
    auto *panel = child<FPColorGraphicsView>(*w, "graphicsViewStatus");
    for (int i = 0; i < 2; ++i) {
        w->onPortScanned({QStringLiteral("USB1")});
        QCOMPARE(w->stationState(), int(FPDoverARizMainWindow::StateBusy));
        for (const char *name : {"startBtn", "readBtn", "setupBtn"})
            QVERIFY2(!child<QPushButton>(*w, name)->isEnabled(), name);
        QVERIFY(child<QPushButton>(*w, "stopBtn")->isEnabled());
        QVERIFY(panel->state() != int(FPColorGraphicsView::StateIdle));
    }
    QSignalSpy status(w->worker(), &FPDoverARizWorker::setWRStatus);
    const auto ended = [&status] {
        for (const QList<QVariant> &args : std::as_const(status)) {
            if (args.at(0).toInt() != FPColorGraphicsView::StateBusy)
                return true;
        }
        return false;
    };
    w->onStartDelayed();
    QTRY_VERIFY(!status.isEmpty());
    // In the write, as long as its last report has not even been sent.
    const bool inWrite = !ended();
    w->onPortScanned({QStringLiteral("USB1")});
    if (inWrite)
        QVERIFY(panel->state() != int(FPColorGraphicsView::StateIdle));
    QTRY_VERIFY(ended());
    QTRY_COMPARE(w->counters().passCount(), 1);
}

QTEST_MAIN(TestCycleControl)
#include "TestCycleControl.moc"
