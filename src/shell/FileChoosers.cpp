#include "shell/FileChoosers.h"

#include <QFileDialog>
#include <QQueue>

namespace {
struct Hooks
{
    QQueue<QString> answers;
    QList<FileChoosers::Record> records;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}
} // namespace

QString FileChoosers::openFileName(QWidget *parent, const QString &title, const QString &directory,
                                   const QString &filter)
{
    Hooks &h = hooks();
    if (!h.answers.isEmpty()) {
        const QString answer = h.answers.dequeue();
        h.records.append({title, directory, filter, answer});
        return answer;
    }
    return QFileDialog::getOpenFileName(parent, title, directory, filter);
}

void FileChoosers::setNextAnswer(const QString &path)
{
    hooks().answers.enqueue(path);
}

QList<FileChoosers::Record> FileChoosers::takeRecords()
{
    return std::exchange(hooks().records, {});
}
