// The serial backend on a line that misbehaves: slow, dead, or gone. Each ends in a code, in bounded time.
// The handset's side of the line on its own: noise before a request does not hide the request.
#include "SerialFrame.h"
#include "support/TestSupport.h"

#include "tgtlink/DeviceBackend.h"

#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <unistd.h>

class TestSerialBackend final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { DeviceBackend::unload(); }

    void line_data()
    {
        QTest::addColumn<QString>("emulator");
        QTest::addColumn<QString>("options");
        QTest::addColumn<bool>("killAfterOpen");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<int>("chipRc");
        QTest::newRow("slow handset") << "--delay 60"
                                      << "timeout=150 retries=1" << false << true << int(TGT_OK);
        QTest::newRow("slower than the time-out")
            << "--delay 400"
            << "timeout=100 retries=1" << false << false << int(TGT_ERR_NO_DEVICE);
        // The line dies at the second request (the chip id) and stays dead past every retry.
        QTest::newRow("line dead") << "--disconnect-every 2 --disconnect-ms 3000"
                                   << "timeout=100 retries=2" << false << true << int(TGT_ERR_TIMEOUT);
        QTest::newRow("handset gone") << ""
                                      << "timeout=100 retries=2" << true << true << int(TGT_ERR_NO_DEVICE);
    }
    void line()
    {
        QFETCH(QString, emulator);
        QFETCH(QString, options);
        QFETCH(bool, killAfterOpen);
        QFETCH(bool, opens);
        QFETCH(int, chipRc);
        BenchFixture bench;
        QVERIFY(bench.plug(QStringLiteral("COM3")));
        QVERIFY2(DeviceBackend::load(QStringLiteral("serial"), options), qPrintable(DeviceBackend::error()));
        QProcess line;
        line.start(QStringLiteral(EMULATOR_EXE), QStringList{QStringLiteral("--handset"), QStringLiteral("COM3")} +
                                                     emulator.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        QVERIFY(line.waitForReadyRead(10000));
        const QString port = QString::fromLocal8Bit(line.readLine()).trimmed();

        std::unique_ptr<TargetConnection> connection(CreateTargetConnection(port));
        QCOMPARE(bool(connection), opens);
        if (connection) {
            if (killAfterOpen) {
                line.kill();
                QVERIFY(line.waitForFinished(5000));
            }
            QElapsedTimer timer;
            timer.start();
            unsigned chip = 0;
            QCOMPARE(ChipInfo::ReadChipId(connection.get(), chip), chipRc);
            QVERIFY(timer.elapsed() < 2000); // never longer than the retries
            if (chipRc != TGT_OK)
                QVERIFY(!DeviceBackend::lastError().isEmpty());
            connection.reset();
        }
        line.kill();
        line.waitForFinished(5000);
    }

    // Noise that reads as the start of a long frame, then a whole request, then silence: once the line has
    // paused the handset drops the false start and answers the request (no bytes come to make it look again).
    void requestBehindFalseStart_data()
    {
        QTest::addColumn<QByteArray>("noise");
        QTest::newRow("none") << QByteArray();
        QTest::newRow("false start") << QByteArray("\xA5\x00\x08", 3);
        QTest::newRow("two false starts") << QByteArray("\xA5\x00\x0F\x13\xA5\x40\x01", 7);
    }
    void requestBehindFalseStart()
    {
        QFETCH(QByteArray, noise);
        QProcess line;
        line.start(QStringLiteral(EMULATOR_EXE), QStringList{QStringLiteral("--handset"), QStringLiteral("COM3")});
        QVERIFY(line.waitForReadyRead(10000));
        const QByteArray port = line.readLine().trimmed();
        const int fd = ::open(port.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        const QByteArray bytes = noise + SerialFrame::encode(SerialFrame::ChipId, 9, {});
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        SerialFrame::Reader reader;
        std::optional<SerialFrame::Frame> reply;
        QElapsedTimer timer;
        timer.start();
        while (!reply && timer.elapsed() < 3000) {
            pollfd p{fd, POLLIN, 0};
            char in[256];
            const ssize_t n = poll(&p, 1, 20) > 0 ? ::read(fd, in, sizeof in) : 0;
            if (n > 0)
                reader.append(in, n);
            reply = reader.next();
        }
        ::close(fd);
        line.kill();
        line.waitForFinished(5000);
        QVERIFY2(reply, "no answer");
        QCOMPARE(int(reply->type), int(SerialFrame::ChipId | SerialFrame::Reply));
        QCOMPARE(int(reply->sequence), 9);
    }
};

QTEST_GUILESS_MAIN(TestSerialBackend)
#include "TestSerialBackend.moc"
