#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class HistoryAppends;
class QFile;
class QIODevice;
class HistoryList;
class ImeiHistory;
struct StationHistories;

// The history kinds; equal to the RunType bit of the kind.
enum HistoryKind : int
{
    HistoryImei = 1,
    HistoryMbsn = 2,
    HistoryPsn = 4,
    HistoryBt = 8,
};

// cfg/ below the application directory; created with its four history files when missing. Sets the histories'
// problem when a file cannot be read whole.
void loadHistories(StationHistories &histories);
// A missing file is created with its first line. False, with why (naming the file) when asked, when the file
// is no regular file, cannot be opened or cannot be read to its end: the history then holds what was read.
bool readImeiHistory(const QString &path, ImeiHistory &history, QString *why = nullptr);
bool readHistoryList(const QString &path, HistoryList &list, int kind, QString *why = nullptr);
// Appends one record line and flushes it to stable storage; false when it could not be written.
bool appendHistoryLine(const QString &path, const QString &dateTime, const QString &value, bool withDate);
// Extends the in-memory history, then the file. False only when the file could not be written. The record
// holds the IMEIs written, the first `imeiNum` of the set. With a batch the record is on the disk only after the
// batch's flush(), which reports it under its kind (HistoryImei for IMEIs).
bool recordImeiHistory(StationHistories &histories, const QStringList &imeis, int imeiNum,
                       HistoryAppends *batch = nullptr);
bool recordHistory(StationHistories &histories, int kind, const QString &value, HistoryAppends *batch = nullptr);
bool imeiInHistory(const QString &candidate, const ImeiHistory &history);
QString historyFilePath(int kind);

// Tests: every history file is read through the device this makes of it (fault injection); none: the file itself.
using HistoryReadDevice = std::function<std::unique_ptr<QIODevice>(QFile &file)>;
void setHistoryReadDeviceForTesting(HistoryReadDevice makeDevice);
