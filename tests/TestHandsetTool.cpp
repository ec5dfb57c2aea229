// The bench command line, in-process and as its own process.
#include "HandsetCommand.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestHandsetTool final : public QObject
{
    Q_OBJECT

private:
    static QJsonObject showJson(const QString &port)
    {
        HandsetCommand cmd;
        if (cmd.run({QStringLiteral("show"), port, QStringLiteral("--json")}) != 0)
            return {};
        return QJsonDocument::fromJson(cmd.out().toUtf8()).object();
    }

private slots:
    void plugWrittenAndShowJson()
    {
        BenchFixture bench;
        HandsetCommand cmd;
        QCOMPARE(cmd.run({"plug",        "COM7",
                          "--chip",      "0x52B0",
                          "--flash",     "FM128A",
                          "--version",   "W1.2",
                          "--imei",      "490154203237518",
                          "--imei",      "100000000000009",
                          "--mbsn",      "MB77",
                          "--psn",       "PS88",
                          "--bt",        "0A1B2C3D4E5F",
                          "--station",   "CALIBRATION=pass",
                          "--station",   "BT_TEST=fail",
                          "--user-size", "none"}),
                 0);
        QVERIFY2(cmd.err().isEmpty(), qPrintable(cmd.err()));
        const QJsonObject o = showJson(QStringLiteral("COM7"));
        QCOMPARE(o.value("kind").toString(), QStringLiteral("com"));
        QCOMPARE(o.value("chipId").toString(), QStringLiteral("0x52B0"));
        QCOMPARE(o.value("flashModel").toString(), QStringLiteral("FM128A"));
        QCOMPARE(o.value("version").toString(), QStringLiteral("W1.2"));
        const QJsonObject layout = o.value("layout").toObject();
        QCOMPARE(layout.value("factoryBase").toInteger(), qint64(BenchHandset().factoryBase));
        QVERIFY(layout.value("userAreaSize").isNull());
        const QJsonObject f = o.value("factoryData").toObject();
        QCOMPARE(f.value("imeis").toArray().at(1).toString(), QStringLiteral("100000000000009"));
        QCOMPARE(f.value("imeis").toArray().size(), 4);
        QCOMPARE(f.value("mbsn").toString(), QStringLiteral("MB77"));
        QCOMPARE(f.value("psn").toString(), QStringLiteral("PS88"));
        QCOMPARE(f.value("bt").toString(), QStringLiteral("0A1B2C3D4E5F"));
        QCOMPARE(f.value("stations").toObject().value("CALIBRATION").toBool(), true);
        QCOMPARE(f.value("stations").toObject().value("BT_TEST").toBool(), false);
        QCOMPARE(f.value("stationListMatches").toBool(), true);
    }

    void plugBlankAndText()
    {
        BenchFixture bench;
        HandsetCommand cmd;
        QCOMPARE(cmd.run({"plug", "USB2", "--no-version", "--no-flash-model", "--factory-size", "none"}), 0);
        QVERIFY(showJson(QStringLiteral("USB2")).value("factoryData").isNull());
        QVERIFY(showJson(QStringLiteral("USB2")).value("version").isNull());
        QCOMPARE(cmd.run({"show", "USB2"}), 0);
        QVERIFY(cmd.out().contains(QLatin1String("Factory data:  blank")));
        QVERIFY(cmd.out().contains(QLatin1String("size not reported")));
        QCOMPARE(cmd.run({"list"}), 0);
        QVERIFY(cmd.out().startsWith(QLatin1String("USB2\tusb")));
    }

    // A swap puts the next phone of the line on the port: the removed one's hardware and station flags, no
    // identities, unless options say otherwise.
    void swap_data()
    {
        QTest::addColumn<bool>("plugged");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("factoryData");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<QStringList>("stations");

        const QStringList kept{"CALIBRATION=true", "IMEI_WRITE=true"};
        QTest::newRow("next phone") << true << QStringList() << 0 << true << "0x52B0" << kept;
        QTest::newRow("blank asked") << true << QStringList{"--blank"} << 0 << false << "0x52B0" << QStringList();
        QTest::newRow("stations replaced") << true << QStringList{"--station", "BT_TEST=fail"} << 0 << true << "0x52B0"
                                           << QStringList{"BT_TEST=false"};
        QTest::newRow("other chip") << true << QStringList{"--chip", "0x51A0"} << 0 << true << "0x51A0" << kept;
        QTest::newRow("empty port") << false << QStringList() << 0 << false << "0x51A0" << QStringList();
        QTest::newRow("bad gap") << true << QStringList{"--gap", "soon"} << 2 << true << "0x52B0" << QStringList();
    }
    void swap()
    {
        QFETCH(bool, plugged);
        QFETCH(QStringList, options);
        QFETCH(int, code);
        QFETCH(bool, factoryData);
        QFETCH(QString, chip);
        QFETCH(QStringList, stations);
        BenchFixture bench;
        HandsetCommand cmd;
        if (plugged) {
            QCOMPARE(cmd.run({"plug", "USB1", "--chip", "0x52B0", "--imei", "490154203237518", "--mbsn", "MB77", "--bt",
                              "0a1b2c3d4e5f", "--station", "CALIBRATION=pass", "--station", "IMEI_WRITE=pass"}),
                     0);
        }
        QCOMPARE(cmd.run(QStringList{"swap", "USB1", "--gap", "0"} + options), code);
        if (code != 0) {
            QVERIFY(cmd.err().contains(QLatin1String("--gap")));
            // The handset stays where it was.
            QCOMPARE(showJson(QStringLiteral("USB1")).value("factoryData").toObject().value("mbsn").toString(),
                     QStringLiteral("MB77"));
            return;
        }
        const QJsonObject o = showJson(QStringLiteral("USB1"));
        QCOMPARE(o.value("chipId").toString(), chip);
        QCOMPARE(!o.value("factoryData").isNull(), factoryData);
        if (!factoryData)
            return;
        const QJsonObject f = o.value("factoryData").toObject();
        for (const QJsonValue imei : f.value("imeis").toArray())
            QCOMPARE(imei.toString(), QString());
        QCOMPARE(f.value("mbsn").toString(), QString());
        QCOMPARE(f.value("bt").toString(), QString());
        QStringList got;
        const QJsonObject st = f.value("stations").toObject();
        for (auto it = st.begin(); it != st.end(); ++it)
            got << it.key() + (it.value().toBool() ? QStringLiteral("=true") : QStringLiteral("=false"));
        QCOMPARE(got, stations);
        QCOMPARE(f.value("stationListMatches").toBool(), true);
    }

    void badRequestsFail_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no command") << QStringList() << 2;
        QTest::newRow("unknown command") << QStringList({"wiggle"}) << 2;
        QTest::newRow("plug without port") << QStringList({"plug"}) << 2;
        QTest::newRow("unknown option") << QStringList({"plug", "USB1", "--colour", "red"}) << 2;
        QTest::newRow("missing value") << QStringList({"plug", "USB1", "--chip"}) << 2;
        QTest::newRow("bad number") << QStringList({"plug", "USB1", "--chip", "0xZZ"}) << 2;
        QTest::newRow("bad station") << QStringList({"plug", "USB1", "--station", "CAL=maybe"}) << 2;
        QTest::newRow("station not in the list") << QStringList({"plug", "USB1", "--station", "CAL=pass"}) << 2;
        QTest::newRow("IMEI of three digits") << QStringList({"plug", "USB1", "--imei", "123"}) << 2;
        QTest::newRow("IMEI of 16 digits") << QStringList({"plug", "USB1", "--imei", "4901542032375180"}) << 2;
        QTest::newRow("IMEI with a letter") << QStringList({"plug", "USB1", "--imei", "49015420323751A"}) << 2;
        QTest::newRow("blank and data") << QStringList({"plug", "USB1", "--blank", "--mbsn", "X"}) << 2;
        QTest::newRow("bad bt") << QStringList({"plug", "USB1", "--bt", "nothex"}) << 1;
        QTest::newRow("bad port") << QStringList({"plug", "a/b"}) << 1;
        QTest::newRow("show nothing") << QStringList({"show", "USB9"}) << 1;
        QTest::newRow("unplug nothing") << QStringList({"unplug", "USB9"}) << 1;
        QTest::newRow("unknown fault op") << QStringList({"fault", "set", "USB1", "dance", "-1"}) << 1;
        QTest::newRow("fault code not a number") << QStringList({"fault", "set", "USB1", "save", "x"}) << 2;
    }
    void badRequestsFail()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        BenchFixture bench;
        HandsetCommand cmd;
        QCOMPARE(cmd.run(args), code);
        QVERIFY(!cmd.err().isEmpty());
        QVERIFY(Bench::ports().isEmpty());
    }

    // An account outside the bench's group learns which folder it may not write and what to do about it.
    void unwritableBenchNamesFolderAndGroup()
    {
        BenchFixture bench;
        const QString usb = QDir(Bench::dir()).filePath(QStringLiteral("usb"));
        QVERIFY(QDir().mkpath(usb));
        QVERIFY(QFile::setPermissions(usb, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
        HandsetCommand cmd;
        const int code = cmd.run({"plug", "USB1"});
        QFile::setPermissions(usb, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (code == 0)
            QSKIP("permissions do not bind this user (root)");
        QCOMPARE(code, 1);
        QVERIFY2(cmd.err().contains(usb), qPrintable(cmd.err()));
        QVERIFY2(cmd.err().contains(QStringLiteral("group ") + QFileInfo(usb).group()), qPrintable(cmd.err()));
    }

    void faultSetListClear()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        HandsetCommand cmd;
        QCOMPARE(cmd.run({"fault", "set", "USB1", "save", "-102", "--once"}), 0);
        QCOMPARE(cmd.run({"fault", "powercut", "USB1", "17"}), 0);
        QCOMPARE(cmd.run({"fault", "delay", "USB1", "ramrun", "1500"}), 0);
        QCOMPARE(cmd.run({"fault", "list", "USB1"}), 0);
        QCOMPARE(cmd.out(), QStringLiteral("fault save -102 once\npowercut 17 always\ndelay ramrun 1500\n"));
        QCOMPARE(showJson(QStringLiteral("USB1")).value("faults").toArray().size(), 3);
        QCOMPARE(cmd.run({"fault", "clear", "USB1", "ramrun"}), 0);
        QCOMPARE(BenchFaults::list(QStringLiteral("USB1")).size(), 2);
        QCOMPARE(cmd.run({"fault", "clear", "USB1"}), 0);
        QVERIFY(BenchFaults::list(QStringLiteral("USB1")).isEmpty());
    }

    void setVersionAndUnplug()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        HandsetCommand cmd;
        QCOMPARE(cmd.run({"set-version", "USB1", "W9.9"}), 0);
        QCOMPARE(bench.read().version, QStringLiteral("W9.9"));
        QCOMPARE(cmd.run({"set-version", "USB1", "--none"}), 0);
        QVERIFY(bench.read().version.isEmpty());
        QCOMPARE(cmd.run({"unplug", "USB1"}), 0);
        QVERIFY(Bench::ports().isEmpty());
    }

    void benchOptionPointsElsewhereAndIsRestored()
    {
        BenchFixture bench;
        QTemporaryDir other;
        HandsetCommand cmd;
        QCOMPARE(cmd.run({"--bench", other.path(), "plug", "USB5"}), 0);
        QCOMPARE(QDir(other.filePath(QStringLiteral("usb"))).entryList(QDir::Files).size(), 1);
        QCOMPARE(qEnvironmentVariable("TGTLINK_BENCH"), bench.benchDir());
        QVERIFY(Bench::ports().isEmpty());
    }

    void helpNamesEveryOperation()
    {
        HandsetCommand cmd;
        QCOMPARE(cmd.run({"--help"}), 0);
        for (const QString &op : BenchFaults::operations())
            QVERIFY2(cmd.out().contains(op), qPrintable(op));
    }

    // A fault set by the tool in its own process is seen by the library here.
    void faultCrossesProcesses()
    {
        BenchFixture bench;
        QVERIFY(bench.plug());
        QProcess tool;
        tool.start(QStringLiteral(HANDSET_EXE),
                   {"--bench", bench.benchDir(), "fault", "set", "USB1", "version", "-103", "--once"});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        std::unique_ptr<TargetConnection> connection(CreateTargetConnection(QStringLiteral("USB1")));
        QVERIFY(connection);
        ChipInfo chip(connection.get());
        std::string version;
        QCOMPARE(chip.getVersion(version), int(TGT_ERR_TIMEOUT));
        QCOMPARE(chip.getVersion(version), int(TGT_OK));

        // And the tool sees the connection this process holds.
        tool.start(QStringLiteral(HANDSET_EXE), {"--bench", bench.benchDir(), "show", "USB1", "--json"});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(QJsonDocument::fromJson(tool.readAllStandardOutput()).object().value("inUse").toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TestHandsetTool)
#include "TestHandsetTool.moc"
