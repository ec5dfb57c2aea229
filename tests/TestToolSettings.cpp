#include "config/ToolSettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The settings record against real files in a scratch directory made current for each test.
class TestToolSettings final : public QObject
{
    Q_OBJECT

private:
    void writeIni(const QByteArray &body)
    {
        QDir().mkpath(QStringLiteral("cfg"));
        QFile f(ToolSettings::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(body), qint64(body.size()));
    }

    QTemporaryDir m_dir;
    QString m_previousDir;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_previousDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanup() { QDir::setCurrent(m_previousDir); }

    void defaultsWithoutFile()
    {
        ToolSettings s;
        s.load();
        QCOMPARE(s.RunType, 15);
        QCOMPARE(s.ImeiNum, 2);
        QCOMPARE(s.imeiInputTypes, QVector<int>({0, 0, 0, 0}));
        QCOMPARE(s.MbsnInputType, 0);
        QCOMPARE(s.PsnInputType, 0);
        QCOMPARE(s.BTInputType, 0);
        QCOMPARE(s.Mbsnlen, 17);
        QCOMPARE(s.Psnlen, 20);
        QCOMPARE(s.StartDelay, 3000);
        QVERIFY(s.useUsb);
        QVERIFY(!s.useCom);
        QCOMPARE(s.language, QStringLiteral("Chinese"));
        QCOMPARE(s.imeiDefaultNumber, quint64(0));
        QCOMPARE(s.ImeiInitNum14, QStringLiteral("10000000000000"));
        QCOMPARE(s.ImeiMaskNum14, QStringLiteral("100000000****"));
        QCOMPARE(s.MbsnMaskNum, QStringLiteral("000000000000000*****"));
        QCOMPARE(s.BTInitAddr, QStringLiteral("002715082c32"));
        QCOMPARE(s.KeyVersion, QStringLiteral("W"));
        QCOMPARE(s.KeyVersionLen, 8);
        QCOMPARE(s.operationMode, int(OpWrite));
        QVERIFY(!s.loader);
    }

    void maxNumClamped_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("loaded");
        QTest::newRow("zero") << "0" << 1;
        QTest::newRow("negative") << "-5" << 1;
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("above") << "20000" << 10000;
        QTest::newRow("limit") << "10000" << 10000;
        QTest::newRow("inside") << "321" << 321;
        QTest::newRow("beyond int") << "99999999999" << 10000;
        QTest::newRow("beyond long long") << "99999999999999999999999999999999" << 10000;
        QTest::newRow("below int") << "-99999999999" << 1;
        QTest::newRow("plus sign") << "+20" << 20;
        QTest::newRow("not a number") << "12a" << 1000; // left as it was (a file of the size of the row before)
    }
    void maxNumClamped()
    {
        QFETCH(QString, stored);
        QFETCH(int, loaded);
        writeIni("[ImeiSN]\nImeiMaxNum=" + stored.toLatin1() + "\nMbsnMaxNum=" + stored.toLatin1() +
                 "\nPsnMaxNum=" + stored.toLatin1() + "\n");
        ToolSettings s;
        s.load();
        QCOMPARE(s.ImeiMaxNum, loaded);
        QCOMPARE(s.MbsnMaxNum, loaded);
        QCOMPARE(s.PsnMaxNum, loaded);
    }

    // Lengths are bounded at load and an initial IMEI number with a letter is refused, each with a note naming
    // its key; other values load without one.
    void loadedValuesBounded_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("mbsnLength");
        QTest::addColumn<int>("psnLength");
        QTest::addColumn<QString>("noteKey"); // empty: no note
        QTest::newRow("MBSN length far above") << QByteArray("Mbsnlen=600000") << 64 << 20 << "Mbsnlen";
        QTest::newRow("PSN length zero") << QByteArray("Psnlen=0") << 17 << 1 << "Psnlen";
        QTest::newRow("PSN length negative") << QByteArray("Psnlen=-3") << 17 << 1 << "Psnlen";
        QTest::newRow("MBSN length inside") << QByteArray("Mbsnlen=64") << 64 << 20 << "";
        QTest::newRow("letter in the initial IMEI")
            << QByteArray("ImeiInitNum14=1000A000000000") << 17 << 20 << "ImeiInitNum14";
        QTest::newRow("default IMEI past 15 digits")
            << QByteArray("ImeiDefaultValue=1000000000000000") << 17 << 20 << "ImeiDefaultValue";
        QTest::newRow("digits in the initial IMEI") << QByteArray("ImeiInitNum14=35000000000000") << 17 << 20 << "";
    }
    void loadedValuesBounded()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, noteKey);
        writeIni("[ImeiSN]\n" + line + "\n");
        ToolSettings s;
        QVERIFY(s.load());
        QTEST(s.Mbsnlen, "mbsnLength");
        QTEST(s.Psnlen, "psnLength");
        QCOMPARE(s.loadNotes().size(), noteKey.isEmpty() ? 0 : 1);
        if (!noteKey.isEmpty())
            QVERIFY2(s.loadNotes().constFirst().startsWith(noteKey + u'='), qPrintable(s.loadNotes().join(u'|')));
        QVERIFY(s.ImeiDefaultValue.size() == ToolSettings::ImeiLength);
    }

    void defaultImeiNormalised_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("value");
        QTest::addColumn<quint64>("number");
        QTest::newRow("short") << "12345"
                               << "123450000000000" << quint64(123450000000000ULL);
        // Cut to 15 it would be another type allocation code: unset instead.
        QTest::newRow("long") << "1234567890123456" << QString(QChar(0xCC)) + QString(14, u'0') << quint64(0);
        QTest::newRow("letters") << "35A"
                                 << "35A000000000000" << quint64(0);
        QTest::newRow("exact") << "490154203237518"
                               << "490154203237518" << quint64(490154203237518ULL);
        // Only digits form the number, though a number parser takes a sign or a leading blank.
        QTest::newRow("plus sign") << "+1234"
                                   << "+12340000000000" << quint64(0);
        QTest::newRow("minus sign") << "-1234"
                                    << "-12340000000000" << quint64(0);
        QTest::newRow("leading blank") << "\" 1234\""
                                       << " 12340000000000" << quint64(0);
    }
    void defaultImeiNormalised()
    {
        QFETCH(QString, stored);
        QFETCH(QString, value);
        QFETCH(quint64, number);
        writeIni("[ImeiSN]\nImeiDefaultValue=" + stored.toLatin1() + "\n");
        ToolSettings s;
        s.load();
        QCOMPARE(s.ImeiDefaultValue, value);
        QCOMPARE(s.imeiDefaultNumber, number);
    }

    void roundTrip()
    {
        {
            ToolSettings s;
            s.isPhaseCheck = true;
            s.isEnablePhaseCheck = true;
            s.isEnableInitFactData = true;
            s.initFactData = true;
            s.currentStation = QStringLiteral("WRITE");
            s.checkStation = QStringLiteral("CALIB");
            s.RunType = 0x1F;
            s.ImeiCheckRepetitive = true;
            s.ImeiSave = true;
            s.ImeiNum = 4;
            s.imeiInputTypes = {1, 2, 4, 3};
            s.ImeiMaxNum = 20000; // saved as it stands, clamped on the way back
            s.ImeiFromFile = QStringLiteral("C:/data/imei list.xls");
            s.ImeiInitNum14 = QStringLiteral("35000000000000");
            s.ImeiMaskNum14 = QStringLiteral("3500000000****");
            s.NextAdd = false;
            s.ImeiDefaultValue = QStringLiteral("12345");
            s.MbsnSave = true;
            s.MbsnCheckRepetitive = true;
            s.MbsnInputType = 5;
            s.Mbsnlen = 12;
            s.MbsnMaxNum = 77;
            s.MbsnFromFile = QStringLiteral("m.xls");
            s.MbsnInitNum = QStringLiteral("AB00");
            s.MbsnMaskNum = QStringLiteral("AB**");
            s.PsnSave = true;
            s.PsnCheckRepetitive = true;
            s.PsnInputType = 4;
            s.PsnMaxNum = 88;
            s.Psnlen = 10;
            s.PsnFromFile = QStringLiteral("p.xls");
            s.PsnInitNum = QStringLiteral("P000");
            s.PsnMaskNum = QStringLiteral("P***");
            s.BTCheckRepetitive = true;
            s.BTSave = true;
            s.BTIsAutoAddr = true;
            s.BTInputType = 5;
            s.BTInitAddr = QStringLiteral("001122334455");
            s.BTEndAddr = QStringLiteral("0011223344ff");
            s.BTCurrentAddr = QStringLiteral("001122334460");
            s.useCom = true;
            s.useUsb = false;
            s.portName = QStringLiteral("COM7");
            s.language = QStringLiteral("English");
            s.FactoryReset = true;
            s.StartDelay = 1500;
            s.LodVersion = QStringLiteral("W1234567 = x, y");
            s.KeyVersion = QStringLiteral("V");
            s.KeyVersionLen = 5;
            s.AutoLoopTest = true;
            s.save();
            QVERIFY(!s.loader);
        }
        ToolSettings s;
        s.imeiList = {QStringLiteral("kept")};
        s.expectedVersion = QStringLiteral("kept too");
        s.operationMode = OpRead;
        s.load();
        QVERIFY(s.isPhaseCheck && s.isEnablePhaseCheck && s.isEnableInitFactData && s.initFactData);
        QCOMPARE(s.currentStation, QStringLiteral("WRITE"));
        QCOMPARE(s.checkStation, QStringLiteral("CALIB"));
        QCOMPARE(s.RunType, 0x1F);
        QVERIFY(s.ImeiCheckRepetitive && s.ImeiSave);
        QCOMPARE(s.ImeiNum, 4);
        QCOMPARE(s.imeiInputTypes, QVector<int>({1, 2, 4, 3}));
        QCOMPARE(s.ImeiMaxNum, 10000);
        QCOMPARE(s.ImeiFromFile, QStringLiteral("C:/data/imei list.xls"));
        QCOMPARE(s.ImeiInitNum14, QStringLiteral("35000000000000"));
        QCOMPARE(s.ImeiMaskNum14, QStringLiteral("3500000000****"));
        QVERIFY(!s.NextAdd);
        QCOMPARE(s.ImeiDefaultValue, QStringLiteral("123450000000000"));
        QVERIFY(s.MbsnSave && s.MbsnCheckRepetitive);
        QCOMPARE(s.MbsnInputType, 5);
        QCOMPARE(s.Mbsnlen, 12);
        QCOMPARE(s.MbsnMaxNum, 77);
        QCOMPARE(s.MbsnFromFile, QStringLiteral("m.xls"));
        QCOMPARE(s.MbsnInitNum, QStringLiteral("AB00"));
        QCOMPARE(s.MbsnMaskNum, QStringLiteral("AB**"));
        QVERIFY(s.PsnSave && s.PsnCheckRepetitive);
        QCOMPARE(s.PsnInputType, 4);
        QCOMPARE(s.PsnMaxNum, 88);
        QCOMPARE(s.Psnlen, 10);
        QCOMPARE(s.PsnFromFile, QStringLiteral("p.xls"));
        QCOMPARE(s.PsnInitNum, QStringLiteral("P000"));
        QCOMPARE(s.PsnMaskNum, QStringLiteral("P***"));
        QVERIFY(s.BTCheckRepetitive && s.BTSave && s.BTIsAutoAddr);
        QCOMPARE(s.BTInputType, 5);
        QCOMPARE(s.BTInitAddr, QStringLiteral("001122334455"));
        QCOMPARE(s.BTEndAddr, QStringLiteral("0011223344ff"));
        QCOMPARE(s.BTCurrentAddr, QStringLiteral("001122334460"));
        QVERIFY(s.useCom && !s.useUsb);
        QCOMPARE(s.portName, QStringLiteral("COM7"));
        QCOMPARE(s.language, QStringLiteral("English"));
        QVERIFY(s.FactoryReset);
        QCOMPARE(s.StartDelay, 1500);
        QCOMPARE(s.LodVersion, QStringLiteral("W1234567 = x, y"));
        QCOMPARE(s.KeyVersion, QStringLiteral("V"));
        QCOMPARE(s.KeyVersionLen, 5);
        QVERIFY(s.AutoLoopTest);
        // Fields that are not persisted keep their in-memory values.
        QCOMPARE(s.imeiList, QStringList{QStringLiteral("kept")});
        QCOMPARE(s.expectedVersion, QStringLiteral("kept too"));
        QCOMPARE(s.operationMode, int(OpRead));
    }

    void saveKeepsOtherKeysAndLeavesNoTemporaryFile()
    {
        writeIni("[ImeiSN]\nSomethingElse=42\n[Other]\nkey=value\n");
        ToolSettings s;
        s.load();
        s.StartDelay = 10;
        s.save();
        const QStringList entries = QDir(QStringLiteral("cfg")).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(entries, QStringList{QStringLiteral("ImeiSN.ini")});
        QFile f(ToolSettings::filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray body = f.readAll();
        QVERIFY(body.contains("SomethingElse=42"));
        QVERIFY(body.contains("key=value"));
        QVERIFY(body.contains("StartDelay=10"));
    }

    // The counters reach the file, whether put straight into their lines or saved through the format, and what
    // else the file holds stays.
    void saveCounters_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("btAddress");
        QTest::addColumn<bool>("imeiMoves");
        const QByteArray file("[ImeiSN]\nBTCurrentAddr=002715000001\nImeiDefaultValue=356938035600000\nOther=kept\n");
        QTest::newRow("both move") << file << "002715000002" << true;
        QTest::newRow("only the address moves") << file << "002715000002" << false;
        QTest::newRow("address the format escapes") << file << "00:27:15:00:00:02" << true;
        QTest::newRow("keys not yet in the file") << QByteArray("[ImeiSN]\nOther=kept\n") << "002715000002" << true;
        QTest::newRow("default IMEI never saved before")
            << QByteArray("[ImeiSN]\nBTCurrentAddr=002715000001\nOther=kept\n") << "002715000002" << false;
    }
    void saveCounters()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, btAddress);
        QFETCH(bool, imeiMoves);
        writeIni(before);
        ToolSettings s;
        QVERIFY(s.load());
        const QString imei = imeiMoves ? QStringLiteral("356938035600007") : s.ImeiDefaultValue;
        s.ImeiDefaultValue = imei;
        s.BTCurrentAddr = btAddress;
        QVERIFY(s.saveCounters());
        QVERIFY(s.fileProblem().isEmpty());
        ToolSettings t;
        QVERIFY(t.load());
        QCOMPARE(t.ImeiDefaultValue, imei);
        QCOMPARE(t.BTCurrentAddr, btAddress);
        {
            QFile f(ToolSettings::filePath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().contains("Other=kept"));
        }
        QCOMPARE(QDir(QStringLiteral("cfg")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("ImeiSN.ini")});

        // A second move after the first goes in as well.
        t.BTCurrentAddr = QStringLiteral("002715000009");
        QVERIFY(t.saveCounters());
        ToolSettings u;
        QVERIFY(u.load());
        QCOMPARE(u.BTCurrentAddr, QStringLiteral("002715000009"));
        QCOMPARE(u.ImeiDefaultValue, imei);
    }

    void saveCreatesTheFile()
    {
        ToolSettings s;
        s.save();
        QVERIFY(QFile::exists(ToolSettings::filePath()));
        ToolSettings t;
        t.load();
        QCOMPARE(t.RunType, 15);
    }

    // Values of the wrong type or out of int range leave the field as it was.
    void malformedValues_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("int as text") << QByteArray("[ImeiSN]\nImeiNum=abc\nStartDelay=3s\n");
        QTest::newRow("int overflow") << QByteArray("[ImeiSN]\nImeiNum=99999999999999999999\nStartDelay=4294967296\n");
        QTest::newRow("bool as text") << QByteArray("[ImeiSN]\nuseUsb=maybe\nImeiNum=\n");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[ImeiSN\x00]\n\x01\x02=\x03\n", 16);
        QTest::newRow("long line") << QByteArray("[ImeiSN]\nImeiNum=") + QByteArray(200000, '7') + "\n";
    }
    void malformedValues()
    {
        QFETCH(QByteArray, body);
        writeIni(body);
        ToolSettings s;
        s.load();
        QCOMPARE(s.ImeiNum, 2);
        QCOMPARE(s.StartDelay, 3000);
        QVERIFY(s.useUsb);
    }

    void hugeFileIsNotRead()
    {
        QDir().mkpath(QStringLiteral("cfg"));
        QFile f(ToolSettings::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.write("[ImeiSN]\nImeiNum=3\n") > 0);
        QVERIFY(f.resize(qint64(3) << 30)); // sparse: gigabytes on paper only
        f.close();
        ToolSettings s;
        s.load();
        QCOMPARE(s.ImeiNum, 2);
    }

    // A file that exists but cannot be read whole or written back is never replaced by defaults: load() says
    // so (with the line where one line is the cause), and save() leaves the file as it is, byte for byte.
    void unusableFileIsLeftAsItIs_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("line");
        const QByteArray good("[ImeiSN]\nImeiSave=true\nImeiCheckRepetitive=true\n");
        QTest::newRow("group without its bracket") << good + "[Other\nx=1\n" << 4;
        QTest::newRow("line without =") << good + "just words\n" << 4;
        QTest::newRow("= only inside quotes") << good + "key\"=\"\n" << 4;
        QTest::newRow("hash comment") << good + "# a note\n" << 4;
        QTest::newRow("escaped =") << good + "key\\=value\n" << 4;
        QTest::newRow("carriage returns only") << QByteArray("[ImeiSN]\rImeiSave=true\rwords\r") << 1;
        QTest::newRow("not UTF-8") << QByteArray("[ImeiSN]\nImeiSave=true\nImeiFromFile=caf\xe9.xls\n") << 3;
        QTest::newRow("NUL byte") << QByteArray("[ImeiSN]\nImeiSave=true\nStartDelay=1\0\n", 38) << 3;
        QTest::newRow("over 1 MiB") << good + QByteArray(1100000, ';') << 0;
    }
    void unusableFileIsLeftAsItIs()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, line);
        writeIni(body);
        ToolSettings s;
        QVERIFY(!s.load());
        QVERIFY(!s.isFileUsable());
        QVERIFY(!s.ImeiSave); // nothing taken from a file read in part
        QVERIFY(!s.fileProblem().isEmpty());
        if (line > 0)
            QVERIFY2(s.fileProblem().contains(QStringLiteral("line %1 ").arg(line)), qPrintable(s.fileProblem()));
        s.StartDelay = 5;
        QVERIFY(!s.save());
        QVERIFY(!s.save());
        {
            // Closed before the next save: Windows does not replace a file that is open.
            QFile f(ToolSettings::filePath());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), body);
        }
        QCOMPARE(QDir(QStringLiteral("cfg")).entryList(QDir::Files | QDir::Hidden), QStringList{"ImeiSN.ini"});

        // Mended, it loads, and saves go on.
        writeIni(QByteArray("[ImeiSN]\nImeiSave=true\n"));
        QVERIFY(s.load());
        QVERIFY(s.ImeiSave && s.isFileUsable() && s.fileProblem().isEmpty());
        QVERIFY(s.save());
    }

    // What editors leave in a file the format reads: a byte-order mark, Windows line ends, comments, blanks.
    void editedFileLoadsAndSaves_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[ImeiSN]\nImeiSave=true\n");
        QTest::newRow("CRLF") << QByteArray("[ImeiSN]\r\nImeiSave=true\r\n");
        QTest::newRow("comments and blanks")
            << QByteArray("; written by hand\n\n  [ImeiSN]\n\t; note\nImeiSave = true\n");
        QTest::newRow("quoted =") << QByteArray("[ImeiSN]\nImeiSave=true\nImeiFromFile=\"a=b.xls\"\n");
        QTest::newRow("UTF-8 text") << QByteArray("[ImeiSN]\nImeiSave=true\ncurrentStation=\xe5\xb7\xa5\xe4\xbd\x8d\n");
    }
    void editedFileLoadsAndSaves()
    {
        QFETCH(QByteArray, body);
        writeIni(body);
        ToolSettings s;
        QVERIFY2(s.load(), qPrintable(s.fileProblem()));
        QVERIFY(s.ImeiSave);
        s.StartDelay = 5;
        QVERIFY2(s.save(), qPrintable(s.fileProblem()));
        ToolSettings t;
        QVERIFY(t.load());
        QVERIFY(t.ImeiSave);
        QCOMPARE(t.StartDelay, 5);
        QCOMPARE(t.currentStation, s.currentStation);
    }

    void readOnlyFileIsLeftAsItIs()
    {
        writeIni("[ImeiSN]\nImeiSave=true\n");
        QFile::setPermissions(ToolSettings::filePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        if (QFileInfo(ToolSettings::filePath()).isWritable())
            QSKIP("this user writes read-only files (root)");
        ToolSettings s;
        QVERIFY(!s.load());
        QVERIFY(!s.save());
        QFile f(ToolSettings::filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[ImeiSN]\nImeiSave=true\n"));
    }

    void portScanKind_data()
    {
        QTest::addColumn<bool>("useUsb");
        QTest::addColumn<bool>("useCom");
        QTest::addColumn<int>("kind");
        QTest::newRow("usb") << true << false << 3;
        QTest::newRow("both") << true << true << 3;
        QTest::newRow("com") << false << true << 2;
        QTest::newRow("neither") << false << false << 2;
    }
    void portScanKind()
    {
        QFETCH(bool, useUsb);
        QFETCH(bool, useCom);
        QFETCH(int, kind);
        ToolSettings s;
        s.useUsb = useUsb;
        s.useCom = useCom;
        QCOMPARE(s.portScanKind(), kind);
    }

    void clearCurrentIdentities_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("onlyWhenWriting");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("write, only when writing") << int(OpWrite) << true << true;
        QTest::newRow("read, only when writing") << int(OpRead) << true << false;
        QTest::newRow("read, always") << int(OpRead) << false << true;
        QTest::newRow("other mode, only when writing") << 0 << true << false;
    }
    void clearCurrentIdentities()
    {
        QFETCH(int, mode);
        QFETCH(bool, onlyWhenWriting);
        QFETCH(bool, cleared);
        ToolSettings s;
        s.operationMode = mode;
        s.imeiList = {QStringLiteral("490154203237518")};
        s.currentMbsn = QStringLiteral("M");
        s.currentPsn = QStringLiteral("P");
        s.currentBt = QStringLiteral("B");
        s.clearCurrentIdentities(onlyWhenWriting);
        QCOMPARE(s.imeiList.isEmpty(), cleared);
        QCOMPARE(s.currentMbsn.isEmpty(), cleared);
        QCOMPARE(s.currentPsn.isEmpty(), cleared);
        QCOMPARE(s.currentBt.isEmpty(), cleared);
    }

    void hasManualInput_data()
    {
        QTest::addColumn<int>("runType");
        QTest::addColumn<int>("imeiNum");
        QTest::addColumn<QVector<int>>("imeiTypes");
        QTest::addColumn<int>("mbsnType");
        QTest::addColumn<int>("psnType");
        QTest::addColumn<int>("btType");
        QTest::addColumn<bool>("manual");
        const QVector<int> auto4{1, 2, 2, 2};
        QTest::newRow("mbsn auto") << 0x02 << 2 << auto4 << 5 << 0 << 0 << false;
        QTest::newRow("imei2 manual") << 0x01 << 2 << QVector<int>{1, 0, 0, 0} << 5 << 5 << 5 << true;
        QTest::newRow("only imei1 counted") << 0x01 << 1 << QVector<int>{1, 0, 0, 0} << 5 << 5 << 5 << false;
        QTest::newRow("imei count above four") << 0x01 << 9 << QVector<int>{1, 2, 2, 0} << 5 << 5 << 5 << true;
        QTest::newRow("negative imei count") << 0x01 << -3 << QVector<int>{0, 0, 0, 0} << 5 << 5 << 5 << false;
        QTest::newRow("manual imei not run") << 0x0E << 2 << QVector<int>{0, 0, 0, 0} << 5 << 5 << 5 << false;
        QTest::newRow("bt manual") << 0x08 << 2 << auto4 << 5 << 5 << 0 << true;
        QTest::newRow("psn manual") << 0x04 << 2 << auto4 << 5 << 0 << 5 << true;
        QTest::newRow("psn manual not run") << 0x0B << 2 << auto4 << 5 << 0 << 5 << false;
    }
    void hasManualInput()
    {
        QFETCH(int, runType);
        QFETCH(int, imeiNum);
        QFETCH(QVector<int>, imeiTypes);
        QFETCH(int, mbsnType);
        QFETCH(int, psnType);
        QFETCH(int, btType);
        QFETCH(bool, manual);
        ToolSettings s;
        s.RunType = runType;
        s.ImeiNum = imeiNum;
        s.imeiInputTypes = imeiTypes;
        s.MbsnInputType = mbsnType;
        s.PsnInputType = psnType;
        s.BTInputType = btType;
        QCOMPARE(s.hasManualInput(), manual);
    }

    void isIdentityMissing_data()
    {
        QTest::addColumn<int>("runType");
        QTest::addColumn<int>("imeis");
        QTest::addColumn<int>("mbsnLength");
        QTest::addColumn<int>("psnLength");
        QTest::addColumn<int>("btLength");
        QTest::addColumn<bool>("missing");
        QTest::newRow("complete") << 0x0F << 2 << 17 << 20 << 12 << false;
        QTest::newRow("bt short") << 0x08 << 0 << 0 << 0 << 11 << true;
        QTest::newRow("no imeis") << 0x01 << 0 << 0 << 0 << 0 << true;
        QTest::newRow("mbsn short") << 0x02 << 0 << 16 << 0 << 0 << true;
        QTest::newRow("psn longer passes") << 0x04 << 0 << 0 << 25 << 0 << false;
        QTest::newRow("short but not run") << 0x10 << 0 << 0 << 0 << 0 << false;
    }
    void isIdentityMissing()
    {
        QFETCH(int, runType);
        QFETCH(int, imeis);
        QFETCH(int, mbsnLength);
        QFETCH(int, psnLength);
        QFETCH(int, btLength);
        QFETCH(bool, missing);
        ToolSettings s;
        s.RunType = runType;
        for (int i = 0; i < imeis; ++i)
            s.imeiList << QStringLiteral("490154203237518");
        s.currentMbsn = QString(mbsnLength, QLatin1Char('M'));
        s.currentPsn = QString(psnLength, QLatin1Char('P'));
        s.currentBt = QString(btLength, QLatin1Char('0'));
        QCOMPARE(s.isIdentityMissing(), missing);
    }
};

QTEST_GUILESS_MAIN(TestToolSettings)
#include "TestToolSettings.moc"
