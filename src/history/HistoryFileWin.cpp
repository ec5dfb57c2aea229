#include "history/HistoryFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

QString notRegular(const QString &path, const QString &what)
{
    return QCoreApplication::translate("HistoryFile", "%1 is %2, not a regular file")
        .arg(QDir::toNativeSeparators(path), what);
}

QString systemMessage(DWORD code)
{
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString message = text ? QString::fromWCharArray(text).trimmed() : QString::number(code);
    LocalFree(text);
    return message;
}

bool open(QFile &file, const QString &path, bool append, QString *why)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        *why = notRegular(path, QCoreApplication::translate("HistoryFile", "a directory"));
        return false;
    }
    const QString native = QDir::toNativeSeparators(info.absoluteFilePath());
    // A link is opened as itself, not followed, and refused below; appends land at the end whatever the offset.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()),
                                      append ? GENERIC_READ | FILE_APPEND_DATA : GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, append ? OPEN_ALWAYS : OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *why = QCoreApplication::translate("HistoryFile", "%1 cannot be opened: %2")
                   .arg(QDir::toNativeSeparators(path), systemMessage(GetLastError()));
        return false;
    }
    BY_HANDLE_FILE_INFORMATION opened = {};
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    if (!disk || !GetFileInformationByHandle(handle, &opened) ||
        (opened.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        *why = notRegular(path, !disk ? QCoreApplication::translate("HistoryFile", "a device")
                                : (opened.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                                    ? QCoreApplication::translate("HistoryFile", "a symbolic link")
                                    : QCoreApplication::translate("HistoryFile", "a special file"));
        CloseHandle(handle);
        return false;
    }
    // A descriptor over the handle, so that the file can be flushed through it (FileSyncWin.cpp).
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), append ? _O_APPEND : _O_RDONLY);
    if (fd < 0) {
        CloseHandle(handle);
        *why = QCoreApplication::translate("HistoryFile", "%1 cannot be opened: %2")
                   .arg(QDir::toNativeSeparators(path), systemMessage(ERROR_TOO_MANY_OPEN_FILES));
        return false;
    }
    const QIODevice::OpenMode mode = append ? QIODevice::ReadWrite | QIODevice::Append : QIODevice::ReadOnly;
    file.setFileName(path);
    if (!file.open(fd, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        *why = QCoreApplication::translate("HistoryFile", "%1 cannot be opened: %2")
                   .arg(QDir::toNativeSeparators(path), file.errorString());
        _close(fd);
        return false;
    }
    return true;
}

} // namespace

bool HistoryFile::exists(const QString &path)
{
    return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

bool HistoryFile::openForReading(QFile &file, const QString &path, QString *why)
{
    return open(file, path, false, why);
}

bool HistoryFile::openForAppend(QFile &file, const QString &path, QString *why)
{
    return open(file, path, true, why);
}
