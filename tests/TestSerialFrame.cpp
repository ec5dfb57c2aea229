// The serial line's framing: whole frames out of a byte stream with noise, damage and stalls.
#include "SerialFrame.h"

#include <QtTest>

namespace {
QByteArray frame(quint8 type, quint8 sequence, const QByteArray &payload)
{
    return SerialFrame::encode(type, sequence, payload);
}

QByteArray flipped(QByteArray bytes, int at)
{
    bytes[at] = char(bytes[at] ^ 0x10);
    return bytes;
}
} // namespace

class TestSerialFrame final : public QObject
{
    Q_OBJECT

private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("first"); // received, then a pause when `stall`
        QTest::addColumn<bool>("stall");
        QTest::addColumn<QByteArray>("second");  // received after it
        QTest::addColumn<QStringList>("frames"); // "type/sequence/payload in hex" of each frame read
        const QByteArray a = frame(0x03, 7, "abc");
        const QByteArray b = frame(0x83, 7, QByteArray("\x00\x00\x00\x00\xA5", 5));
        QTest::newRow("clean") << a << false << b << QStringList{"3/7/616263", "131/7/00000000a5"};
        QTest::newRow("noise before") << QByteArray("\x00\xA5\x13\xA5", 4) << true << a << QStringList{"3/7/616263"};
        QTest::newRow("payload hit") << flipped(a, 6) << false << b << QStringList{"131/7/00000000a5"};
        QTest::newRow("crc hit") << flipped(a, a.size() - 1) << false << a << QStringList{"3/7/616263"};
        QTest::newRow("length over the limit")
            << QByteArray("\xA5\xFF\xFF", 3) << false << a << QStringList{"3/7/616263"};
        QTest::newRow("split") << a.left(4) << false << a.mid(4) << QStringList{"3/7/616263"};
        // A length hit by noise within the limit waits for bytes that never come, until the line pauses.
        QTest::newRow("stalled length") << flipped(a, 1) << true << a << QStringList{"3/7/616263"};
        QTest::newRow("byte lost") << a.left(5) + a.mid(6) << true << a << QStringList{"3/7/616263"};
    }
    void reader()
    {
        QFETCH(QByteArray, first);
        QFETCH(bool, stall);
        QFETCH(QByteArray, second);
        QFETCH(QStringList, frames);
        SerialFrame::Reader reader;
        QStringList got;
        const auto drain = [&] {
            while (const std::optional<SerialFrame::Frame> f = reader.next())
                got.append(QStringLiteral("%1/%2/").arg(f->type).arg(f->sequence) +
                           QString::fromLatin1(f->payload.toHex()));
        };
        reader.append(first.constData(), first.size());
        drain();
        if (stall)
            reader.skipStalled();
        reader.append(second.constData(), second.size());
        drain();
        QCOMPARE(got, frames);
    }
};

QTEST_GUILESS_MAIN(TestSerialFrame)
#include "TestSerialFrame.moc"
