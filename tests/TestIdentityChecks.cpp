#include "config/ToolSettings.h"
#include "history/StationHistories.h"
#include "identity/IdentityChecks.h"
#include "identity/IdentityPool.h"
#include "identity/ImeiPool.h"
#include "identity/LocalIssuedIdentities.h"
#include "support/RecordingFrontEnd.h"

#include <QBuffer>
#include <QTest>

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

// 14-digit bodies stand for the IMEI with its check digit; anything else stays as written.
QStringList expand(const QStringList &values)
{
    QStringList result;
    for (const QString &v : values)
        result.append(v.size() == 14 ? luhn(v) : v);
    return result;
}

struct Checks
{
    Checks() { s.ImeiNum = 2; }
    ToolSettings s;
    StationHistories h;
    RecordingFrontEnd frontEnd;
    LocalIssuedIdentities issued{h};
    ImeiPool imeiPool;
    IdentityPool mbsnPool, psnPool, btPool;
    IdentityChecks checks{s, frontEnd, issued, imeiPool, mbsnPool, psnPool, btPool};

    QStringList slotZero() const
    {
        QStringList result;
        for (const auto &list : imeiPool.lists)
            result.append(list.at(0));
        return result;
    }
    void setImeiFields(const QStringList &texts)
    {
        for (int i = 0; i < texts.size(); ++i)
            frontEnd.fields[static_cast<IdentityField>(i)] = texts.at(i);
    }
};

const QString A = QStringLiteral("49015420323751");
const QString B = QStringLiteral("49015420323752");
const QString C = QStringLiteral("49015420323753");
const QString D0 = QStringLiteral("35000000000000");

QString body(int n)
{
    return QStringLiteral("350000000000%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestIdentityChecks final : public QObject
{
    Q_OBJECT

private slots:
    void imeiSet_data();
    void imeiSet();
    void imeiSetWithPoolValues();
    void counterEnds_data();
    void counterEnds();
    void defaultValuesAreLogged();
    void preview_data();
    void preview();
    void serialAndBt_data();
    void serialAndBt();
    void showAllocatedImeis_data();
    void showAllocatedImeis();
    void showGeneratedSerial();
};

void TestIdentityChecks::imeiSet_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("focus"); // IMEI field index focused, -1 none
    QTest::addColumn<bool>("selectAll");
    QTest::addColumn<QStringList>("pool"); // slot 0 of the four lists after a pass
    QTest::addColumn<QString>("defaultAfter");

    const QList<int> typed{0, 0, 0, 0};
    const QString d = QStringLiteral("350000000000000");
    const QStringList none;
    QTest::newRow("typed pair") << typed << 2 << expand({A, B}) << true << none << QString() << -1 << false
                                << expand({A, B, A, A}) << d;
    QTest::newRow("typed IMEI too short") << typed << 2 << QStringList{A, luhn(B)} << true << none
                                          << "The length of IMEI1 is not enough!" << 0 << true << QStringList() << d;
    QTest::newRow("wrong check digit") << typed << 2 << QStringList{luhn(A), B + QStringLiteral("0")} << true << none
                                       << "IMEI2 is invalid,you can use " + luhn(B) << 1 << true << QStringList() << d;
    QTest::newRow("not digits") << typed << 1 << QStringList{QStringLiteral("49015420323751x")} << true << none
                                << "IMEI1 is invalid,you can use 49015420323751x" << 0 << true << QStringList() << d;
    QTest::newRow("typed IMEI recorded") << typed << 2 << expand({A, B}) << true << QStringList{luhn(C) + "," + luhn(B)}
                                         << "IMEI2 can not be same as previous IMEI" << 1 << true << QStringList() << d;
    QTest::newRow("typed IMEI recorded, test off") << typed << 2 << expand({A, B}) << false << expand({B}) << QString()
                                                   << -1 << false << expand({A, B, A, A}) << d;
    QTest::newRow("IMEI2 equal to IMEI1, test off")
        << typed << 2 << expand({A, A}) << false << none << "IMEI2 has repeated with previous IMEI" << 1 << true
        << QStringList() << d;
    QTest::newRow("IMEI4 equal to IMEI2") << typed << 4 << expand({A, B, C, B}) << false << none
                                          << "IMEI4 has repeated with previous IMEI" << 3 << true << QStringList() << d;
    QTest::newRow("IMEI3 beyond ImeiNum is not read")
        << typed << 2 << expand({A, B, A}) << false << none << QString() << -1 << false << expand({A, B, A, A}) << d;
    QTest::newRow("default and steps") << QList<int>{1, 2, 2, 2} << 4 << none << false << none << QString() << -1
                                       << false << expand({body(0), body(2), body(4), body(6)}) << "350000000000010";
    QTest::newRow("two defaults") << QList<int>{1, 1, 0, 0} << 2 << none << false << none << QString() << -1 << false
                                  << expand({body(0), body(1), body(0), body(0)}) << "350000000000020";
    QTest::newRow("step from a typed IMEI") << QList<int>{0, 2, 0, 0} << 2 << expand({A}) << true << none << QString()
                                            << -1 << false << expand({A, QStringLiteral("49015420323753"), A, A}) << d;
    QTest::newRow("step on the first position is empty")
        << QList<int>{2, 0, 0, 0} << 2 << expand({QString(), A}) << false << none << QString() << -1 << false
        << QStringList{QString(), luhn(A), QString(), QString()} << d;
    QTest::newRow("recorded default skipped")
        << QList<int>{1, 2, 0, 0} << 2 << none << true << expand({body(0)}) << QString() << -1 << false
        << expand({body(1), body(3), body(1), body(1)}) << "350000000000020";
    QTest::newRow("recorded step moves the set on")
        << QList<int>{1, 2, 0, 0} << 2 << none << true << QStringList{luhn(body(9)) + "," + luhn(body(2))} << QString()
        << -1 << false << expand({body(1), body(3), body(1), body(1)}) << "350000000000020";
    QTest::newRow("recorded values kept with the test off")
        << QList<int>{1, 2, 0, 0} << 2 << none << false << expand({body(0), body(2)}) << QString() << -1 << false
        << expand({body(0), body(2), body(0), body(0)}) << "350000000000010";
    QTest::newRow("recorded step after a typed IMEI")
        << QList<int>{0, 2, 0, 0} << 2 << expand({A}) << true << expand({C}) << "IMEI2 can not be same as previous IMEI"
        << -1 << false << QStringList() << d;
    QTest::newRow("a failed set consumes no default value")
        << QList<int>{1, 0, 0, 0} << 2 << expand({QString(), QStringLiteral("4901542032375")}) << false << none
        << "The length of IMEI2 is not enough!" << 1 << true << QStringList() << d;
    QTest::newRow("typed IMEI equal to the default value")
        << QList<int>{1, 0, 0, 0} << 2 << expand({QString(), body(0)}) << false << none
        << "IMEI2 has repeated with previous IMEI" << 1 << true << QStringList() << d;
}

void TestIdentityChecks::imeiSet()
{
    QFETCH(QList<int>, types);
    QFETCH(int, imeiNum);
    QFETCH(QStringList, fields);
    QFETCH(bool, check);
    QFETCH(QStringList, history);
    QFETCH(QString, error);
    QFETCH(int, focus);
    QFETCH(bool, selectAll);
    QFETCH(QStringList, pool);
    QFETCH(QString, defaultAfter);

    Checks c;
    c.s.imeiInputTypes = QVector<int>(types.begin(), types.end());
    c.s.ImeiNum = imeiNum;
    c.s.ImeiCheckRepetitive = check;
    c.s.ImeiDefaultValue = QStringLiteral("350000000000000");
    c.s.normaliseDefaultImei();
    for (const QString &record : history)
        c.h.imeiHistory.append(QStringLiteral("2016-09-13 08:00:00"), record);
    c.setImeiFields(fields);
    c.imeiPool.total = 7;
    c.imeiPool.cursor = 3;

    QCOMPARE(c.checks.checkImeiSet(false), error.isEmpty());
    QCOMPARE(c.frontEnd.textsIn(LineColour::Error), error.isEmpty() ? QStringList() : QStringList{error});
    QCOMPARE(c.frontEnd.lines.size(), c.frontEnd.textsIn(LineColour::Error).size());
    if (focus >= 0)
        QCOMPARE(c.frontEnd.focus, (QList<QPair<IdentityField, bool>>{{IdentityField(focus), selectAll}}));
    else
        QVERIFY(c.frontEnd.focus.isEmpty());
    QCOMPARE(c.s.ImeiDefaultValue, defaultAfter);
    QCOMPARE(c.s.imeiDefaultNumber, defaultAfter.toULongLong());
    if (!error.isEmpty()) {
        QCOMPARE(c.imeiPool.total, 7); // untouched
        return;
    }
    QCOMPARE(c.slotZero(), pool);
    QCOMPARE(c.imeiPool.total, 1);
    QCOMPARE(c.imeiPool.cursor, 0);
}

// The default and step IMEIs stay in their type allocation code: at its end, or with no default set, nothing is
// handed out, the default stays and an error line says why.
void TestIdentityChecks::counterEnds_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<QStringList>("pool"); // the first two IMEIs; empty when refused
    QTest::addColumn<QString>("error");

    const QList<int> single{1, 0, 0, 0};
    const QList<int> step{1, 2, 0, 0};
    const QString end = QStringLiteral("No default IMEI is handed out: the default IMEI counter is at the end of type "
                                       "allocation code %1; set ImeiDefaultValue to a new code");
    const QString unset = QStringLiteral("No default IMEI is handed out: ImeiDefaultValue in cfg/ImeiSN.ini is not 15 "
                                         "digits (\"%1\"); set it in the Setup dialog");
    QTest::newRow("last IMEI of the number space")
        << single << "999999999999980" << expand({QStringLiteral("99999999999998")}) << QString();
    QTest::newRow("end of the number space") << single << "999999999999990" << QStringList() << end.arg("99999999");
    QTest::newRow("end of a code") << single << "352099009999991" << QStringList() << end.arg("35209900");
    QTest::newRow("before the end of a code")
        << single << "352099009999970" << expand({QStringLiteral("35209900999997")}) << QString();
    QTest::newRow("two defaults reach the end")
        << QList<int>{1, 1, 0, 0} << "352099009999980" << QStringList() << end.arg("35209900");
    QTest::newRow("step leaves the code")
        << step << "352099009999980" << QStringList()
        << "IMEI2 is not handed out: the step from " + luhn(QStringLiteral("35209900999998")) +
               " leaves type allocation code 35209900";
    QTest::newRow("step within the code")
        << step << "352099009999960" << expand({QStringLiteral("35209900999996"), QStringLiteral("35209900999998")})
        << QString();
    QTest::newRow("unset") << single << QString(QChar(0xCC)) << QStringList()
                           << unset.arg(QString(QChar(0xCC)) + QString(14, u'0'));
}

void TestIdentityChecks::counterEnds()
{
    QFETCH(QList<int>, types);
    QFETCH(QString, defaultValue);
    QFETCH(QStringList, pool);
    QFETCH(QString, error);

    Checks c;
    c.s.imeiInputTypes = QVector<int>(types.begin(), types.end());
    c.s.ImeiNum = int(types.size() - types.count(0));
    c.s.ImeiDefaultValue = defaultValue;
    c.s.normaliseDefaultImei();
    const QString before = c.s.ImeiDefaultValue;
    QCOMPARE(c.checks.checkImeiSet(false), error.isEmpty());
    QCOMPARE(c.frontEnd.textsIn(LineColour::Error), error.isEmpty() ? QStringList() : QStringList{error});
    if (!error.isEmpty()) {
        QCOMPARE(c.s.ImeiDefaultValue, before);
        return;
    }
    QCOMPARE(c.slotZero().mid(0, pool.size()), pool);
    QVERIFY(c.s.hasDefaultImei());
    QCOMPARE(c.s.ImeiDefaultValue.left(8), before.left(8));
}

void TestIdentityChecks::imeiSetWithPoolValues()
{
    Checks c;
    c.s.imeiInputTypes = {InputDefaultValue, InputManual, InputManual, InputManual};
    c.s.ImeiDefaultValue = QStringLiteral("350000000000000");
    c.s.normaliseDefaultImei();
    c.s.ImeiCheckRepetitive = true;
    c.imeiPool.lists[0][0] = luhn(A);
    c.h.imeiHistory.append(QStringLiteral("2016-09-13 08:00:00"), luhn(A)); // tested when it was allocated
    c.setImeiFields({QString(), luhn(B)});
    QVERIFY(c.checks.checkImeiSet(true));
    QCOMPARE(c.slotZero(), expand({A, B, A, A}));
    QCOMPARE(c.s.ImeiDefaultValue, QStringLiteral("350000000000000"));
}

void TestIdentityChecks::defaultValuesAreLogged()
{
    Checks c;
    QBuffer log;
    QVERIFY(log.open(QIODevice::WriteOnly));
    c.frontEnd.log = &log;
    c.s.imeiInputTypes = {InputDefaultValue, InputAccumulationByStep, InputManual, InputManual};
    c.s.ImeiDefaultValue = QStringLiteral("350000000000000");
    c.s.normaliseDefaultImei();
    QVERIFY(c.checks.checkImeiSet(false));
    // The stored default carries no valid check digit, so its IMEI is repaired and the repair logged; the step
    // keeps the repaired check digit's neighbour and is repaired again.
    QCOMPARE(log.data(), QStringLiteral("IMEI 350000000000000 is adjusted to %1\nIMEI %2 is adjusted to %3\n")
                             .arg(luhn(body(0)), luhn(body(0)).left(12) + QStringLiteral("02") + luhn(body(0)).right(1),
                                  luhn(body(2)))
                             .toLatin1());
}

void TestIdentityChecks::preview_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QStringList>("preview");

    QTest::newRow("default and steps") << QList<int>{1, 2, 2, 2} << false
                                       << expand({body(0), body(2), body(4), body(6)});
    QTest::newRow("typed then step: both empty")
        << QList<int>{0, 2, 1, 0} << false << QStringList{QString(), QString(), luhn(body(0)), QString()};
    QTest::newRow("recorded values skipped as at allocation")
        << QList<int>{1, 2, 0, 0} << true << QStringList{luhn(body(1)), luhn(body(3)), QString(), QString()};
}

void TestIdentityChecks::preview()
{
    QFETCH(QList<int>, types);
    QFETCH(bool, check);
    QFETCH(QStringList, preview);

    Checks c;
    c.s.ImeiNum = 4;
    c.s.imeiInputTypes = QVector<int>(types.begin(), types.end());
    c.s.ImeiCheckRepetitive = check;
    c.h.imeiHistory.append(QStringLiteral("2016-09-13 08:00:00"), luhn(body(2)));
    c.s.ImeiDefaultValue = QStringLiteral("350000000000000");
    c.s.normaliseDefaultImei();
    const std::array<QString, 4> shown = c.checks.previewImeis();
    QCOMPARE(QStringList(shown.begin(), shown.end()), preview);
    QCOMPARE(c.s.ImeiDefaultValue, QStringLiteral("350000000000000")); // a preview stores nothing
    QVERIFY(c.frontEnd.lines.isEmpty());
}

void TestIdentityChecks::serialAndBt_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("check");
    QTest::addColumn<QString>("recorded");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("pooled");

    QTest::newRow("MBSN") << int(RunMbsn) << "MB0001" << true << "MB0002" << QString() << "MB0001";
    QTest::newRow("MBSN simplified") << int(RunMbsn) << " MB0001 " << true << QString() << QString() << "MB0001";
    QTest::newRow("MBSN too short") << int(RunMbsn) << "MB001" << true << QString()
                                    << "The length of MBSN is not enough!" << QString();
    QTest::newRow("MBSN with a dash") << int(RunMbsn) << "MB-001" << true << QString() << "MBSN is invalid!"
                                      << QString();
    QTest::newRow("MBSN too long") << int(RunMbsn) << "MB00001" << true << QString() << "MBSN is invalid!" << QString();
    QTest::newRow("MBSN recorded") << int(RunMbsn) << "MB0001" << true << "MB0001"
                                   << "MBSN has repeated with previous!" << QString();
    QTest::newRow("MBSN recorded, test off") << int(RunMbsn) << "MB0001" << false << "MB0001" << QString() << "MB0001";
    QTest::newRow("PSN too short") << int(RunPsn) << "PS01" << true << QString() << "The length of PSN is not enough!"
                                   << QString();
    QTest::newRow("PSN invalid") << int(RunPsn) << "PS 0001" << true << QString() << "PSN is invalid!" << QString();
    QTest::newRow("PSN recorded") << int(RunPsn) << "PS0001" << true << "PS0001"
                                  << "PSN has repeated with previous!" << QString();
    QTest::newRow("BT as typed, trailing blank dropped")
        << int(RunBt) << "002715082c32 " << true << "002715082c33" << QString() << "002715082c32";
    QTest::newRow("BT in upper case, kept in lower case")
        << int(RunBt) << "002715082C32" << true << "002715082c33" << QString() << "002715082c32";
    QTest::newRow("BT not hexadecimal") << int(RunBt) << "002715082x32" << true << QString() << "BT is invalid!"
                                        << QString();
    QTest::newRow("BT too short") << int(RunBt) << "002715082c3" << true << QString()
                                  << "The length of BT is not enough!" << QString();
    QTest::newRow("BT recorded") << int(RunBt) << "002715082c32" << true << "002715082c32"
                                 << "BT has repeated with previous!" << QString();
    QTest::newRow("BT recorded, scanned in other case") << int(RunBt) << "002715082C32" << true << "002715082c32"
                                                        << "BT has repeated with previous!" << QString();
}

void TestIdentityChecks::serialAndBt()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, check);
    QFETCH(QString, recorded);
    QFETCH(QString, error);
    QFETCH(QString, pooled);

    Checks c;
    c.s.Mbsnlen = 6;
    c.s.Psnlen = 6;
    c.s.MbsnCheckRepetitive = c.s.PsnCheckRepetitive = c.s.BTCheckRepetitive = check;
    IdentityPool *pool = nullptr;
    IdentityField field;
    bool passed = false;
    switch (kind) {
    case RunMbsn:
        c.h.mbsnHistory.append(recorded);
        field = IdentityField::Mbsn;
        c.frontEnd.fields[field] = text;
        passed = c.checks.checkMbsn();
        pool = &c.mbsnPool;
        break;
    case RunPsn:
        c.h.psnHistory.append(recorded);
        field = IdentityField::Psn;
        c.frontEnd.fields[field] = text;
        passed = c.checks.checkPsn();
        pool = &c.psnPool;
        break;
    default:
        c.h.btHistory.append(recorded);
        field = IdentityField::Bt;
        c.frontEnd.fields[field] = text;
        passed = c.checks.checkBt();
        pool = &c.btPool;
        break;
    }
    QCOMPARE(passed, error.isEmpty());
    QCOMPARE(c.frontEnd.textsIn(LineColour::Error), error.isEmpty() ? QStringList() : QStringList{error});
    if (!passed) {
        QCOMPARE(c.frontEnd.focus, (QList<QPair<IdentityField, bool>>{{field, true}}));
        QCOMPARE(pool->total, 0);
        return;
    }
    QCOMPARE(pool->total, 1);
    QCOMPARE(pool->cursor, 0);
    QCOMPARE(pool->values.at(0), pooled);
}

void TestIdentityChecks::showAllocatedImeis_data()
{
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<QStringList>("imeis");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("fields");

    const QString a = luhn(A), b = luhn(B);
    QTest::newRow("two of four shown, the rest cleared")
        << 2 << QStringList{a, b, a, a} << true << QStringList{a, b, QString(), QString()};
    QTest::newRow("overlong second") << 2 << QStringList{a, b + "1", a, a} << false
                                     << QStringList{a, "old", "old", "old"};
    QTest::newRow("overlong beyond ImeiNum is not shown")
        << 1 << QStringList{a, b + "1", a, a} << true << QStringList{a, QString(), QString(), QString()};
}

void TestIdentityChecks::showAllocatedImeis()
{
    QFETCH(int, imeiNum);
    QFETCH(QStringList, imeis);
    QFETCH(bool, ok);
    QFETCH(QStringList, fields);

    Checks c;
    c.s.ImeiNum = imeiNum;
    c.setImeiFields({QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("old")});
    QCOMPARE(c.checks.showAllocatedImeis(imeis), ok);
    QStringList shown;
    for (int i = 0; i < 4; ++i)
        shown.append(c.frontEnd.fields.value(IdentityField(i)));
    QCOMPARE(shown, fields);
    QCOMPARE(c.frontEnd.texts(),
             ok ? QStringList() : QStringList{QStringLiteral("Warning: the length of IMEI2 is overweight!")});
}

void TestIdentityChecks::showGeneratedSerial()
{
    Checks c;
    c.s.MbsnInputType = InputCustom;
    c.s.PsnInputType = InputManual;
    c.frontEnd.fields[IdentityField::Psn] = QStringLiteral("typed");
    c.checks.showGeneratedSerial(RunMbsn, QStringLiteral("MB0001"));
    c.checks.showGeneratedSerial(RunPsn, QStringLiteral("PS0001"));
    QCOMPARE(c.frontEnd.fields.value(IdentityField::Mbsn), QStringLiteral("MB0001"));
    QCOMPARE(c.frontEnd.fields.value(IdentityField::Psn), QStringLiteral("typed"));
}

QTEST_GUILESS_MAIN(TestIdentityChecks)
#include "TestIdentityChecks.moc"
