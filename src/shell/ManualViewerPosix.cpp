#include "shell/ManualViewer.h"

#include <QStandardPaths>

bool ManualViewer::systemHasDesktopHandler()
{
    // Free desktops hand documents over through xdg-open; without it there is nobody to ask.
    return !QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty();
}
