#pragma once

#include <QByteArrayView>
#include <QString>

#include <initializer_list>

// One line of the IMEI history: when the set was recorded and its IMEIs joined by commas.
struct ImeiHistoryRecord
{
    QString dateTime;
    QString imeis;
};

// The IMEI history held in memory: records in file order, kept compact and indexed so that a
// history of years answers duplicate queries at once. Safe for lookups on one thread while another appends:
// a lookup waits at most for one record to be stored, never for the index to be rebuilt (that is done
// aside and swapped in).
class ImeiHistory final
{
public:
    ImeiHistory();
    ~ImeiHistory();
    ImeiHistory(const ImeiHistory &) = delete;
    ImeiHistory &operator=(const ImeiHistory &) = delete;

    void clear();
    void append(const QString &dateTime, const QString &imeis);
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    ImeiHistoryRecord at(qsizetype index) const;

    // True when the IMEI text of any record contains `candidate` (case-sensitive substring).
    bool contains(const QString &candidate) const;

    // Loading a history file. Records come as the file's bytes (the locale's 8-bit encoding), so that a
    // million records load without a string object each. Between beginBulkLoad() and endBulkLoad() only the
    // append calls below are made; endBulkLoad() builds the index once, and the history then counts and
    // answers for every record. The sizes given, those of the file or of its slices, let room for the
    // records be set aside once. A file may be loaded in two slices at once: each slice is filled by one
    // thread through the calls with its number, and the slices' records follow each other in that order.
    // Lookups wait for a load to end.
    void beginBulkLoad(qint64 sizeHint = 0);
    void beginBulkLoad(qint64 firstSliceBytes, qint64 secondSliceBytes);
    void appendEncoded(QByteArrayView dateTime, QByteArrayView imeis, int slice = 0);
    // A line of the file that is no comment: date-time before its first tab, IMEI text after its last, the
    // whole line for both without a tab.
    void appendEncodedLine(QByteArrayView line, int slice = 0);
    // Appends the record when it is regular, a "yyyy-MM-dd hh:mm:ss" date-time and one to four 15-digit
    // IMEIs joined by commas; otherwise appends nothing and returns false.
    bool appendIfRegular(QByteArrayView dateTime, QByteArrayView imeis, int slice = 0);
    // Appends the regular record lines at the front of a history file's text, each ending in a line feed;
    // returns the bytes they took. The first line that is not one is left to the caller.
    qsizetype appendRegularLines(QByteArrayView text, int slice = 0);
    void endBulkLoad();

private:
    struct Data;
    struct Sync;
    void beginBulkLoad(std::initializer_list<qint64> sliceBytes);
    template <typename Add> void appendIrregular(Add add, int slice);

    Data *d;
    Sync *m_sync;
};
