#include "FileKinds.h"

#include <QDir>

#include <windows.h>

bool FileKinds::makeFifo(const QString &path)
{
    Q_UNUSED(path);
    return false;
}

bool FileKinds::haveFifos()
{
    return false; // named pipes live in a namespace of their own, not among files
}

// A file system link, not the shell's shortcut (a plain file) that QFile::link makes here.
bool FileKinds::makeLink(const QString &target, const QString &path)
{
    const QString from = QDir::toNativeSeparators(path);
    const QString to = QDir::toNativeSeparators(target);
    if (!CreateSymbolicLinkW(reinterpret_cast<const wchar_t *>(from.utf16()),
                             reinterpret_cast<const wchar_t *>(to.utf16()),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return false;
    // A system that makes the link but shows it as a plain file (wine) cannot be asked to refuse it.
    const DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t *>(from.utf16()));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    DeleteFileW(reinterpret_cast<const wchar_t *>(from.utf16()));
    return false;
}
