#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

// Splits a history file into lines while reading it in bounded chunks, so that a damaged file (no line
// ends, binary garbage, gigabytes) costs a fixed amount of memory. A line ends at a line feed, with or
// without a carriage return before it; the last line needs no line end (a carriage return ending the file
// ends it too, as it will once a line feed is appended). A line longer than
// MaxLineLength bytes cannot be a record the tool wrote: it is skipped whole rather than kept cut, since a
// cut line would yield a value that never existed.
class HistoryLineReader final
{
public:
    static constexpr qsizetype MaxLineLength = 4096;
    static constexpr qsizetype ChunkSize = 1 << 20;

    // Reads from the device's position on, at most `limit` bytes when it is not negative.
    explicit HistoryLineReader(QIODevice &device, qint64 limit = -1);

    // The next line without its line end; false at the end of the device or on a read error. The view
    // stays valid until the next call.
    bool next(QByteArrayView &line);
    // The bytes read and not yet taken, from the start of the next line on (empty inside an over-long line):
    // a caller that recognises whole lines there takes them with consume() and leaves the rest to next().
    QByteArrayView pending() const
    {
        return m_discarding ? QByteArrayView() : QByteArrayView(m_buffer.constData() + m_begin, m_end - m_begin);
    }
    // Takes the first `bytes` bytes of pending(), which end just after a line feed.
    void consume(qsizetype bytes) { m_begin += bytes; }
    qint64 skippedLines() const { return m_skipped; }
    // True when a read failed: the lines given so far are not all the device holds.
    bool failed() const { return m_failed; }

private:
    bool refill();

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_begin = 0; // first byte not yet consumed
    qsizetype m_end = 0;   // one past the last byte read
    qint64 m_remaining;    // bytes still to read; negative: up to the end
    bool m_atEnd = false;
    bool m_discarding = false; // inside an over-long line, dropping bytes up to its line end
    bool m_failed = false;
    qint64 m_skipped = 0;
};
