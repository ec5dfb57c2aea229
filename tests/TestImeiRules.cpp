#include "config/ToolSettings.h"
#include "identity/ImeiRules.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

namespace {

// The Luhn test as payment cards state it, over the whole number from the right: an independent
// computation of what the tool computes over the body from the left.
bool luhnValidFromRight(const QString &number)
{
    int sum = 0;
    for (qsizetype i = 0; i < number.size(); ++i) {
        int d = number.at(number.size() - 1 - i).digitValue();
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return sum % 10 == 0;
}

} // namespace

class TestImeiRules final : public QObject
{
    Q_OBJECT

private slots:
    void checkImei_data();
    void checkImei();
    void checkDigitMatchesIndependentLuhn();
    void adjustImei_data();
    void adjustImei();
    void imeiNumberAfter_data();
    void imeiNumberAfter();
    void keepDigits_data();
    void keepDigits();
    void fitRightAndLeft_data();
    void fitRightAndLeft();
    void checkIdentityLengths_data();
    void checkIdentityLengths();
};

void TestImeiRules::checkImei_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("verify");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("text");

    QTest::newRow("14 digits pass without change") << "10000000000000" << true << true << "10000000000000";
    QTest::newRow("wrong check digit is corrected") << "100000000000000" << true << false << "100000000000009";
    QTest::newRow("corrected value passes") << "100000000000009" << true << true << "100000000000009";
    QTest::newRow("known valid 1") << "490154203237518" << true << true << "490154203237518";
    QTest::newRow("known valid 2") << "356938035643809" << true << true << "356938035643809";
    QTest::newRow("known valid 3") << "352099001761481" << true << true << "352099001761481";
    QTest::newRow("known valid with last digit changed") << "352099001761482" << true << false << "352099001761481";
    QTest::newRow("no verification accepts any check digit") << "100000000000000" << false << true << "100000000000000";
    QTest::newRow("13 digits") << "1000000000000" << true << false << "1000000000000";
    QTest::newRow("16 digits") << "1000000000000009" << true << false << "1000000000000009";
    QTest::newRow("letter among 15") << "10000000000A009" << true << false << "10000000000A009";
    QTest::newRow("letter among 14 unverified") << "1000000000000A" << false << false << "1000000000000A";
    QTest::newRow("blank among 15") << "10000000000 009" << true << false << "10000000000 009";
    QTest::newRow("empty") << "" << true << false << "";
    // Digits of another script are digits to Unicode but never part of an IMEI.
    QTest::newRow("arabic-indic digits") << QString(15, QChar(0x0661)) << false << false << QString(15, QChar(0x0661));
}

void TestImeiRules::checkImei()
{
    QFETCH(QString, input);
    QFETCH(bool, verify);
    QFETCH(bool, expected);
    QFETCH(QString, text);
    QCOMPARE(::checkImei(input, verify), expected);
    QCOMPARE(input, text);
}

void TestImeiRules::checkDigitMatchesIndependentLuhn()
{
    QRandomGenerator rng(1234);
    for (int n = 0; n < 2000; ++n) {
        const QString body = QString::number(rng.bounded(Q_INT64_C(100000000000000))).rightJustified(14, u'0');
        int valid = 0;
        for (int d = 0; d <= 9; ++d) {
            QString imei = body + QChar(u'0' + d);
            const bool oracle = luhnValidFromRight(imei);
            valid += oracle ? 1 : 0;
            QCOMPARE(::checkImei(imei, true), oracle);
            QVERIFY(luhnValidFromRight(imei)); // a refused one was replaced by the valid one
            QCOMPARE(imei.left(14), body);
            QCOMPARE(::adjustImei(body + QChar(u'0' + d)), imei);
        }
        QCOMPARE(valid, 1);
    }
}

void TestImeiRules::adjustImei_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QByteArray>("log");

    QTest::newRow("empty") << ""
                           << "" << QByteArray();
    QTest::newRow("short body filled with zeros") << "1234"
                                                  << "123400000000004" << QByteArray();
    QTest::newRow("14 digits get their check digit") << "35693803564380"
                                                     << "356938035643809" << QByteArray();
    QTest::newRow("valid IMEI unchanged, no log line") << "356938035643809"
                                                       << "356938035643809" << QByteArray();
    QTest::newRow("invalid IMEI repaired with one log line")
        << "356938035643801"
        << "356938035643809" << QByteArray("IMEI 356938035643801 is adjusted to 356938035643809\n");
    QTest::newRow("17 digits: the first 15 count, valid") << "35693803564380977"
                                                          << "356938035643809" << QByteArray();
    QTest::newRow("17 digits: the first 15 count, invalid")
        << "35693803564380012"
        << "356938035643809" << QByteArray("IMEI 356938035643800 is adjusted to 356938035643809\n");
}

void TestImeiRules::adjustImei()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QFETCH(QByteArray, log);

    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QCOMPARE(::adjustImei(input, &buffer), expected);
    QCOMPARE(buffer.data(), log);
    // Without a log file the result is the same.
    QCOMPARE(::adjustImei(input), expected);
}

void TestImeiRules::imeiNumberAfter_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("step");
    QTest::addColumn<quint64>("expected");

    QTest::newRow("15 digits: step lands on the body") << "100000000000009" << 1 << Q_UINT64_C(100000000000019);
    QTest::newRow("15 digits, step 2") << "100000000000009" << 2 << Q_UINT64_C(100000000000029);
    QTest::newRow("14 digits: plain addition") << "10000000000000" << 1 << Q_UINT64_C(10000000000001);
    QTest::newRow("14 digits, step 2") << "10000000000000" << 2 << Q_UINT64_C(10000000000002);
    QTest::newRow("17 digits: only the first 15") << "10000000000000999" << 1 << Q_UINT64_C(100000000000019);
    QTest::newRow("body carry") << "999999999999990" << 1 << Q_UINT64_C(1000000000000000);
    QTest::newRow("not a number, short") << "12a4" << 1 << Q_UINT64_C(1);
    QTest::newRow("not a number, 15 characters") << "10000000000000x" << 1 << Q_UINT64_C(10);
    QTest::newRow("sign is not a number") << "+12" << 1 << Q_UINT64_C(1);
    QTest::newRow("empty") << "" << 1 << Q_UINT64_C(1);
}

void TestImeiRules::imeiNumberAfter()
{
    QFETCH(QString, input);
    QFETCH(int, step);
    QFETCH(quint64, expected);
    QCOMPARE(::imeiNumberAfter(input, step), expected);
}

void TestImeiRules::keepDigits_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<bool>("clean");

    QTest::newRow("digits only") << "356938035643809"
                                 << "356938035643809" << true;
    QTest::newRow("scanner noise removed") << " 3569-3803\r5643809\n"
                                           << "356938035643809" << false;
    QTest::newRow("letters removed") << "a1b2"
                                     << "12" << false;
    QTest::newRow("nothing left") << "abc"
                                  << "" << false;
    QTest::newRow("other scripts' digits removed") << QStringView(u"1\u06612").toString() << "12" << false;
    QTest::newRow("empty leaves both untouched") << ""
                                                 << "before" << true;
}

void TestImeiRules::keepDigits()
{
    QFETCH(QString, input);
    QFETCH(QString, digits);
    QFETCH(bool, clean);
    QString out = QStringLiteral("before");
    bool flag = true;
    ::keepDigits(input, out, flag);
    QCOMPARE(out, digits);
    QCOMPARE(flag, clean);
}

void TestImeiRules::fitRightAndLeft_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QString>("left");

    QTest::newRow("shorter is filled") << "123" << 6 << "123000"
                                       << "000123";
    QTest::newRow("equal stays") << "123456" << 6 << "123456"
                                 << "123456";
    QTest::newRow("longer is cut") << "12345678" << 6 << "123456"
                                   << "345678";
    QTest::newRow("mask to 14") << "100000000****" << 14 << "100000000****0"
                                << "0100000000****";
    QTest::newRow("empty") << "" << 3 << "000"
                           << "000";
    QTest::newRow("width zero") << "12" << 0 << ""
                                << "";
    QTest::newRow("negative width") << "12" << -1 << ""
                                    << "";
}

void TestImeiRules::fitRightAndLeft()
{
    QFETCH(QString, input);
    QFETCH(int, width);
    QFETCH(QString, right);
    QFETCH(QString, left);
    QString r = input;
    ::fitRight(r, width);
    QCOMPARE(r, right);
    QString l = input;
    ::fitLeft(l, width);
    QCOMPARE(l, left);
}

void TestImeiRules::checkIdentityLengths_data()
{
    QTest::addColumn<int>("runType");
    QTest::addColumn<int>("imeiNum");
    QTest::addColumn<QStringList>("imeis");
    QTest::addColumn<QString>("mbsn");
    QTest::addColumn<QString>("psn");
    QTest::addColumn<QString>("bt");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("btAfter");

    const QString imei = QStringLiteral("356938035643809");
    const QStringList four{imei, imei, imei, imei};
    const QString mbsn(17, u'M');
    const QString psn(20, u'P');
    const QString bt = QStringLiteral("002715082c32");
    const int all = RunImei | RunMbsn | RunPsn | RunBt;

    QTest::newRow("complete set") << all << 2 << four << mbsn << psn << bt << 0 << "" << bt;
    QTest::newRow("longer values pass") << all << 4 << QStringList(4, imei + "12") << mbsn + "X" << psn + "Y"
                                        << bt + "00" << 0 << "" << bt + "00";
    QTest::newRow("second IMEI short") << all << 2 << QStringList{imei, imei.left(14), imei, imei} << mbsn << psn << bt
                                       << -1 << "IMEI2" << bt;
    QTest::newRow("short IMEI beyond ImeiNum is not checked")
        << all << 1 << QStringList{imei, "1"} << mbsn << psn << bt << 0 << "" << bt;
    QTest::newRow("fewer IMEIs than ImeiNum") << all << 4 << QStringList{imei} << mbsn << psn << bt << 0 << "" << bt;
    QTest::newRow("MBSN short") << all << 2 << four << mbsn.left(16) << psn << bt << -1 << "MBSN" << bt;
    QTest::newRow("PSN short") << all << 2 << four << mbsn << psn.left(19) << bt << -1 << "PSN" << bt;
    QTest::newRow("BT short") << all << 2 << four << mbsn << psn << bt.left(11) << -1 << "BT" << bt.left(11);
    QTest::newRow("BT first octet odd") << all << 2 << four << mbsn << psn << "012715082c32" << -2 << ""
                                        << "";
    QTest::newRow("BT first octet even") << all << 2 << four << mbsn << psn << "022715082c32" << 0 << ""
                                         << "022715082c32";
    QTest::newRow("BT first octet 0x1f odd") << all << 2 << four << mbsn << psn << "1F2715082c32" << -2 << ""
                                             << "";
    QTest::newRow("first failure wins: IMEI before MBSN and BT") << all << 2 << QStringList{"1", imei, imei, imei} << ""
                                                                 << ""
                                                                 << "012715082c32" << -1 << "IMEI1"
                                                                 << "012715082c32";
    QTest::newRow("MBSN before PSN") << all << 2 << four << ""
                                     << "" << bt << -1 << "MBSN" << bt;
    QTest::newRow("disabled items are not checked") << int(RunImei) << 2 << four << ""
                                                    << ""
                                                    << "013" << 0 << ""
                                                    << "013";
    QTest::newRow("only BT") << int(RunBt) << 2 << QStringList() << ""
                             << ""
                             << "032715082c32" << -2 << ""
                             << "";
}

void TestImeiRules::checkIdentityLengths()
{
    QFETCH(int, runType);
    QFETCH(int, imeiNum);
    QFETCH(QStringList, imeis);
    QFETCH(QString, mbsn);
    QFETCH(QString, psn);
    QFETCH(QString, bt);
    QFETCH(int, expected);
    QFETCH(QString, label);
    QFETCH(QString, btAfter);

    ToolSettings settings;
    settings.RunType = runType;
    settings.ImeiNum = imeiNum;
    settings.imeiList = imeis;
    settings.currentMbsn = mbsn;
    settings.currentPsn = psn;
    settings.currentBt = bt;
    QString out;
    QCOMPARE(::checkIdentityLengths(settings, out), expected);
    QCOMPARE(out, label);
    QCOMPARE(settings.currentBt, btAfter);
}

QTEST_GUILESS_MAIN(TestImeiRules)
#include "TestImeiRules.moc"
