#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/IdentityAllocator.h"
#include "identity/LocalIssuedIdentities.h"
#include "support/RecordingFrontEnd.h"
#include "support/SteppingClock.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString luhn(const QString &body)
{
    int sum = 0;
    for (int i = 0; i < 14; ++i) {
        int d = body.at(i).digitValue() * (i % 2 ? 2 : 1);
        sum += d > 9 ? d - 9 : d;
    }
    return body + QString::number((10 - sum % 10) % 10);
}

// One station without a window: the settings record, the recorded front end and the allocator over them.
struct Station
{
    Station()
    {
        s.RunType = RunImei | RunMbsn | RunPsn | RunBt;
        s.ImeiNum = 2;
        s.imeiInputTypes = {InputCustom, InputCustom, InputCustom, InputCustom};
        s.ImeiInitNum14 = QStringLiteral("35000000000000");
        s.ImeiMaskNum14 = QStringLiteral("3500000000****");
        s.NextAdd = true;
        s.ImeiMaxNum = 1000;
        s.ImeiCheckRepetitive = true;
        s.MbsnInputType = InputCustom;
        s.MbsnInitNum = QStringLiteral("MB0000");
        s.MbsnMaskNum = QStringLiteral("00****");
        s.Mbsnlen = 6;
        s.MbsnCheckRepetitive = true;
        s.PsnInputType = InputCustom;
        s.PsnInitNum = QStringLiteral("PS0000");
        s.PsnMaskNum = QStringLiteral("00****");
        s.Psnlen = 6;
        s.PsnCheckRepetitive = true;
        s.BTInputType = InputAutoGeneration;
        s.BTIsAutoAddr = false;
    }
    ToolSettings s;
    StationHistories h;
    RecordingFrontEnd frontEnd;
    LocalIssuedIdentities issued{h};
    IdentityAllocator allocator{s, frontEnd, issued};
};

enum Change
{
    Nothing,
    BadCustomImei,
    BadCustomMbsn,
    BadCustomPsn,
    SheetImei,
    SheetMbsn,
    SheetPsn,
    RecordedMbsnStamp,
    RecordedPsnStamp,
    BadBtRange,
};

} // namespace

class TestIdentityAllocator final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void prepare_data();
    void prepare();
    void uncheckedSourcesWarnOnce_data();
    void uncheckedSourcesWarnOnce();
    void poolModeHandsOutEachSetOnce();
    void poolModeExhaustion_data();
    void poolModeExhaustion();
    void overlongImeiIsRefused();
    void manualModeFailures_data();
    void manualModeFailures();
    void pendingStampSurvivesARefusedSet();
    void countersReachTheFileAtOnce_data();
    void countersReachTheFileAtOnce();
    void failedCounterSaveHandsOutNothing_data();
    void failedCounterSaveHandsOutNothing();

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};

void TestIdentityAllocator::initTestCase()
{
    // Counters are saved to cfg/ImeiSN.ini relative to the current directory.
    QVERIFY(m_dir.isValid());
    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestIdentityAllocator::cleanupTestCase()
{
    QDir::setCurrent(m_previousDir);
}

void TestIdentityAllocator::init()
{
    QFile::setPermissions(QStringLiteral("cfg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QDir(QStringLiteral("cfg")).removeRecursively());
}

void TestIdentityAllocator::prepare_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QStringList>("boxes");
    // Pool totals after preparation, in the order MBSN, IMEI, PSN, BT.
    QTest::addColumn<QList<int>>("totals");

    const QStringList none;
    QTest::newRow("every source prepared") << int(Nothing) << true << none << none << QList<int>{1000, 500, 1000, 1};
    QTest::newRow("bad custom IMEI") << int(BadCustomImei) << false << QStringList{"Custom IMEI failed!"}
                                     << QStringList{"The custom part of IMEI must be digits!"}
                                     << QList<int>{1000, 0, 0, 0};
    QTest::newRow("bad custom MBSN stops before the IMEIs")
        << int(BadCustomMbsn) << false << QStringList{"Custom MBSN  failed!!"}
        << QStringList{"The custom part of MBSN must be digits or letters!"} << QList<int>{0, 0, 0, 0};
    QTest::newRow("bad custom PSN") << int(BadCustomPsn) << false << QStringList{"Custom PSN  failed!"}
                                    << QStringList{"The custom part of PSN must be digits or letters!"}
                                    << QList<int>{1000, 500, 0, 0};
    QTest::newRow("IMEI workbook") << int(SheetImei) << false << QStringList{"Import IMEI from excel file failed!"}
                                   << none << QList<int>{1000, 0, 0, 0};
    QTest::newRow("MBSN workbook") << int(SheetMbsn) << false << QStringList{"Import MBSN from excel file failed! "}
                                   << none << QList<int>{0, 0, 0, 0};
    QTest::newRow("PSN workbook") << int(SheetPsn) << false << QStringList{"Import PSN from excel file failed!"} << none
                                  << QList<int>{1000, 500, 0, 0};
    QTest::newRow("recorded MBSN stamp") << int(RecordedMbsnStamp) << false
                                         << QStringList{"MBSN has repeated with previous!",
                                                        "AutoGenerate MBSN  failed!!"}
                                         << none << QList<int>{0, 0, 0, 0};
    QTest::newRow("recorded PSN stamp") << int(RecordedPsnStamp) << false
                                        << QStringList{"PSN has repeated with previous!", "AutoGenerate PSN  failed!!"}
                                        << none << QList<int>{1000, 500, 0, 0};
    QTest::newRow("bad Bluetooth range") << int(BadBtRange) << false
                                         << QStringList{"BT start address is wrong!", "AutoGenerate BT  failed!!"}
                                         << none << QList<int>{1000, 500, 1000, 0};
}

void TestIdentityAllocator::prepare()
{
    QFETCH(int, change);
    QFETCH(bool, ok);
    QFETCH(QStringList, errors);
    QFETCH(QStringList, boxes);
    QFETCH(QList<int>, totals);

    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 0)));
    Station st;
    ToolSettings &s = st.s;
    s.currentMbsn = QStringLiteral("left over");
    s.imeiList = QStringList{QStringLiteral("left over")};
    switch (change) {
    case BadCustomImei:
        s.ImeiInitNum14 = QStringLiteral("350000000000-0");
        break;
    case BadCustomMbsn:
        s.MbsnInitNum = QStringLiteral("MB00_0");
        break;
    case BadCustomPsn:
        s.PsnInitNum = QStringLiteral("PS 000");
        break;
    case SheetImei:
        s.imeiInputTypes = {InputLoadFromFile, InputLoadFromFile, InputLoadFromFile, InputLoadFromFile};
        break;
    case SheetMbsn:
        s.MbsnInputType = InputLoadFromFile;
        break;
    case SheetPsn:
        s.PsnInputType = InputLoadFromFile;
        break;
    case RecordedMbsnStamp:
        s.MbsnInputType = InputAutoGeneration;
        s.Mbsnlen = 17;
        st.h.mbsnHistory.append(QStringLiteral("20160305101530000"));
        break;
    case RecordedPsnStamp:
        s.PsnInputType = InputAutoGeneration;
        s.Psnlen = 17;
        for (int ms = 0; ms < 10; ++ms) // the sources before it read the clock too
            st.h.psnHistory.append(QStringLiteral("20160305101530%1").arg(ms, 3, 10, QLatin1Char('0')));
        break;
    case BadBtRange:
        s.BTIsAutoAddr = true;
        s.BTInitAddr = QStringLiteral("00271508xc32");
        break;
    }
    QCOMPARE(st.allocator.prepareIdentityPools(), ok);
    QCOMPARE(st.frontEnd.textsIn(LineColour::Error), errors);
    QCOMPARE(st.frontEnd.boxes, boxes);
    QCOMPARE((QList<int>{st.allocator.mbsnPool().total, st.allocator.imeiPool().total, st.allocator.psnPool().total,
                         st.allocator.btPool().total}),
             totals);
    QCOMPARE(st.allocator.imeiPool().cursor, 0);
    // Pending values of an earlier preparation never survive it.
    QVERIFY(s.imeiList.isEmpty());
    if (change != RecordedPsnStamp)
        QCOMPARE(s.currentMbsn, QString());
    if (!ok)
        return;
    // The fields preview the first prepared values.
    QCOMPARE(st.frontEnd.fields.value(IdentityField::Imei1), luhn(QStringLiteral("35000000000000")));
    QCOMPARE(st.frontEnd.fields.value(IdentityField::Imei2), luhn(QStringLiteral("35000000000001")));
    QCOMPARE(st.frontEnd.fields.value(IdentityField::Mbsn), QStringLiteral("MB0000"));
    QCOMPARE(st.frontEnd.fields.value(IdentityField::Psn), QStringLiteral("PS0000"));
    QCOMPARE(st.frontEnd.fields.value(IdentityField::Bt), s.currentBt);
    QCOMPARE(s.currentBt.size(), 12);
}

void TestIdentityAllocator::uncheckedSourcesWarnOnce_data()
{
    QTest::addColumn<bool>("imeiCheck");
    QTest::addColumn<bool>("mbsnCheck");
    QTest::addColumn<int>("psnType");
    QTest::addColumn<bool>("psnCheck");
    QTest::addColumn<QStringList>("warnings");

    QTest::newRow("all checked") << true << true << int(InputCustom) << true << QStringList();
    QTest::newRow("IMEIs unchecked") << false << true << int(InputCustom) << true
                                     << QStringList{"IMEIs from the custom source are not checked against the "
                                                    "history: the next start begins again at the first value!"};
    QTest::newRow("MBSNs and PSNs unchecked")
        << true << false << int(InputCustom) << false
        << QStringList{"MBSNs from the custom source are not checked against the history: the next start begins "
                       "again at the first value!",
                       "PSNs from the custom source are not checked against the history: the next start begins "
                       "again at the first value!"};
    QTest::newRow("time stamps are not a series") << true << true << int(InputAutoGeneration) << false << QStringList();
}

void TestIdentityAllocator::uncheckedSourcesWarnOnce()
{
    QFETCH(bool, imeiCheck);
    QFETCH(bool, mbsnCheck);
    QFETCH(int, psnType);
    QFETCH(bool, psnCheck);
    QFETCH(QStringList, warnings);

    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 0)));
    Station st;
    st.s.ImeiCheckRepetitive = imeiCheck;
    st.s.MbsnCheckRepetitive = mbsnCheck;
    st.s.PsnInputType = psnType;
    st.s.PsnCheckRepetitive = psnCheck;
    QVERIFY(st.allocator.prepareIdentityPools());
    QCOMPARE(st.frontEnd.textsIn(LineColour::Warning), warnings);
}

void TestIdentityAllocator::poolModeHandsOutEachSetOnce()
{
    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 0)));
    Station st;
    ToolSettings &s = st.s;
    QVERIFY(st.allocator.prepareIdentityPools());
    const QString preparedBt = s.currentBt;

    QSet<QString> handedOut;
    for (int n = 0; n < 3; ++n) {
        st.frontEnd.states.clear();
        QVERIFY(st.allocator.allocateIdentities());
        QCOMPARE(st.frontEnd.states, QList<int>{2});
        QCOMPARE(st.frontEnd.cyclesEnded, 0);
        QCOMPARE(s.imeiList.size(), 4);
        const QString first = luhn(QStringLiteral("3500000000%1").arg(2 * n, 4, 10, QLatin1Char('0')));
        const QString second = luhn(QStringLiteral("3500000000%1").arg(2 * n + 1, 4, 10, QLatin1Char('0')));
        // Two IMEIs a set: the third and fourth repeat the first.
        QCOMPARE(s.imeiList, (QStringList{first, second, first, first}));
        QCOMPARE(s.currentMbsn, QStringLiteral("MB%1").arg(n, 4, 10, QLatin1Char('0')));
        QCOMPARE(s.currentPsn, QStringLiteral("PS%1").arg(n, 4, 10, QLatin1Char('0')));
        QCOMPARE(st.frontEnd.fields.value(IdentityField::Imei1), first);
        QCOMPARE(st.frontEnd.fields.value(IdentityField::Imei2), second);
        QCOMPARE(st.frontEnd.fields.value(IdentityField::Imei3), QString());
        QCOMPARE(st.frontEnd.fields.value(IdentityField::Mbsn), s.currentMbsn);
        QCOMPARE(st.frontEnd.fields.value(IdentityField::Psn), s.currentPsn);
        QCOMPARE(st.frontEnd.fields.value(IdentityField::Bt), s.currentBt);
        if (n == 0)
            QCOMPARE(s.currentBt, preparedBt);
        for (const QString &value : {first, second, s.currentMbsn, s.currentPsn, s.currentBt}) {
            QVERIFY2(!handedOut.contains(value), qPrintable(value));
            handedOut.insert(value);
        }
        s.clearCurrentIdentities(true); // what the worker does after every write cycle
    }
    QCOMPARE(st.allocator.imeiPool().cursor, 3);
    QCOMPARE(st.allocator.mbsnPool().cursor, 3);
}

void TestIdentityAllocator::poolModeExhaustion_data()
{
    QTest::addColumn<int>("imeiMax");
    QTest::addColumn<int>("mbsnMax");
    QTest::addColumn<int>("psnMax");
    QTest::addColumn<int>("allocations"); // that succeed
    QTest::addColumn<QString>("finished");

    QTest::newRow("IMEIs") << 5 << 10 << 10 << 2 << "All of IMEIs have written to flash,It's finished!";
    QTest::newRow("MBSNs") << 10 << 1 << 10 << 1 << "All of MBSNs have written to flash,It's finished!";
    QTest::newRow("PSNs") << 10 << 10 << 3 << 3 << "All of PSNs have written to flash,It's finished!";
    QTest::newRow("empty IMEI pool") << 0 << 10 << 10 << 0 << "All of IMEIs have written to flash,It's finished!";
}

void TestIdentityAllocator::poolModeExhaustion()
{
    QFETCH(int, imeiMax);
    QFETCH(int, mbsnMax);
    QFETCH(int, psnMax);
    QFETCH(int, allocations);
    QFETCH(QString, finished);

    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 0)));
    Station st;
    ToolSettings &s = st.s;
    s.ImeiMaxNum = qMax(imeiMax, 1);
    if (imeiMax == 0) // every IMEI of the range already recorded
        s.ImeiMaskNum14 = QStringLiteral("35000000000000");
    st.h.imeiHistory.append(QStringLiteral("2016-03-05 10:00:00"), luhn(QStringLiteral("35000000000000")));
    s.MbsnMaxNum = mbsnMax;
    s.PsnMaxNum = psnMax;
    QVERIFY(st.allocator.prepareIdentityPools());
    if (imeiMax > 0) // the recorded first IMEI was skipped
        QCOMPARE(st.allocator.imeiPool().total, (imeiMax - 1) / 2);
    for (int i = 0; i < allocations; ++i) {
        QVERIFY(st.allocator.allocateIdentities());
        s.clearCurrentIdentities(true);
    }
    QCOMPARE(st.frontEnd.clears, allocations);
    QVERIFY(!st.allocator.allocateIdentities());
    QCOMPARE(st.frontEnd.clears, allocations + 1);
    QCOMPARE(st.frontEnd.textsIn(LineColour::Pass), QStringList{finished});
    QCOMPARE(st.frontEnd.texts(), QStringList{finished});
    QCOMPARE(st.frontEnd.cyclesEnded, 1);
    // Exhausted pools do not wrap around.
    QVERIFY(!st.allocator.allocateIdentities());
    QCOMPARE(st.frontEnd.cyclesEnded, 2);
}

void TestIdentityAllocator::overlongImeiIsRefused()
{
    Station st;
    ToolSettings &s = st.s;
    s.RunType = RunImei;
    s.imeiInputTypes = {InputLoadFromFile, InputLoadFromFile, InputLoadFromFile, InputLoadFromFile};
    st.allocator.setImeiSheetImport([](ImeiPool &pool, int) {
        pool.lists[0][0] = QStringLiteral("  350000000000006 ");
        pool.lists[1][0] = QStringLiteral("3500000000000061");
        pool.total = 1;
        return true;
    });
    QVERIFY(st.allocator.prepareIdentityPools());
    QVERIFY(!st.allocator.allocateIdentities());
    QCOMPARE(st.frontEnd.textsIn(LineColour::Error), QStringList{"Warning: the length of IMEI2 is overweight!"});
    QCOMPARE(st.frontEnd.states, (QList<int>{2, -1}));
    QCOMPARE(st.frontEnd.cyclesEnded, 1);
    QVERIFY(s.imeiList.isEmpty());
}

namespace {

// A station whose operator types IMEIs 1 and 2 and the Bluetooth address; MBSN and PSN come from custom series.
void makeManual(Station &st)
{
    ToolSettings &s = st.s;
    s.imeiInputTypes = {InputManual, InputManual, InputManual, InputManual};
    s.BTInputType = InputManual;
    s.MbsnMaxNum = 3;
    s.PsnMaxNum = 3;
}

// What the operator types once the pools are prepared (preparation clears the typed IMEI fields).
void typeIdentities(Station &st)
{
    st.frontEnd.fields[IdentityField::Imei1] = luhn(QStringLiteral("49015420323751"));
    st.frontEnd.fields[IdentityField::Imei2] = luhn(QStringLiteral("49015420323752"));
    st.frontEnd.fields[IdentityField::Bt] = QStringLiteral("002715082c32");
}

enum ManualCase
{
    ImeiPoolEmpty,
    MbsnPoolEmpty,
    PsnPoolEmpty,
    BtWithoutSource,
    TypedImeiRefused,
    TypedBtRefused,
};

} // namespace

void TestIdentityAllocator::manualModeFailures_data()
{
    QTest::addColumn<int>("manualCase");
    QTest::addColumn<int>("allocations"); // that succeed first
    QTest::addColumn<QString>("error");
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<int>("cyclesEnded");

    QTest::newRow("IMEI pool empty") << int(ImeiPoolEmpty) << 0 << "No imeis can be written!" << QList<int>{2, -1} << 1;
    QTest::newRow("MBSN pool used up") << int(MbsnPoolEmpty) << 2 << "No MBSN can be written!" << QList<int>{2, -1}
                                       << 1;
    QTest::newRow("PSN pool used up") << int(PsnPoolEmpty) << 1 << "No PSN can be written!" << QList<int>{2, -1} << 1;
    QTest::newRow("Bluetooth without a source")
        << int(BtWithoutSource) << 0 << "No BT can be written!" << QList<int>{2, -1} << 1;
    QTest::newRow("typed IMEI refused") << int(TypedImeiRefused) << 0 << "IMEI2 has repeated with previous IMEI"
                                        << QList<int>{2, -1} << 0;
    QTest::newRow("typed Bluetooth address refused")
        << int(TypedBtRefused) << 0 << "The length of BT is not enough!" << QList<int>{2} << 0;
}

void TestIdentityAllocator::manualModeFailures()
{
    QFETCH(int, manualCase);
    QFETCH(int, allocations);
    QFETCH(QString, error);
    QFETCH(QList<int>, states);
    QFETCH(int, cyclesEnded);

    Station st;
    ToolSettings &s = st.s;
    makeManual(st);
    if (manualCase == MbsnPoolEmpty)
        s.MbsnMaxNum = 2;
    if (manualCase == PsnPoolEmpty)
        s.PsnMaxNum = 1;
    QVERIFY(s.hasManualInput());
    QVERIFY(st.allocator.prepareIdentityPools());
    typeIdentities(st);
    switch (manualCase) {
    case ImeiPoolEmpty:
        s.imeiInputTypes = {InputCustom, InputCustom, InputCustom, InputCustom};
        s.ImeiMaskNum14 = QStringLiteral("35000000000000");
        st.h.imeiHistory.append(QStringLiteral("2016-03-05 10:00:00"), luhn(QStringLiteral("35000000000000")));
        QVERIFY(st.allocator.prepareIdentityPools());
        break;
    case BtWithoutSource:
        s.BTInputType = InputLoadFromFile;
        break;
    case TypedImeiRefused:
        st.frontEnd.fields[IdentityField::Imei2] = st.frontEnd.fields[IdentityField::Imei1];
        break;
    case TypedBtRefused:
        st.frontEnd.fields[IdentityField::Bt] = QStringLiteral("002715082c3");
        break;
    }
    for (int i = 0; i < allocations; ++i) {
        QVERIFY(st.allocator.allocateIdentities());
        QCOMPARE(s.currentBt, QStringLiteral("002715082c32"));
        s.clearCurrentIdentities(true);
    }
    st.frontEnd.states.clear();
    QVERIFY(!st.allocator.allocateIdentities());
    QCOMPARE(st.frontEnd.textsIn(LineColour::Error), QStringList{error});
    QCOMPARE(st.frontEnd.states, states);
    QCOMPARE(st.frontEnd.cyclesEnded, cyclesEnded);
}

void TestIdentityAllocator::pendingStampSurvivesARefusedSet()
{
    const SteppingClock clock(QDateTime(QDate(2016, 3, 5), QTime(10, 15, 30, 0)));
    Station st;
    ToolSettings &s = st.s;
    makeManual(st);
    s.MbsnInputType = InputAutoGeneration;
    s.Mbsnlen = 17;
    QVERIFY(st.allocator.prepareIdentityPools());
    typeIdentities(st);
    st.frontEnd.fields[IdentityField::Bt] = QStringLiteral("short");
    const QString stamp = s.currentMbsn;
    QVERIFY(!st.allocator.allocateIdentities()); // refused at the Bluetooth address, after the MBSN was taken
    QCOMPARE(s.currentMbsn, stamp);
    st.frontEnd.fields[IdentityField::Bt] = QStringLiteral("002715082c32");
    QVERIFY2(st.allocator.allocateIdentities(), qPrintable(st.frontEnd.texts().join(u'|')));
    QCOMPARE(s.currentMbsn, stamp);
    QCOMPARE(st.frontEnd.cyclesEnded, 0);
    s.clearCurrentIdentities(true);
    QVERIFY(st.allocator.allocateIdentities());
    QVERIFY(s.currentMbsn != stamp);
}

void TestIdentityAllocator::countersReachTheFileAtOnce_data()
{
    QTest::addColumn<bool>("poolMode");
    QTest::newRow("pool mode") << true;
    QTest::newRow("manual mode") << false;
}

void TestIdentityAllocator::countersReachTheFileAtOnce()
{
    QFETCH(bool, poolMode);
    Station st;
    ToolSettings &s = st.s;
    s.RunType = RunImei | RunBt;
    s.imeiInputTypes = {InputDefaultValue, InputAccumulationByStep, InputManual, InputManual};
    s.ImeiDefaultValue = QStringLiteral("012345678901230");
    s.normaliseDefaultImei();
    s.BTIsAutoAddr = true;
    s.BTInitAddr = QStringLiteral("002715082c32");
    s.BTEndAddr = QStringLiteral("020203040508");
    s.StartDelay = 1234;
    QVERIFY(s.save());
    if (!poolMode) {
        s.BTInputType = InputManual;
        st.frontEnd.fields[IdentityField::Bt] = QStringLiteral("002715082c99");
        s.BTCurrentAddr = QStringLiteral("002715082c40");
    }
    QVERIFY(st.allocator.prepareIdentityPools());
    QVERIFY(st.allocator.allocateIdentities());
    s.clearCurrentIdentities(true);
    QVERIFY(st.allocator.allocateIdentities());

    // What a restart after a power cut would read.
    ToolSettings restarted;
    restarted.load();
    QCOMPARE(restarted.ImeiDefaultValue, QStringLiteral("012345678901250"));
    QCOMPARE(restarted.imeiDefaultNumber, 12345678901250ULL);
    QCOMPARE(restarted.BTCurrentAddr, poolMode ? QStringLiteral("002715082c34") : QStringLiteral("002715082c40"));
    QCOMPARE(restarted.StartDelay, 1234); // the other keys are kept
    QCOMPARE(s.imeiList.value(0), luhn(QStringLiteral("01234567890124")));
}

void TestIdentityAllocator::failedCounterSaveHandsOutNothing_data()
{
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<bool>("bluetooth");
    QTest::newRow("settings file is a folder, default IMEIs") << false << false;
    QTest::newRow("settings file is a folder, Bluetooth range") << false << true;
    QTest::newRow("read-only cfg, default IMEIs") << true << false;
}

void TestIdentityAllocator::failedCounterSaveHandsOutNothing()
{
    QFETCH(bool, readOnlyFolder);
    QFETCH(bool, bluetooth);

    Station st;
    ToolSettings &s = st.s;
    s.RunType = bluetooth ? RunBt : RunImei;
    s.imeiInputTypes = {InputDefaultValue, InputDefaultValue, InputManual, InputManual};
    s.ImeiDefaultValue = QStringLiteral("350000000000000");
    s.normaliseDefaultImei();
    s.BTIsAutoAddr = true;
    s.BTCurrentAddr = QStringLiteral("002715082c40");
    QVERIFY(st.allocator.prepareIdentityPools());
    // The address prepared at start is handed out and written first: the next one moves the counter.
    if (bluetooth)
        QVERIFY(st.allocator.allocateIdentities());
    s.clearCurrentIdentities(true);
    QVERIFY(QDir().mkpath(QStringLiteral("cfg")));
    if (readOnlyFolder) {
        QVERIFY(QFile::setPermissions(QStringLiteral("cfg"), QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(QStringLiteral("cfg/probe"));
        if (probe.open(QIODevice::WriteOnly))
            QSKIP("this user writes into read-only folders");
    } else {
        QFile::remove(ToolSettings::filePath());
        QVERIFY(QDir().mkpath(ToolSettings::filePath()));
    }
    st.frontEnd.states.clear();
    QVERIFY(!st.allocator.allocateIdentities());
    QCOMPARE(st.frontEnd.textsIn(LineColour::Error),
             QStringList{"The counters could not be saved to cfg/ImeiSN.ini, so no identity is handed out!"});
    QCOMPARE(st.frontEnd.states.last(), -1);
    QCOMPARE(st.frontEnd.cyclesEnded, 1);
    QVERIFY(s.imeiList.isEmpty());
    QVERIFY(s.currentBt.isEmpty());
    QCOMPARE(s.ImeiDefaultValue, QStringLiteral("350000000000000"));
    QCOMPARE(s.imeiDefaultNumber, 350000000000000ULL);
    QCOMPARE(s.BTCurrentAddr, bluetooth ? QStringLiteral("002715082c41") : QStringLiteral("002715082c40"));

    // Once the file can be written again, the same values come out: none was handed out before.
    QFile::setPermissions(QStringLiteral("cfg"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QDir(QStringLiteral("cfg")).removeRecursively());
    QVERIFY(st.allocator.allocateIdentities());
    if (bluetooth)
        QCOMPARE(s.currentBt, QStringLiteral("002715082c41"));
    else
        QCOMPARE(s.imeiList.value(0), luhn(QStringLiteral("35000000000000")));
}

QTEST_GUILESS_MAIN(TestIdentityAllocator)
#include "TestIdentityAllocator.moc"
