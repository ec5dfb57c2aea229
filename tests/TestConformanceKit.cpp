// The conformance kit against the backends that ship (the bench; the serial backend through the handset
// emulator on a noisy line) and against broken doubles, whose fault it must name.
#include "support/TestSupport.h"

#include <QtTest>

class TestConformanceKit final : public QObject
{
    Q_OBJECT

private slots:
    void kit_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QStringList>("emulator"); // arguments of a handset emulator in between; none: bench port
        QTest::addColumn<QStringList>("failing");
        QTest::newRow("bench") << QStringLiteral("bench") << QString() << QStringList() << QStringList();
        // About one frame in fifty damaged or cut, and the line dead for a while now and then.
        QTest::newRow("serial, noisy line")
            << QStringLiteral("serial") << QStringLiteral("timeout=800 retries=12") // room for a loaded machine
            << QStringLiteral("--noise 0.0003 --drop 0.0002 --disconnect-every 301 --disconnect-ms 250")
                   .split(QLatin1Char(' '))
            << QStringList();
        QTest::newRow("abort ignored") << QStringLiteral(DOUBLE_BACKEND) << QStringLiteral("ignore-abort")
                                       << QStringList() << QStringList{QStringLiteral("abort honoured")};
        QTest::newRow("failed save reported as success")
            << QStringLiteral(DOUBLE_BACKEND) << QStringLiteral("lying-save")
            << QStringList()
            // An aborted save is a failed save too.
            << QStringList{QStringLiteral("abort honoured"), QStringLiteral("power loss during save")};
    }
    void kit()
    {
        QFETCH(QString, backend);
        QFETCH(QString, options);
        QFETCH(QStringList, emulator);
        QFETCH(QStringList, failing);
        BenchFixture bench;
        BenchHandset h = BenchFixture::handset(QStringLiteral("COM9"));
        h.blank = false;
        QVERIFY(bench.plug(h));
        // Real delays, shortened: the abort check needs an operation that lasts.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TGTLINK_DELAY_SCALE"), QStringLiteral("0.005"));

        QProcess line;
        QString port = QStringLiteral("COM9");
        if (!emulator.isEmpty()) {
            line.setProcessEnvironment(env);
            line.start(QStringLiteral(EMULATOR_EXE), QStringList{QStringLiteral("--handset"), port} + emulator);
            QVERIFY(line.waitForReadyRead(10000));
            port = QString::fromLocal8Bit(line.readLine()).trimmed();
            QVERIFY2(port.startsWith(QLatin1String("/dev/")), qPrintable(port));
        }
        QProcess kit;
        kit.setProcessEnvironment(env);
        kit.start(QStringLiteral(CONFORMANCE_EXE), {QStringLiteral("--backend"), backend, QStringLiteral("--options"),
                                                    options, QStringLiteral("--port"), port});
        QVERIFY(kit.waitForFinished(240000));
        const QString output = QString::fromLocal8Bit(kit.readAllStandardOutput() + kit.readAllStandardError());
        if (!emulator.isEmpty()) {
            line.terminate();
            QVERIFY(line.waitForFinished(5000));
        }
        QStringList failed;
        for (const QString &row : output.split(QLatin1Char('\n'))) {
            const qsizetype at = row.indexOf(QLatin1String("  FAIL"));
            if (at > 0)
                failed.append(row.left(at).trimmed());
        }
        QVERIFY2(failed == failing, qPrintable(output));
        QCOMPARE(kit.exitCode(), failing.isEmpty() ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestConformanceKit)
#include "TestConformanceKit.moc"
