#include "FolderAccess.h"

#include <QDir>
#include <QTemporaryFile>

// The access lists decide, and only a try reads them right: a file made and removed at once.
bool FolderAccess::canWriteInto(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".write-probe-XXXXXX")));
    return probe.open();
}
