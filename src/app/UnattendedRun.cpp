#include "app/UnattendedRun.h"

#include "shell/MessageBoxes.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

namespace {
const char ExitAfterVariable[] = "DOVERARIZ_EXIT_AFTER_MS";
const char GrabVariable[] = "DOVERARIZ_GRAB";
const char WriteVariable[] = "DOVERARIZ_WRITE_ON_PORT";

void print(const QString &line)
{
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}
} // namespace

bool UnattendedRun::isRequested()
{
    return qEnvironmentVariableIsSet(ExitAfterVariable);
}

void UnattendedRun::beginAnswering()
{
    MessageBoxes::setUnattended(true);
}

void UnattendedRun::reportBoxes()
{
    for (const auto &box : MessageBoxes::takeRecords())
        print(QStringLiteral("box: %1: %2").arg(box.title, box.text));
}

void UnattendedRun::scheduleExit(QWidget *window)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue(ExitAfterVariable, &ok);
    QTimer::singleShot(ok ? std::max(ms, 0) : 0, window, [window] {
        const QString grab = qEnvironmentVariable(GrabVariable);
        if (!grab.isEmpty() && !window->grab().save(grab, "PNG"))
            print(QStringLiteral("grab failed: %1").arg(grab));
        reportBoxes();
        print(QStringLiteral("title: %1").arg(window->windowTitle()));
        QCoreApplication::exit(0);
    });
}

void UnattendedRun::scheduleWrite(QWidget *window)
{
    if (!qEnvironmentVariableIsSet(WriteVariable))
        return;
    auto *poll = new QTimer(window);
    poll->setInterval(50);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll] {
        auto *write = window->findChild<QPushButton *>(QStringLiteral("startBtn"));
        if (!write || !write->isEnabled())
            return;
        poll->stop();
        poll->deleteLater();
        print(QStringLiteral("write pressed"));
        write->click();
    });
    poll->start();
}
