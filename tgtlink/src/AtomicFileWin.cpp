#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <io.h>
#include <windows.h>

bool AtomicFile::replace(const QString &path, const QByteArray &bytes)
{
    // Like QSettings itself, a missing folder (cfg/ on a first run) is created.
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file;
    for (int attempt = 0; attempt < 8 && !file.isOpen(); ++attempt) {
        file.setFileName(
            path + QStringLiteral(".new-%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (!file.isOpen())
        return false;
    const QString temporary = file.fileName();
    bool ok = file.write(bytes) == bytes.size() && file.flush();
    if (ok) {
        const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
        ok = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
    }
    file.close();
    // Write-through: the rename itself is on the disk when the call returns.
    const QString from = QDir::toNativeSeparators(temporary);
    const QString to = QDir::toNativeSeparators(path);
    ok = ok && file.error() == QFileDevice::NoError &&
         MoveFileExW(reinterpret_cast<const wchar_t *>(from.utf16()), reinterpret_cast<const wchar_t *>(to.utf16()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        QFile::remove(temporary);
    return ok;
}
