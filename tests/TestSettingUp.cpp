#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "identity/IdentityAllocator.h"
#include "ports/PortScanWorker.h"
#include "shell/FPColorGraphicsView.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/FPDoverARizSettingDlg.h"
#include "shell/MessageBoxes.h"

#include "Bench.h"
#include "support/BenchFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>
#include <functional>
#include <memory>

using Act = std::function<void(FPDoverARizSettingDlg &)>;
Q_DECLARE_METATYPE(Act)

namespace {
template <typename T> T *child(QWidget &parent, const char *name)
{
    T *widget = parent.findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

void click(FPDoverARizSettingDlg &dialog, const char *name)
{
    child<QAbstractButton>(dialog, name)->click();
}

// The check digit of a 14-digit IMEI body: every second digit from the right doubled, digit sums added.
QChar luhnDigit(const QString &body)
{
    int sum = 0;
    for (int i = 0; i < body.size(); ++i) {
        int d = body.at(body.size() - 1 - i).digitValue();
        if (i % 2 == 0)
            d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    return QChar(u'0' + (10 - sum % 10) % 10);
}
} // namespace

// Setup as the operator runs it from the window: the dialog, then what the window does with what was chosen.
class TestSettingUp final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void settingUp_data();
    void settingUp();
    void nextWriteTakesTheNewRange();

private:
    std::unique_ptr<FPDoverARizMainWindow> quietWindow();

    std::unique_ptr<BenchFixture> m_bench;
    std::unique_ptr<QTemporaryDir> m_appDir;
    QString m_previousDir;
};

void TestSettingUp::initTestCase()
{
    m_bench = std::make_unique<BenchFixture>();
    QVERIFY(m_bench->isValid());
}

void TestSettingUp::cleanupTestCase()
{
    m_bench.reset();
}

void TestSettingUp::init()
{
    m_appDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_appDir->isValid());
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_appDir->path())); // the settings file is relative to it
    AppPaths::setAppDirForTesting(m_appDir->path());
}

void TestSettingUp::cleanup()
{
    MessageBoxes::setUnattended(false);
    QVERIFY2(MessageBoxes::takeRecords().isEmpty(), "a message box was shown that the test did not look at");
    QCOMPARE(FPDoverARizSettingDlg::pendingAnswers(), 0);
    AppPaths::setAppDirForTesting(QString());
    QDir::setCurrent(m_previousDir);
    m_appDir.reset();
}

// A window whose scanner has been stopped: whether Setup starts it again shows whether it restarted it.
std::unique_ptr<FPDoverARizMainWindow> TestSettingUp::quietWindow()
{
    auto window = std::make_unique<FPDoverARizMainWindow>();
    window->portScanner()->stop(true);
    QCoreApplication::processEvents();
    return window;
}

void TestSettingUp::settingUp_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<Act>("act");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<int>("scanMode"); // afterwards; the scanner runs again only when the kind changed
    QTest::addColumn<bool>("scanning");
    QTest::addColumn<QString>("logged");       // a line the log pane holds afterwards
    QTest::addColumn<int>("imeiSetsPrepared"); // the default limit of 1000 IMEIs makes 500 sets of two

    const Act cancelled = [](FPDoverARizSettingDlg &d) {
        click(d, "comRadioBtn");
        click(d, "CancelBtn");
    };
    const Act closed = [](FPDoverARizSettingDlg &d) {
        click(d, "comRadioBtn");
        d.close();
    };
    const Act refused = [](FPDoverARizSettingDlg &d) {
        child<QLineEdit>(d, "BTEndAddrLEdit")->setText(child<QLineEdit>(d, "BTbeginAddrLEdit")->text());
        MessageBoxes::setNextAnswer(QMessageBox::Ok);
        click(d, "okBtn");
        QCOMPARE(MessageBoxes::takeRecords().size(), 1);
    };
    const Act custom = [](FPDoverARizSettingDlg &d) {
        click(d, "ImeiCustomRBtn");
        click(d, "okBtn");
    };
    const Act com = [](FPDoverARizSettingDlg &d) {
        click(d, "comRadioBtn");
        click(d, "okBtn");
    };
    const Act emptiedLimit = [](FPDoverARizSettingDlg &d) {
        click(d, "ImeiCustomRBtn");
        child<QComboBox>(d, "imeiNumberComboBox")->setCurrentIndex(0); // one IMEI a handset
        child<QLineEdit>(d, "ImeiMaxLNumLE")->clear();
        click(d, "okBtn");
    };
    const int usb = PortScanWorker::ScanUsb;
    const QString before = QStringLiteral("before Setup");

    QTest::newRow("cancelled") << int(OpWrite) << cancelled << false << usb << false << before << 0;
    QTest::newRow("closed, reading") << int(OpRead) << closed << false << usb << false << before << 0;
    QTest::newRow("OK refused, left open") << int(OpWrite) << refused << false << usb << false << before << 0;
    QTest::newRow("accepted, same port kind")
        << int(OpWrite) << custom << true << usb << false << " IMEI source:Custom" << 500;
    QTest::newRow("accepted, COM ports") << int(OpWrite) << com << true << int(PortScanWorker::ScanDebugHost) << true
                                         << "" << 0;
    // An emptied limit prepares one IMEI set, not none, so that the first Write does not run out.
    QTest::newRow("accepted, limit emptied")
        << int(OpWrite) << emptiedLimit << true << usb << false << "\tMax limited number:1" << 1;
}

void TestSettingUp::settingUp()
{
    QFETCH(int, mode);
    QFETCH(Act, act);
    QFETCH(bool, applied);
    QFETCH(int, scanMode);
    QFETCH(bool, scanning);
    QFETCH(QString, logged);
    QFETCH(int, imeiSetsPrepared);

    auto window = quietWindow();
    ToolSettings &settings = window->settings();
    settings.operationMode = mode;
    auto *status = child<FPColorGraphicsView>(*window, "graphicsViewStatus");
    auto *setup = child<QPushButton>(*window, "setupBtn");
    auto *log = child<QTextEdit>(*window, "logTextEdit");
    auto *mbsn = child<QLineEdit>(*window, "mbsnLEdit"); // typed by the operator throughout
    log->setPlainText(QStringLiteral("before Setup"));
    mbsn->setText(QStringLiteral("MB"));
    const int runTypeBefore = settings.RunType;

    QPointer<FPDoverARizSettingDlg> opened;
    FPDoverARizSettingDlg::setNextAnswer([&](FPDoverARizSettingDlg &dialog) {
        opened = &dialog;
        // While the dialog is open the panel says so, in the wording of the operation, and Setup waits.
        QCOMPARE(status->state(), int(FPColorGraphicsView::StateSetting));
        QCOMPARE(status->isWriteMode(), mode == OpWrite);
        QVERIFY(!setup->isEnabled());
        QCOMPARE(dialog.parentWidget(), window.get());
        act(dialog);
    });
    setup->click();
    QVERIFY(!QTest::currentTestFailed());

    QVERIFY2(opened.isNull(), "the dialog outlives its opening");
    QCOMPARE(status->state(), int(FPColorGraphicsView::StateIdle));
    QVERIFY(setup->isEnabled());
    QCOMPARE(window->portScanner()->scanMode(), scanMode);
    QCOMPARE(window->portScanner()->isRunning(), scanning);
    QCOMPARE(mbsn->text().isEmpty(), applied);
    QCOMPARE(window->identities().imeiPool().total, imeiSetsPrepared);
    if (!logged.isEmpty())
        QVERIFY2(log->toPlainText().contains(logged), qPrintable(log->toPlainText()));
    QCOMPARE(log->toPlainText().contains(QLatin1String("before Setup")), !applied);
    if (!applied) {
        QCOMPARE(settings.RunType, runTypeBefore);
        QVERIFY(settings.useUsb);
    }
}

// The whole way: Setup switches the IMEI to a custom series, and the next Write puts its first IMEI into the handset.
void TestSettingUp::nextWriteTakesTheNewRange()
{
    const QString body = QStringLiteral("86123450001230");
    QCOMPARE(luhnDigit(QStringLiteral("49015420323751")), QLatin1Char('8')); // a published example
    QString error;
    QVERIFY2(Bench::writeRamrunImages(m_appDir->path(), &error) > 0, qPrintable(error));
    BenchHandset handset = BenchFixture::handset(QStringLiteral("USB1"));
    handset.blank = false; // factory data from an earlier station
    QVERIFY(m_bench->plug(handset));
    const auto unplugged = qScopeGuard([this] { m_bench->unplug(QStringLiteral("USB1")); });

    auto window = quietWindow();
    window->settings().StartDelay = 0;
    window->onPortScanned({QStringLiteral("USB1")});
    FPDoverARizSettingDlg::setNextAnswer([&](FPDoverARizSettingDlg &d) {
        click(d, "ImeiCustomRBtn");
        child<QLineEdit>(d, "ImeiInitNumberLE")->setText(body);
        child<QLineEdit>(d, "ImeiMaskNumberLE")->setText(QStringLiteral("86123450******"));
        child<QComboBox>(d, "imeiNumberComboBox")->setCurrentIndex(0);
        for (const char *group : {"mbsnGroupBox", "psnGroupBox", "mBTGroupBox"})
            child<QGroupBox>(d, group)->setChecked(false);
        click(d, "okBtn");
    });
    child<QPushButton>(*window, "setupBtn")->click();
    QCOMPARE(window->settings().ImeiInitNum14, body);

    child<QPushButton>(*window, "startBtn")->click();
    QTRY_COMPARE_WITH_TIMEOUT(window->counters().total(), 1, 20000);
    QVERIFY2(window->counters().passCount() == 1, qPrintable(child<QTextEdit>(*window, "logTextEdit")->toPlainText()));
    QCOMPARE(m_bench->read(QStringLiteral("USB1")).factory.imeis.value(0), body + luhnDigit(body));
}

QTEST_MAIN(TestSettingUp)
#include "TestSettingUp.moc"
