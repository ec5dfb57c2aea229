#include "app/UnattendedRun.h"

#include "shell/FPDoverARizSettingDlg.h"
#include "shell/MessageBoxes.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>
#include <QWidget>

namespace {
const char ExitAfterVariable[] = "DOVERARIZ_EXIT_AFTER_MS";
const char GrabVariable[] = "DOVERARIZ_GRAB";
const char WriteVariable[] = "DOVERARIZ_WRITE_ON_PORT";
const char GrabSetupVariable[] = "DOVERARIZ_GRAB_SETUP";

void print(const QString &line)
{
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}
// Opens Setup and grabs the dialog once per tab into <prefix>-imei.png, -mbsn, -psn and -bt, for the manuals;
// the dialog is then left as with Cancel.
void grabSetupTabs(QWidget *window, const QString &prefix)
{
    auto *setup = window->findChild<QPushButton *>(QStringLiteral("setupBtn"));
    if (!setup || !setup->isEnabled()) {
        print(QStringLiteral("grab failed: Setup cannot be opened"));
        return;
    }
    FPDoverARizSettingDlg::setNextAnswer([prefix](FPDoverARizSettingDlg &dialog) {
        auto *tabs = dialog.findChild<QTabWidget *>(QStringLiteral("mTabWidget"));
        for (int i = 0; tabs && i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QCoreApplication::processEvents();
            // mIMEIWidget -> imei
            const QString name = tabs->widget(i)->objectName().mid(1).chopped(6).toLower();
            const QString path = prefix + QLatin1Char('-') + name + QStringLiteral(".png");
            if (!dialog.grab().save(path, "PNG"))
                print(QStringLiteral("grab failed: %1").arg(path));
        }
    });
    setup->click();
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
        const QString setupPrefix = qEnvironmentVariable(GrabSetupVariable);
        if (!setupPrefix.isEmpty())
            grabSetupTabs(window, setupPrefix);
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
