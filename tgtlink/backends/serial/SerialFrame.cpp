#include "SerialFrame.h"

#include <QtEndian>

namespace SerialFrame {

quint16 crc16(const char *data, qsizetype size)
{
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= quint16(quint8(data[i])) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray encode(quint8 type, quint8 sequence, const QByteArray &payload)
{
    QByteArray frame;
    frame.reserve(payload.size() + Overhead);
    frame.append(char(Start));
    char length[2];
    qToLittleEndian<quint16>(quint16(payload.size()), length);
    frame.append(length, 2);
    frame.append(char(type));
    frame.append(char(sequence));
    frame.append(payload);
    char crc[2];
    qToLittleEndian<quint16>(crc16(frame.constData() + 1, frame.size() - 1), crc);
    frame.append(crc, 2);
    return frame;
}

std::optional<Frame> Reader::next()
{
    for (;;) {
        const qsizetype start = m_buffer.indexOf(char(Start));
        if (start < 0) {
            m_buffer.clear();
            return std::nullopt;
        }
        m_buffer.remove(0, start);
        if (m_buffer.size() < 3)
            return std::nullopt;
        const int length = qFromLittleEndian<quint16>(m_buffer.constData() + 1);
        if (length > MaxPayload) {
            m_buffer.remove(0, 1);
            continue;
        }
        if (m_buffer.size() < length + Overhead)
            return std::nullopt;
        const quint16 crc = qFromLittleEndian<quint16>(m_buffer.constData() + 5 + length);
        if (crc != crc16(m_buffer.constData() + 1, 4 + length)) {
            m_buffer.remove(0, 1);
            continue;
        }
        Frame frame;
        frame.type = quint8(m_buffer[3]);
        frame.sequence = quint8(m_buffer[4]);
        frame.payload = m_buffer.mid(5, length);
        m_buffer.remove(0, length + Overhead);
        return frame;
    }
}

} // namespace SerialFrame
