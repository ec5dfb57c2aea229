#pragma once

#include <QString>
#include <memory>

class QDateTime;
class QFile;
class QIODevice;

// The run's record of IMEIs whose check digit the tool corrected: log/doverariz.<yyyy-MM-dd-hh-mm-ss>.log
// below the application directory. The IMEI rules write the lines; this class owns the file.
class ImeiAdjustmentLog final
{
public:
    ImeiAdjustmentLog();
    ~ImeiAdjustmentLog();

    static QString relativeFileName(const QDateTime &startedAt);

    // Creates log/ below `appDir` and opens the run's file for appending, so that a run started within the
    // same second as the previous one adds to that run's lines instead of erasing them. False, and no file,
    // when it cannot be opened; the run then goes on without one.
    bool open(const QString &appDir, const QDateTime &startedAt);
    bool isOpen() const { return m_file != nullptr; }
    QString fileName() const;
    // The device handed to the IMEI rules; null when the run has no log file.
    QIODevice *device() const;
    // Pushes what was written to stable storage; false when that failed.
    bool flush();
    void close();

private:
    std::unique_ptr<QFile> m_file;

    ImeiAdjustmentLog(const ImeiAdjustmentLog &) = delete;
    ImeiAdjustmentLog &operator=(const ImeiAdjustmentLog &) = delete;
};
