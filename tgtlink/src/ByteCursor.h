#pragma once

#include <QByteArray>
#include <QtEndian>
#include <string>

// Little-endian field access with bounds checks: a short or damaged buffer makes `ok()` false, never a wild read.
class ByteReader final
{
public:
    explicit ByteReader(const QByteArray &data, qsizetype pos = 0) : m_data(data), m_pos(pos) {}

    quint8 u8() { return static_cast<quint8>(take(1) ? m_data[m_pos - 1] : 0); }
    quint16 u16() { return take(2) ? qFromLittleEndian<quint16>(m_data.constData() + m_pos - 2) : 0; }
    quint32 u32() { return take(4) ? qFromLittleEndian<quint32>(m_data.constData() + m_pos - 4) : 0; }
    quint64 u64() { return take(8) ? qFromLittleEndian<quint64>(m_data.constData() + m_pos - 8) : 0; }
    // A byte string with a one-byte length, at most `maxLength` long.
    std::string shortString(int maxLength)
    {
        const int len = u8();
        if (len > maxLength || !take(len)) {
            m_ok = false;
            return std::string();
        }
        return std::string(m_data.constData() + m_pos - len, static_cast<std::size_t>(len));
    }
    bool atEnd() const { return m_pos == m_data.size(); }
    bool ok() const { return m_ok; }
    qsizetype pos() const { return m_pos; }

private:
    bool take(qsizetype n)
    {
        if (!m_ok || n < 0 || m_data.size() - m_pos < n) {
            m_ok = false;
            return false;
        }
        m_pos += n;
        return true;
    }

    const QByteArray &m_data;
    qsizetype m_pos;
    bool m_ok = true;
};

class ByteWriter final
{
public:
    void u8(quint8 v) { m_data.append(static_cast<char>(v)); }
    void u16(quint16 v) { put(v); }
    void u32(quint32 v) { put(v); }
    void u64(quint64 v) { put(v); }
    void shortString(const std::string &s)
    {
        const std::size_t len = s.size() > 255 ? 255 : s.size();
        u8(static_cast<quint8>(len));
        m_data.append(s.data(), static_cast<qsizetype>(len));
    }
    void fixedString(const QByteArray &s, int width) // NUL padded; caller keeps s shorter than width
    {
        QByteArray field = s.left(width - 1);
        field.append(QByteArray(width - field.size(), '\0'));
        m_data.append(field);
    }
    QByteArray &data() { return m_data; }

private:
    template <typename T> void put(T v)
    {
        char buf[sizeof(T)];
        qToLittleEndian<T>(v, buf);
        m_data.append(buf, sizeof(T));
    }
    QByteArray m_data;
};
