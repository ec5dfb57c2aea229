#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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
    file.close();
    if (ok) {
        // On the disk before the rename: through a handle of its own, as Qt does not give out the one it holds.
        const QString native = QDir::toNativeSeparators(temporary);
        const HANDLE handle =
            CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
        ok = handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
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
