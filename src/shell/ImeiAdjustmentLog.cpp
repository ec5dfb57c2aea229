#include "shell/ImeiAdjustmentLog.h"

#include "history/FileSync.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

ImeiAdjustmentLog::ImeiAdjustmentLog() = default;

ImeiAdjustmentLog::~ImeiAdjustmentLog()
{
    close();
}

QString ImeiAdjustmentLog::relativeFileName(const QDateTime &startedAt)
{
    return QStringLiteral("log/doverariz.%1.log").arg(startedAt.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss")));
}

bool ImeiAdjustmentLog::open(const QString &appDir, const QDateTime &startedAt)
{
    close();
    const QDir dir(appDir);
    dir.mkpath(QStringLiteral("log")); // a failure shows when the file cannot be opened
    auto file = std::make_unique<QFile>(dir.filePath(relativeFileName(startedAt)));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    m_file = std::move(file);
    return true;
}

QString ImeiAdjustmentLog::fileName() const
{
    return m_file ? m_file->fileName() : QString();
}

QIODevice *ImeiAdjustmentLog::device() const
{
    return m_file.get();
}

bool ImeiAdjustmentLog::flush()
{
    return m_file && syncFileToDisk(*m_file);
}

void ImeiAdjustmentLog::close()
{
    if (!m_file)
        return;
    syncFileToDisk(*m_file);
    m_file->close();
    m_file.reset();
}
