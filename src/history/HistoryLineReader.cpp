#include "history/HistoryLineReader.h"

#include <QIODevice>

#include <cstring>

HistoryLineReader::HistoryLineReader(QIODevice &device, qint64 limit) : m_device(device), m_remaining(limit)
{
    m_buffer.resize(ChunkSize + MaxLineLength + 2);
}

bool HistoryLineReader::next(QByteArrayView &line)
{
    for (;;) {
        const char *data = m_buffer.constData();
        const void *found = m_begin < m_end ? std::memchr(data + m_begin, '\n', size_t(m_end - m_begin)) : nullptr;
        if (found) {
            const qsizetype newline = static_cast<const char *>(found) - data;
            qsizetype length = newline - m_begin;
            const qsizetype start = m_begin;
            m_begin = newline + 1;
            if (m_discarding) {
                m_discarding = false;
                continue;
            }
            if (length > 0 && data[start + length - 1] == '\r')
                --length;
            if (length > MaxLineLength) {
                ++m_skipped;
                continue;
            }
            line = QByteArrayView(data + start, length);
            return true;
        }
        if (m_atEnd) {
            if (m_begin >= m_end)
                return false;
            // The last line, without a line end.
            const qsizetype start = m_begin;
            qsizetype length = m_end - m_begin;
            m_begin = m_end;
            if (m_discarding) {
                m_discarding = false;
                return false;
            }
            // A carriage return at the very end reads as the line end that the next append completes.
            if (length > 0 && data[start + length - 1] == '\r')
                --length;
            if (length > MaxLineLength) {
                ++m_skipped;
                return false;
            }
            line = QByteArrayView(data + start, length);
            return true;
        }
        if (!refill())
            m_atEnd = true;
    }
}

// Moves the unfinished line to the front and reads the next chunk behind it. A partial line longer than a
// line may be is dropped at once and the rest of it discarded as it arrives.
bool HistoryLineReader::refill()
{
    qsizetype pending = m_end - m_begin;
    if (m_discarding || pending > MaxLineLength + 1) { // +1: room for the carriage return of a full line
        if (!m_discarding)
            ++m_skipped;
        m_discarding = true;
        pending = 0;
    }
    char *data = m_buffer.data();
    if (pending > 0 && m_begin > 0)
        std::memmove(data, data + m_begin, size_t(pending));
    m_begin = 0;
    m_end = pending;
    const qint64 wanted = m_remaining < 0 ? ChunkSize : qMin<qint64>(ChunkSize, m_remaining);
    if (wanted == 0)
        return false;
    const qint64 got = m_device.read(data + m_end, wanted);
    if (got < 0)
        m_failed = true;
    if (got <= 0)
        return false;
    m_end += got;
    if (m_remaining > 0)
        m_remaining -= got;
    return true;
}
