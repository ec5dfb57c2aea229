#pragma once

#include <QList>
#include <QString>

class QWidget;

// Every file chooser of the tool goes through here, so that tests can answer one before it would block
// (setNextAnswer) and see how it was asked.
class FileChoosers final
{
public:
    struct Record
    {
        QString title;
        QString directory;
        QString filter;
        QString answer;
    };

    // The platform's open-file dialog; an empty result when it was cancelled.
    static QString openFileName(QWidget *parent, const QString &title, const QString &directory, const QString &filter);

    // The next chooser is not shown; it returns `path` (empty: cancelled). Answers queue up in the order given.
    static void setNextAnswer(const QString &path);
    // The choosers answered through the hook since the last call, oldest first.
    static QList<Record> takeRecords();
};
