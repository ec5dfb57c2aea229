#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class QFile;

// History records of one write cycle: each is written at once and made durable together with the others by
// flush(), the flushes of the files running side by side so that the file system commits them in one go rather
// than one after the other. Whatever is still pending when the batch goes is flushed then (a failed cycle).
class HistoryAppends final
{
public:
    HistoryAppends();
    ~HistoryAppends();
    HistoryAppends(const HistoryAppends &) = delete;
    HistoryAppends &operator=(const HistoryAppends &) = delete;

    // Writes one record line to the end of `path`, a cut-short last line ended first; `tag` names it in flush()'s
    // result. False when it could not be written (the record is then not pending).
    bool write(const QString &path, const QByteArray &line, int tag);
    // Flushes every pending record to stable storage; the tags of those that may not be there, in write order.
    QList<int> flush();

private:
    struct Pending;
    std::vector<std::unique_ptr<Pending>> m_pending;
};
