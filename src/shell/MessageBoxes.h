#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

// Every message box of the tool goes through here, so that tests can answer a box before it would block
// (setNextAnswer) and see what it said.
class MessageBoxes final
{
public:
    struct Record
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButton answer;
    };

    static QMessageBox::StandardButton information(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton critical(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton warning(QWidget *parent, const QString &title, const QString &text);
    static QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton);
    static void about(QWidget *parent, const QString &title, const QString &text);

    // The next box is not shown; it returns `answer`. Answers queue up in the order given.
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // Every box without a queued answer is answered with its default button instead of being shown.
    static void setUnattended(bool unattended);
    // The boxes answered through a hook since the last call, oldest first.
    static QList<Record> takeRecords();

private:
    static QMessageBox::StandardButton show(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                            const QString &text, QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton);
};
