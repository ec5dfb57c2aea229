#include "config/ToolSettings.h"
#include "identity/BtAddress.h"
#include "identity/IdentityGate.h"
#include "identity/Imei.h"
#include "identity/IssuedIdentities.h"
#include "identity/SerialNumber.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

namespace {

// What the station's histories hold, by kind.
class FakeIssued final : public IssuedIdentities
{
public:
    QHash<int, QSet<QString>> values;
    bool isIssued(int kind, const QString &value) const override { return values.value(kind).contains(value); }
};

} // namespace

// Every identity passes one gate before its record: its one form, then no second issue while its test is on.
class TestIdentityGate final : public QObject
{
    Q_OBJECT

private slots:
    void forms_data();
    void forms();
    void gate_data();
    void gate();
    void neverTwice();
};

void TestIdentityGate::forms_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("canonical"); // empty: refused

    QTest::newRow("IMEI") << int(RunImei) << "356938035643809"
                          << "356938035643809";
    QTest::newRow("IMEI of 14 digits") << int(RunImei) << "35693803564380"
                                       << "";
    QTest::newRow("IMEI of 16 digits") << int(RunImei) << "3569380356438090"
                                       << "";
    QTest::newRow("IMEI with a blank") << int(RunImei) << "35693803564380 "
                                       << "";
    QTest::newRow("IMEI with full-width digits") << int(RunImei) << QString(15, QChar(0xFF11)) << "";
    QTest::newRow("BT lower") << int(RunBt) << "002715082c32"
                              << "002715082c32";
    QTest::newRow("BT upper") << int(RunBt) << "0A1B2C3D4E5F"
                              << "0a1b2c3d4e5f";
    QTest::newRow("BT of 11 digits") << int(RunBt) << "002715082c3"
                                     << "";
    QTest::newRow("BT of 13 digits") << int(RunBt) << "1002715082c32"
                                     << "";
    QTest::newRow("BT not hexadecimal") << int(RunBt) << "00271508zc32"
                                        << "";
    QTest::newRow("serial") << int(RunMbsn) << "MB-0001/A"
                            << "MB-0001/A";
    QTest::newRow("serial with #") << int(RunMbsn) << "AB#12345"
                                   << "";
    QTest::newRow("serial with a line break") << int(RunPsn) << "AB\n12345"
                                              << "";
    QTest::newRow("serial with a blank inside") << int(RunPsn) << "AB 12345"
                                                << "";
    QTest::newRow("serial with a trailing blank") << int(RunPsn) << "AB12345 "
                                                  << "";
    QTest::newRow("serial not ASCII") << int(RunPsn) << QStringLiteral("AB\u00e912345") << "";
    QTest::newRow("serial empty") << int(RunPsn) << ""
                                  << "";
    QTest::newRow("serial too long") << int(RunPsn) << QString(SerialNumber::MaxLength + 1, u'A') << "";
}

void TestIdentityGate::forms()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, canonical);
    QString why;
    QString made;
    if (kind == RunImei) {
        if (const auto v = Imei::parse(text, &why))
            made = v->text();
    } else if (kind == RunBt) {
        if (const auto v = BtAddress::parse(text, &why))
            made = v->text();
    } else if (const auto v = SerialNumber::parse(text, &why)) {
        made = v->text();
    }
    QCOMPARE(made, canonical);
    QCOMPARE(why.isEmpty(), !canonical.isEmpty()); // a refusal always says why
}

void TestIdentityGate::gate_data()
{
    QTest::addColumn<QStringList>("imeis");
    QTest::addColumn<QString>("bt");
    QTest::addColumn<QString>("recorded"); // "kind value" held by the histories, or empty
    QTest::addColumn<bool>("check");
    QTest::addColumn<QString>("refusal"); // empty: admitted
    const QString a = QStringLiteral("356938035643809");
    const QString b = QStringLiteral("490154203237518");
    const QString c = QStringLiteral("012345678901237");

    QTest::newRow("pair") << QStringList{a, b} << ""
                          << "" << true << "";
    QTest::newRow("all equal to the first") << QStringList{a, a, a, a} << ""
                                            << "" << true << "";
    QTest::newRow("IMEI3 repeats IMEI2") << QStringList{a, b, b} << ""
                                         << "" << false << "another IMEI of the set";
    QTest::newRow("IMEI recorded") << QStringList{a, b} << ""
                                   << "1 " + b << true << "IMEI2 " + b;
    QTest::newRow("IMEI recorded, test off") << QStringList{a, b} << ""
                                             << "1 " + b << false << "";
    QTest::newRow("IMEI short") << QStringList{a, c.left(14)} << ""
                                << "" << false << "IMEI2 is not written";
    QTest::newRow("BT recorded, other case") << QStringList() << "0A1B2C3D4E5F"
                                             << "8 0a1b2c3d4e5f" << true << "0a1b2c3d4e5f";
    QTest::newRow("BT odd first octet") << QStringList() << "012715082c32"
                                        << "" << false << "odd";
}

void TestIdentityGate::gate()
{
    QFETCH(QStringList, imeis);
    QFETCH(QString, bt);
    QFETCH(QString, recorded);
    QFETCH(bool, check);
    QFETCH(QString, refusal);
    FakeIssued issued;
    if (!recorded.isEmpty())
        issued.values[recorded.section(u' ', 0, 0).toInt()].insert(recorded.section(u' ', 1));
    IdentityGate gate(issued);
    IdentityClaims::Set set{imeis, QString(), QString(), bt};
    QString why;
    QCOMPARE(gate.admit(set, {check, check, check, check}, &why), refusal.isEmpty());
    QVERIFY2(refusal.isEmpty() ? why.isEmpty() : why.contains(refusal), qPrintable(why));
    if (refusal.isEmpty() && !bt.isEmpty())
        QCOMPARE(set.bt, bt.toLower());
}

// Random sets over a small space of values, in either case and with stray blanks: whatever passes the gate with
// its test on was never let through before, by this run or by the histories.
void TestIdentityGate::neverTwice()
{
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    FakeIssued issued;
    const QStringList imeiSpace{"356938035643809", "490154203237518", "012345678901237", "35693803564380 "};
    const QStringList btSpace{"002715082c32", "002715082C32", "002715082c34", "0027150 82c3"};
    const QStringList serialSpace{"MB01", "MB02", "MB#3", "mb01"};
    for (int h = 0; h < 2; ++h) // some of them recorded by an earlier run
        issued.values[RunBt].insert(btSpace.at(random.bounded(3)).toLower());
    IdentityGate gate(issued);
    QHash<int, QSet<QString>> admitted = issued.values;
    for (int round = 0; round < 2000; ++round) {
        const auto pick = [&random](const QStringList &space) { return space.at(random.bounded(space.size())); };
        IdentityClaims::Set set{
            {pick(imeiSpace), pick(imeiSpace)}, pick(serialSpace), pick(serialSpace), pick(btSpace)};
        const IdentityGate::Checks checks{random.bounded(4) != 0, random.bounded(4) != 0, random.bounded(4) != 0,
                                          random.bounded(4) != 0};
        QString why;
        if (!gate.admit(set, checks, &why)) {
            QVERIFY2(!why.isEmpty(), qPrintable(QString::number(seed)));
            continue;
        }
        const auto once = [&](int kind, const QString &value, bool check) {
            QVERIFY2(value.size() <= 15 && !value.contains(u' ') && !value.contains(u'#'),
                     qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(value)));
            if (check)
                QVERIFY2(!admitted[kind].contains(value),
                         qPrintable(QStringLiteral("seed %1: %2 twice").arg(seed).arg(value)));
        };
        once(RunImei, set.imeis.at(0), checks.imei);
        if (set.imeis.at(1) != set.imeis.at(0))
            once(RunImei, set.imeis.at(1), checks.imei);
        once(RunMbsn, set.mbsn, checks.mbsn);
        once(RunPsn, set.psn, checks.psn);
        once(RunBt, set.bt, checks.bt);
        QCOMPARE(set.bt, set.bt.toLower());
        gate.remember(set);
        admitted[RunImei] << set.imeis.at(0) << set.imeis.at(1);
        admitted[RunMbsn] << set.mbsn;
        admitted[RunPsn] << set.psn;
        admitted[RunBt] << set.bt;
    }
}

QTEST_GUILESS_MAIN(TestIdentityGate)
#include "TestIdentityGate.moc"
