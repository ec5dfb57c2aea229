#pragma once

#include <QByteArrayView>
#include <QString>

// A single-value history (MBSN, PSN or Bluetooth address): values in file order with exact,
// case-sensitive membership. Safe for lookups on one thread while another appends; a lookup waits at most
// for one value to be stored, never for the index to be rebuilt (that is done aside).
class HistoryList final
{
public:
    HistoryList();
    ~HistoryList();
    HistoryList(const HistoryList &) = delete;
    HistoryList &operator=(const HistoryList &) = delete;

    void clear();
    void append(const QString &value);
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    QString at(qsizetype index) const;
    bool contains(const QString &value) const;

    // Loading a history file: between beginBulkLoad() and endBulkLoad() only appendEncoded() is called, on
    // the loading thread; lookups wait for the load to end. A value comes as the file's bytes (the locale's
    // 8-bit encoding). The size given, the file's, lets room be set aside once. With `lowerCase` the
    // values' ASCII letters are kept in lower case (Bluetooth addresses, which older versions wrote in
    // either case).
    void beginBulkLoad(qint64 sizeHint = 0, bool lowerCase = false);
    void appendEncoded(QByteArrayView value);
    // Takes the lines at the front of a history file's text, each ending in a line feed, as the reader would
    // give them: an empty line or one holding '#' is skipped, every other is a value. Stops before a line that
    // is not ASCII, is longer than `maxLineLength` or is cut by the end of the text, which it leaves to the
    // caller; returns the bytes taken. Only while loading.
    qsizetype appendLines(QByteArrayView text, qsizetype maxLineLength);
    // Moves the values `slice` loaded (a later part of the same file, read by another thread) behind those loaded
    // here; both are loading, and `slice` is left empty. Only the one index is built, at endBulkLoad().
    void takeLoadedSlice(HistoryList &slice);
    void endBulkLoad();

private:
    struct Data;
    Data *d;
};
