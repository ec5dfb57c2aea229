#include "history/HistoryFiles.h"

#include "config/AppPaths.h"
#include "config/Clock.h"
#include "history/FileSync.h"
#include "history/HistoryAppends.h"
#include "history/HistoryFile.h"
#include "history/HistoryLineReader.h"
#include "history/HistoryList.h"
#include "history/ImeiHistory.h"
#include "history/StationHistories.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <memory>

// History files are 8-bit text in the locale's encoding; the identities the tool writes are ASCII.

namespace {

const QString ImeiFileName = QStringLiteral("cfg/imei_history.data");

HistoryReadDevice &readDeviceForTesting()
{
    static HistoryReadDevice makeDevice;
    return makeDevice;
}

QByteArray firstLineOf(int kind)
{
    switch (kind) {
    case HistoryImei:
        return QByteArrayLiteral("#Date and time\t\t\tHistory IMEI\n");
    case HistoryMbsn:
        return QByteArrayLiteral("#History MBSN\n");
    case HistoryPsn:
        return QByteArrayLiteral("#History PSN\n");
    case HistoryBt:
        return QByteArrayLiteral("#History Blue Tooth\n");
    default:
        return QByteArray();
    }
}

HistoryList *listOf(StationHistories &histories, int kind)
{
    switch (kind) {
    case HistoryMbsn:
        return &histories.mbsnHistory;
    case HistoryPsn:
        return &histories.psnHistory;
    case HistoryBt:
        return &histories.btHistory;
    default:
        return nullptr;
    }
}

// A new history file holds only its first line, written in text mode so that its line end is the
// platform's. NewOnly: a file that appeared meanwhile is never truncated.
void createWithFirstLine(const QString &path, int kind)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::NewOnly))
        return;
    const QByteArray line = firstLineOf(kind);
    if (file.write(line) == line.size())
        syncFileToDisk(file);
    file.close();
    syncDirectoryToDisk(QFileInfo(path).absolutePath());
}

// A line that holds "#" anywhere is a comment, records that happen to contain one included.
inline bool isComment(QByteArrayView line)
{
    return line.contains('#');
}

// Files from this size on are read by two threads.
constexpr qint64 ParallelLoadBytes = qint64(8) << 20;

// The position just after the first line feed at or after `from`; -1 when there is none close by.
qint64 lineStartAfter(QIODevice &device, qint64 from)
{
    if (!device.seek(from))
        return -1;
    const QByteArray block = device.read(HistoryLineReader::MaxLineLength * 4);
    const qsizetype newline = block.indexOf('\n');
    return newline < 0 ? -1 : from + newline + 1;
}

// An opened history file, or the device a test reads it through.
class ReadDevice final
{
public:
    explicit ReadDevice(QFile &file)
        : m_wrapped(readDeviceForTesting() ? readDeviceForTesting()(file) : nullptr), m_file(file)
    {
    }
    QIODevice &operator*() { return m_wrapped ? *m_wrapped : m_file; }

private:
    std::unique_ptr<QIODevice> m_wrapped;
    QFile &m_file;
};

enum class Opening
{
    Created, // the file was missing: it now holds its first line, and the history stays empty
    Opened,
    Refused, // `why` says why
};

// A history file opened for its load, or made when it is missing.
Opening openForLoad(const QString &path, int kind, QFile &file, QString *why)
{
    if (!HistoryFile::exists(path)) {
        createWithFirstLine(path, kind);
        return Opening::Created;
    }
    QString problem;
    if (HistoryFile::openForReading(file, path, &problem))
        return Opening::Opened;
    if (why)
        *why = problem;
    return Opening::Refused;
}

bool readFailed(const QString &path, const QString &error, QString *why)
{
    if (why)
        *why = QCoreApplication::translate("HistoryFile", "%1 could not be read to its end: %2")
                   .arg(QDir::toNativeSeparators(path), error);
    return false;
}

// False when a read failed.
bool readListLines(QIODevice &device, qint64 limit, HistoryList &list)
{
    HistoryLineReader reader(device, limit);
    QByteArrayView line;
    for (;;) {
        // The plain lines straight from the reader's buffer; any other comes through next().
        reader.consume(list.appendLines(reader.pending(), HistoryLineReader::MaxLineLength));
        if (!reader.next(line))
            break;
        if (line.isEmpty() || isComment(line))
            continue;
        list.appendEncoded(line); // whole, without trimming
    }
    return !reader.failed();
}

// False when a read failed.
bool readImeiLines(QIODevice &device, qint64 limit, ImeiHistory &history, int slice)
{
    HistoryLineReader reader(device, limit);
    QByteArrayView line;
    for (;;) {
        // The records the tool writes, straight from the reader's buffer; any other line comes through next().
        reader.consume(history.appendRegularLines(reader.pending(), slice));
        if (!reader.next(line))
            break;
        // The records the tool writes, date-time and two tabs before the IMEIs: no comment, no other tab.
        if (line.size() > 21 && line.at(19) == '\t' && line.at(20) == '\t' &&
            history.appendIfRegular(line.first(19), line.sliced(21), slice))
            continue;
        if (!isComment(line))
            history.appendEncodedLine(line, slice);
    }
    return !reader.failed();
}

} // namespace

void setHistoryReadDeviceForTesting(HistoryReadDevice makeDevice)
{
    readDeviceForTesting() = std::move(makeDevice);
}

QString historyFilePath(int kind)
{
    switch (kind) {
    case HistoryImei:
        return AppPaths::dataFilePath(ImeiFileName);
    case HistoryMbsn:
        return AppPaths::dataFilePath(QStringLiteral("cfg/mbsn_history.data"));
    case HistoryPsn:
        return AppPaths::dataFilePath(QStringLiteral("cfg/psn_history.data"));
    case HistoryBt:
        return AppPaths::dataFilePath(QStringLiteral("cfg/bt_history.data"));
    default:
        return QString();
    }
}

void loadHistories(StationHistories &histories)
{
    QDir().mkpath(AppPaths::dataFilePath(QStringLiteral("cfg")));
    histories.imeiHistory.clear();
    histories.mbsnHistory.clear();
    histories.psnHistory.clear();
    histories.btHistory.clear();
    QStringList problems(4);
    readImeiHistory(historyFilePath(HistoryImei), histories.imeiHistory, &problems[0]);
    readHistoryList(historyFilePath(HistoryMbsn), histories.mbsnHistory, HistoryMbsn, &problems[1]);
    readHistoryList(historyFilePath(HistoryPsn), histories.psnHistory, HistoryPsn, &problems[2]);
    readHistoryList(historyFilePath(HistoryBt), histories.btHistory, HistoryBt, &problems[3]);
    problems.removeAll(QString());
    histories.problem = problems.join(QStringLiteral("; "));
}

bool readImeiHistory(const QString &path, ImeiHistory &history, QString *why)
{
    history.clear();
    QFile file;
    if (const Opening opening = openForLoad(path, HistoryImei, file, why); opening != Opening::Opened)
        return opening == Opening::Created;
    ReadDevice opened(file);
    QIODevice &device = *opened;
    const qint64 size = file.size();
    bool whole = true;
    QString error; // of the slice that failed
    // A big file is read in two slices at once, split at a line start; the index is sorted as they are parsed.
    const qint64 split = size >= ParallelLoadBytes ? lineStartAfter(device, size / 2) : -1;
    if (split > 0 && device.seek(0)) {
        history.beginBulkLoad(split, size - split);
        bool secondOpened = false;
        bool secondWhole = true;
        std::unique_ptr<QThread> helper(QThread::create([&] {
            QFile part;
            QString ignored;
            secondOpened = HistoryFile::openForReading(part, path, &ignored);
            if (!secondOpened)
                return;
            ReadDevice partOpened(part);
            secondOpened = (*partOpened).seek(split);
            if (secondOpened && !readImeiLines(*partOpened, -1, history, 1)) {
                secondWhole = false;
                error = (*partOpened).errorString();
            }
        }));
        helper->setObjectName(QStringLiteral("IMEI history reader"));
        helper->start();
        whole = readImeiLines(device, split, history, 0);
        helper->wait();
        // The second slice could not be opened on its own: read here rather than lose its records.
        if (!secondOpened)
            whole = device.seek(split) && readImeiLines(device, -1, history, 1) && whole;
        if (!whole)
            error = device.errorString();
        else if (!secondWhole)
            whole = false;
    } else {
        history.beginBulkLoad(size);
        whole = device.seek(0) && readImeiLines(device, -1, history, 0);
        error = device.errorString();
    }
    history.endBulkLoad();
    return whole || readFailed(path, error, why);
}

bool readHistoryList(const QString &path, HistoryList &list, int kind, QString *why)
{
    list.clear();
    QFile file;
    if (const Opening opening = openForLoad(path, kind, file, why); opening != Opening::Opened)
        return opening == Opening::Created;
    ReadDevice opened(file);
    QIODevice &device = *opened;
    const qint64 size = file.size();
    const bool lowerCase = kind == HistoryBt;
    bool whole = true;
    QString error; // of the slice that failed
    // A big file is read in two slices at once, split at a line start, the second into a list of its own whose
    // values then join the first's; the index is built once.
    const qint64 split = size >= ParallelLoadBytes ? lineStartAfter(device, size / 2) : -1;
    if (split > 0 && device.seek(0)) {
        list.beginBulkLoad(size, lowerCase);
        HistoryList second;
        second.beginBulkLoad(size - split, lowerCase);
        bool secondOpened = false;
        bool secondWhole = true;
        std::unique_ptr<QThread> helper(QThread::create([&] {
            QFile part;
            QString ignored;
            if (!HistoryFile::openForReading(part, path, &ignored))
                return;
            ReadDevice partOpened(part);
            secondOpened = (*partOpened).seek(split);
            if (secondOpened && !readListLines(*partOpened, -1, second)) {
                secondWhole = false;
                error = (*partOpened).errorString();
            }
        }));
        helper->setObjectName(QStringLiteral("History list reader"));
        helper->start();
        whole = readListLines(device, split, list);
        helper->wait();
        // The second slice could not be opened on its own: read here rather than lose its values.
        if (secondOpened)
            list.takeLoadedSlice(second);
        else
            whole = device.seek(split) && readListLines(device, -1, list) && whole;
        second.endBulkLoad();
        if (!whole)
            error = device.errorString();
        else if (!secondWhole)
            whole = false;
    } else {
        list.beginBulkLoad(size, lowerCase);
        whole = device.seek(0) && readListLines(device, -1, list);
        error = device.errorString();
    }
    list.endBulkLoad();
    return whole || readFailed(path, error, why);
}

namespace {

// The record line of an append; empty when the value would break the file's lines.
QByteArray historyRecord(const QString &dateTime, const QString &value, bool withDate)
{
    QByteArray record;
    if (withDate)
        record = dateTime.toLocal8Bit() + "\t\t";
    record += value.toLocal8Bit();
    // A line end inside the record would split it into two records, or forge one: refuse to write it.
    if (record.contains('\n') || record.contains('\r'))
        return QByteArray();
    return record + '\n';
}

// Written into `batch` when there is one (durable at its flush), else written and flushed here.
bool appendRecord(const QString &path, const QByteArray &record, int kind, HistoryAppends *batch)
{
    if (record.isEmpty())
        return false;
    if (batch)
        return batch->write(path, record, kind);
    HistoryAppends alone;
    return alone.write(path, record, kind) && alone.flush().isEmpty();
}

} // namespace

bool appendHistoryLine(const QString &path, const QString &dateTime, const QString &value, bool withDate)
{
    return appendRecord(path, historyRecord(dateTime, value, withDate), 0, nullptr);
}

bool recordImeiHistory(StationHistories &histories, const QStringList &imeis, int imeiNum, HistoryAppends *batch)
{
    // Only the IMEIs written are recorded: an IMEI beyond the count was never given to the handset.
    const int count = std::min({imeiNum, 4, int(imeis.size())});
    if (count <= 0)
        return true;
    // IMEI1, then each of the others written that differs from IMEI1.
    QString text = imeis.at(0);
    for (int k = 1; k < count; ++k) {
        if (imeis.at(k) != imeis.at(0))
            text += QLatin1Char(',') + imeis.at(k);
    }
    const QString dateTime = Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    histories.imeiHistory.append(dateTime, text);
    return appendRecord(historyFilePath(HistoryImei), historyRecord(dateTime, text, true), HistoryImei, batch);
}

bool recordHistory(StationHistories &histories, int kind, const QString &value, HistoryAppends *batch)
{
    HistoryList *list = listOf(histories, kind);
    if (!list)
        return true;
    list->append(value);
    return appendRecord(historyFilePath(kind), historyRecord(QString(), value, false), kind, batch);
}

bool imeiInHistory(const QString &candidate, const ImeiHistory &history)
{
    return history.contains(candidate);
}
