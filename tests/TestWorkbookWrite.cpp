// Through the window: IMEIs prepared from a workbook (each format), then Write on a bench handset.

#include "config/AppPaths.h"
#include "config/ToolSettings.h"
#include "identity/IdentityAllocator.h"
#include "ports/PortScanWorker.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/MessageBoxes.h"
#include "workbook/XlsWorkbookReader.h"

#include "support/BenchFixture.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <memory>

class TestWorkbookWrite final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void writesFirstRow_data();
    void writesFirstRow();

private:
    std::unique_ptr<BenchFixture> m_bench;
};

void TestWorkbookWrite::initTestCase()
{
    m_bench = std::make_unique<BenchFixture>();
    QVERIFY(m_bench->isValid());
    XlsWorkbookReader::setHelperProgram(QStringLiteral(XLSCELLS_EXE));
}

void TestWorkbookWrite::cleanupTestCase()
{
    m_bench.reset();
}

void TestWorkbookWrite::writesFirstRow_data()
{
    QTest::addColumn<QString>("path");
    const QString data = QStringLiteral(DOVERARIZ_TEST_DATA "/workbooks/");
    QTest::newRow("xls") << data + QStringLiteral("start_row3.xls");
    QTest::newRow("xlsx") << data + QStringLiteral("start_row3.xlsx");
    QTest::newRow("csv") << data + QStringLiteral("csv/start_row3/IMEI.csv");
}

void TestWorkbookWrite::writesFirstRow()
{
    QFETCH(QString, path);
    // The first data row of the sheet (row 3): IMEI1 in A as a number, IMEI2 in B as text.
    const QString imei1 = QStringLiteral("352099001761408");
    const QString imei2 = QStringLiteral("352099001761416");

    QTemporaryDir appDir;
    QVERIFY(appDir.isValid());
    QString error;
    QVERIFY2(Bench::writeRamrunImages(appDir.path(), &error) > 0, qPrintable(error)); // beside the executable
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(appDir.path()));
    AppPaths::setAppDirForTesting(appDir.path());
    const auto restore = qScopeGuard([&] {
        AppPaths::setAppDirForTesting(QString());
        QDir::setCurrent(previousDir);
        m_bench->unplug(QStringLiteral("USB1"));
    });

    auto window = std::make_unique<FPDoverARizMainWindow>();
    window->portScanner()->stop(true);
    QCoreApplication::processEvents();
    const auto showLog = qScopeGuard([&window] {
        if (QTest::currentTestFailed() && window)
            qInfo().noquote() << window->findChild<QTextEdit *>(QStringLiteral("logTextEdit"))->toPlainText();
    });
    ToolSettings &s = window->settings();
    s.RunType = RunImei;
    s.ImeiNum = 2;
    s.imeiInputTypes = {InputLoadFromFile, InputLoadFromFile, InputLoadFromFile, InputLoadFromFile};
    s.ImeiFromFile = path;
    s.ImeiCheckRepetitive = true;
    s.StartDelay = 0;
    QVERIFY(window->identities().prepareIdentityPools());
    QCOMPARE(window->identities().imeiPool().total, 3);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("imei1LEdit"))->text(), imei1);
    QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("imei2LEdit"))->text(), imei2);

    BenchHandset handset = BenchFixture::handset(QStringLiteral("USB1"));
    handset.blank = false; // factory data made at an earlier station
    QVERIFY(m_bench->plug(handset));
    window->onPortScanned({QStringLiteral("USB1")});
    auto *write = window->findChild<QPushButton *>(QStringLiteral("startBtn"));
    QTRY_VERIFY(write->isEnabled());
    QTest::mouseClick(write, Qt::LeftButton);
    const auto written = [this] { return m_bench->read(QStringLiteral("USB1")).factory.imeis.mid(0, 2); };
    QTRY_VERIFY_WITH_TIMEOUT(written() == (QStringList{imei1, imei2}), 20000);
    window.reset(); // stops the worker before the bench goes
    QVERIFY(MessageBoxes::takeRecords().isEmpty());
}

QTEST_MAIN(TestWorkbookWrite)
#include "TestWorkbookWrite.moc"
