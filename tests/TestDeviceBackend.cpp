// Loading the device backend the station names: the bench by default, and each way a backend is refused with
// its reason, without a crash and without a device call getting through.
#include "support/TestSupport.h"

#include "tgtlink/DeviceBackend.h"

#include <QTranslator>
#include <QtTest>
#include <memory>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestDeviceBackend final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qunsetenv("TGTLINK_DEVICE_INI");
        DeviceBackend::unload();
    }

    // The station's device.ini, read on first use; each refused backend leaves its reason and no device.
    void stationChoice_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("error"); // empty: loads
        QTest::newRow("no file") << QByteArray() << QString();
        QTest::newRow("bench by name") << QByteArray("[Device]\nBackend=bench\n") << QString();
        QTest::newRow("bench by path") << QByteArray("[Device]\nBackend=" BENCH_BACKEND "\n") << QString();
        QTest::newRow("missing file") << QByteArray("[Device]\nBackend=nowhere\n")
                                      << QStringLiteral("tgtlink-nowhere" LIBRARY_SUFFIX ": no such file");
        QTest::newRow("not a library") << QByteArray("[Device]\nBackend=@TEXT@\n")
                                       << QStringLiteral("cannot be loaded");
        QTest::newRow("no entry point") << QByteArray("[Device]\nBackend=" NO_ENTRY_BACKEND "\n")
                                        << QStringLiteral("is not a backend: it has no tgtlink_backend_get_functions");
        QTest::newRow("other major version") << QByteArray("[Device]\nBackend=" MAJOR_BACKEND "\n")
                                             << QStringLiteral("has interface version 2.0; this tool needs 1.x");
        QTest::newRow("incomplete table") << QByteArray("[Device]\nBackend=" INCOMPLETE_BACKEND "\n")
                                          << QStringLiteral("has an incomplete function table");
        QTest::newRow("start refused") << QByteArray("[Device]\nBackend=" DOUBLE_BACKEND "\nOptions=refuse-start\n")
                                       << QStringLiteral("did not start: refused by the test double");
    }
    void stationChoice()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, error);
        BenchFixture bench;
        QVERIFY(bench.plug());
        const QString text = bench.runtimeDir() + QStringLiteral("/text.so");
        QVERIFY(writeFile(text, "not a library\n"));
        const QString iniPath = bench.runtimeDir() + QStringLiteral("/device.ini");
        if (!ini.isEmpty())
            QVERIFY(writeFile(iniPath, ini.replace("@TEXT@", text.toUtf8())));
        qputenv("TGTLINK_DEVICE_INI", iniPath.toUtf8());

        QCOMPARE(DeviceBackend::ensureLoaded(), error.isEmpty());
        const std::unique_ptr<TargetConnection> connection(CreateTargetConnection(QStringLiteral("USB1")));
        if (error.isEmpty()) {
            QCOMPARE(DeviceBackend::name(), QStringLiteral("bench"));
            QVERIFY(DeviceBackend::description().startsWith(QStringLiteral("device backend bench 1.0 (")));
            QVERIFY(connection);
            QCOMPARE(UsbDeviceScan(), QStringList{QStringLiteral("USB1")});
        } else {
            QVERIFY2(DeviceBackend::error().contains(error), qPrintable(DeviceBackend::error()));
            QCOMPARE(DeviceBackend::description(), DeviceBackend::error());
            QVERIFY(!connection);
            QVERIFY(UsbDeviceScan().isEmpty());
            // A refused backend stays refused: no second try behind the station's back.
            QVERIFY(!DeviceBackend::ensureLoaded());
        }
        // The text speaks the catalogue installed when it is asked for, the tool's Chinese one here.
        const QString english = DeviceBackend::description();
        QTranslator chinese;
        QVERIFY(chinese.load(QStringLiteral(DOVERARIZ_RUNTIME_DIR "/tr/imei_chs.qm")));
        QCoreApplication::installTranslator(&chinese);
        const QString translated = DeviceBackend::description();
        QCoreApplication::removeTranslator(&chinese);
        QVERIFY2(translated != english, qPrintable(translated));
        QVERIFY(translated.contains(QDir::toNativeSeparators(DeviceBackend::path())));
        QCOMPARE(DeviceBackend::description(), english);
    }

    void optionsReachTheBackend()
    {
        QTemporaryDir dir;
        // Files stand for the named ports on every system: listed when present, refused when opened.
        const QString first = dir.filePath(QStringLiteral("port-a")), second = dir.filePath(QStringLiteral("port-b"));
        const QString missing = dir.filePath(QStringLiteral("port-missing"));
        QVERIFY(writeFile(first, "") && writeFile(second, ""));
        const QString iniPath = dir.filePath(QStringLiteral("device.ini"));
        QVERIFY(writeFile(iniPath, QStringLiteral("[Device]\nBackend=serial\nOptions=timeout=100 ports=%1,%2,%3\n")
                                       .arg(first, missing, second)
                                       .toUtf8()));
        qputenv("TGTLINK_DEVICE_INI", iniPath.toUtf8());
        QVERIFY2(DeviceBackend::ensureLoaded(), qPrintable(DeviceBackend::error()));
        QCOMPARE(DeviceBackend::name(), QStringLiteral("serial"));
        const QStringList ports = SerialDeviceScan({});
        QVERIFY2(ports.contains(first) && ports.contains(second) && !ports.contains(missing),
                 qPrintable(ports.join(QLatin1Char(' '))));
        // Not a serial device: refused as a port, not a crash.
        QVERIFY(!std::unique_ptr<TargetConnection>(CreateTargetConnection(first)));
    }
};

QTEST_GUILESS_MAIN(TestDeviceBackend)
#include "TestDeviceBackend.moc"
