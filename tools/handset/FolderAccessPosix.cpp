#include "FolderAccess.h"

#include <QFile>

#include <unistd.h>

bool FolderAccess::canWriteInto(const QString &folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}
