#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

// The frames of the serial-line protocol (README, "Serial-line protocol"):
//
//   0xA5 | length (u16 LE) | type (u8) | sequence (u8) | payload (length bytes) | CRC-16 (u16 LE)
//
// The CRC (CCITT: polynomial 0x1021, initial 0xFFFF) covers length, type, sequence and payload.
namespace SerialFrame {

constexpr quint8 Start = 0xA5;
constexpr int MaxPayload = 4096;
constexpr int Overhead = 7;

// Request types; a reply has the request's type with 0x80 set, and starts with a status (i32 LE).
enum Type : quint8
{
    Hello = 0x01,
    Prepare = 0x02,
    ChipId = 0x03,
    Version = 0x04,
    FlashInfo = 0x05,
    RamRunBegin = 0x06,
    RamRunData = 0x07,
    RamRunStart = 0x08,
    CheckStart = 0x09,
    Erase = 0x0A,
    FactoryOpen = 0x0B,
    FactoryLoad = 0x0C,
    FactorySave = 0x0D,
    FactoryInitialize = 0x0E,
    FactoryGet = 0x0F,
    FactorySet = 0x10,
    StationQuery = 0x11,
    StationSet = 0x12,
    FactoryClose = 0x13,
    Abort = 0x14, // no reply: ends the long request with the same sequence number
    Inject = 0x15,
    Bye = 0x16,
    Busy = 0x7F, // from the handset, every 100 ms of a long request: the request is still running
    Reply = 0x80,
};

struct Frame
{
    quint8 type = 0;
    quint8 sequence = 0;
    QByteArray payload;
};

quint16 crc16(const char *data, qsizetype size);
QByteArray encode(quint8 type, quint8 sequence, const QByteArray &payload);

// Collects received bytes and hands out whole frames. Noise is skipped: a start byte whose frame does not check
// is dropped and the search goes on from the next byte.
class Reader final
{
public:
    void append(const char *data, qsizetype size) { m_buffer.append(data, size); }
    std::optional<Frame> next();
    void clear() { m_buffer.clear(); }
    // After a pause in the line: a frame still incomplete will not be completed (its length was hit by noise),
    // so the search starts again past its start byte.
    void skipStalled()
    {
        if (!m_buffer.isEmpty())
            m_buffer.remove(0, 1);
    }
    bool isEmpty() const { return m_buffer.isEmpty(); }

private:
    QByteArray m_buffer;
};

} // namespace SerialFrame
