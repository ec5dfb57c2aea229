#include "app/SingleInstanceLock.h"
#include "app/UnattendedRun.h"
#include "shell/FPDoverARizMainWindow.h"
#include "shell/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QSplashScreen>
#include <QStyleFactory>
#include <memory>

namespace {
const QString InstanceLockName = QStringLiteral("WR3c4bedc3-4dc2-4b6e-a198-e4089e19cf25");
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // cfg/, log/, tr/ and the manuals are found beside the executable, wherever the tool was started from.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    const bool unattended = UnattendedRun::isRequested();
    if (unattended)
        UnattendedRun::beginAnswering();

    // No image is embedded under this name: the splash screen stays empty.
    auto pixmap = std::make_unique<QPixmap>(QStringLiteral(":/new/prefix1/images/quorvane_en.png"));

    SingleInstanceLock instanceLock(InstanceLockName);
    if (!instanceLock.tryLock()) {
        MessageBoxes::warning(nullptr, QCoreApplication::translate("main", "Error"),
                              QCoreApplication::translate("main", "You have already run an application."));
        if (unattended)
            UnattendedRun::reportBoxes();
        return -1;
    }

    auto splash = std::make_unique<QSplashScreen>(*pixmap);
    splash->show();
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style); // the application owns it

    auto window = std::make_unique<FPDoverARizMainWindow>();
    window->showNormal();
    splash->finish(window.get());
    if (unattended) {
        UnattendedRun::scheduleExit(window.get());
        UnattendedRun::scheduleWrite(window.get());
    }

    const int code = QApplication::exec();
    window.reset(); // saves the settings and stops the worker before the application goes
    splash.reset();
    pixmap.reset();
    return code;
}
