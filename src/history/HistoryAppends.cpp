#include "history/HistoryAppends.h"

#include "history/FileSync.h"
#include "history/HistoryFile.h"

#include <QFile>
#include <QFileInfo>

#include <thread>

struct HistoryAppends::Pending
{
    QFile file;
    QString path;
    int tag = 0;
    bool created = false; // its directory entry is new too
    bool synced = false;
};

HistoryAppends::HistoryAppends() = default;

HistoryAppends::~HistoryAppends()
{
    flush();
}

bool HistoryAppends::write(const QString &path, const QByteArray &line, int tag)
{
    auto pending = std::make_unique<Pending>();
    pending->tag = tag;
    pending->path = path;
    pending->created = !HistoryFile::exists(path);
    QFile &file = pending->file;
    QString why;
    if (!HistoryFile::openForAppend(file, path, &why))
        return false;
    QByteArray record = line;
    // A last line cut short (a power cut during an append) would swallow this record: end it first.
    const qint64 size = file.size();
    if (size > 0) {
        char last = '\n';
        if (!file.seek(size - 1) || !file.getChar(&last))
            return false;
        if (last != '\n')
            record.prepend('\n');
    }
    if (file.write(record) != record.size())
        return false;
    m_pending.push_back(std::move(pending));
    return true;
}

QList<int> HistoryAppends::flush()
{
    // Each file is touched by one thread only, and the threads are joined before anything else looks at them.
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < m_pending.size(); ++i) {
        Pending *p = m_pending[i].get();
        helpers.emplace_back([p] { p->synced = syncFileToDisk(p->file); });
    }
    if (!m_pending.empty())
        m_pending.front()->synced = syncFileToDisk(m_pending.front()->file);
    for (std::thread &helper : helpers)
        helper.join();

    QList<int> failed;
    for (const std::unique_ptr<Pending> &p : m_pending) {
        p->file.close();
        bool ok = p->synced && p->file.error() == QFileDevice::NoError;
        if (ok && p->created)
            ok = syncDirectoryToDisk(QFileInfo(p->path).absolutePath());
        if (!ok)
            failed.append(p->tag);
    }
    m_pending.clear();
    return failed;
}
