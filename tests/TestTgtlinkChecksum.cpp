// IMEI check digits and the library's error texts.
#include "tgtlink/FactorySet.h"
#include "tgtlink/TargetError.h"

#include <QtTest>

namespace {

// The textbook Luhn check over the whole number, counted from the right: an oracle written independently of
// the library's body-position formulation.
bool luhnValid(const std::string &digits)
{
    int sum = 0;
    bool doubleIt = false;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        int d = *it - '0';
        if (doubleIt)
            d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
        doubleIt = !doubleIt;
    }
    return sum % 10 == 0;
}

} // namespace

class TestTgtlinkChecksum final : public QObject
{
    Q_OBJECT

private slots:
    void addChecksum_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");
        QTest::newRow("leading one") << "10000000000000"
                                     << "100000000000009";
        QTest::newRow("published example") << "49015420323751"
                                           << "490154203237518";
        QTest::newRow("remainder zero") << "00000000000000"
                                        << "000000000000000";
        QTest::newRow("thirteen digits") << "1234567890123"
                                         << "";
        QTest::newRow("fifteen digits") << "123456789012345"
                                        << "";
        QTest::newRow("letter") << "1234567890123A"
                                << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void addChecksum()
    {
        QFETCH(QString, body);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(FactorySet::AddIMEIChecksum(body.toStdString())), expected);
    }

    // Every check digit for many bodies: exactly one is valid, the one AddIMEIChecksum gives, as the oracle says.
    void checkDigitAgreesWithOracle()
    {
        quint64 seed = 12345;
        for (int n = 0; n < 500; ++n) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const std::string body = QString::number(seed % 100000000000000ull).rightJustified(14, '0').toStdString();
            const std::string imei = FactorySet::AddIMEIChecksum(body);
            QCOMPARE(imei.substr(0, 14), body);
            for (char d = '0'; d <= '9'; ++d) {
                const std::string candidate = body + d;
                QCOMPARE(FactorySet::IsIMEIValid(candidate), luhnValid(candidate));
                QCOMPARE(FactorySet::IsIMEIValid(candidate), candidate == imei);
            }
        }
    }

    void isValidRefusesMalformed_data()
    {
        QTest::addColumn<QString>("imei");
        QTest::newRow("fourteen") << "49015420323751";
        QTest::newRow("sixteen") << "4901542032375180";
        QTest::newRow("letter") << "49015420323751A";
        QTest::newRow("blank") << "49015420323751 ";
        QTest::newRow("empty") << "";
    }
    void isValidRefusesMalformed()
    {
        QFETCH(QString, imei);
        QVERIFY(!FactorySet::IsIMEIValid(imei.toStdString()));
    }

    void everyCodeHasItsOwnText()
    {
        const int codes[] = {TGT_OK,
                             TGT_ERR_NO_DEVICE,
                             TGT_ERR_IO,
                             TGT_ERR_TIMEOUT,
                             TGT_ERR_NOT_SUPPORTED,
                             TGT_ERR_BAD_IMAGE,
                             TGT_ERR_NO_FACTORY_DATA,
                             TGT_ERR_ABORTED,
                             TGT_ERR_NOT_STARTED,
                             TGT_ERR_WRONG_CHIP,
                             TGT_ERR_NO_VERSION,
                             TGT_ERR_OUT_OF_RANGE,
                             TGT_ERR_INVALID_ARGUMENT,
                             TGT_ERR_INVALID_IMEI};
        QSet<QString> texts;
        for (int code : codes) {
            const QString text = QString::fromStdString(TargetStrError(code));
            QVERIFY2(!text.isEmpty(), qPrintable(QString::number(code)));
            texts.insert(text);
        }
        QCOMPARE(texts.size(), int(std::size(codes)));
        QVERIFY(QString::fromStdString(TargetStrError(-4242)).contains(QLatin1String("-4242")));
    }
};

QTEST_GUILESS_MAIN(TestTgtlinkChecksum)
#include "TestTgtlinkChecksum.moc"
