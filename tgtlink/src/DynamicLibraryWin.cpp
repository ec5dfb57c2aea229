#include "DynamicLibrary.h"

#include <QDir>

#include <windows.h>

namespace {
QString lastError()
{
    const DWORD code = GetLastError();
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString why = text ? QString::fromWCharArray(text).trimmed() : QStringLiteral("error %1").arg(code);
    LocalFree(text);
    return why;
}
} // namespace

DynamicLibrary::~DynamicLibrary()
{
    close();
}

bool DynamicLibrary::open(const QString &path, QString *error)
{
    close();
    // The backend's own folder is searched for the libraries it needs, not the current one.
    const QString native = QDir::toNativeSeparators(path);
    m_handle =
        LoadLibraryExW(reinterpret_cast<const wchar_t *>(native.utf16()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!m_handle && error)
        *error = lastError();
    return m_handle != nullptr;
}

void *DynamicLibrary::symbol(const char *name, QString *error) const
{
    if (!m_handle)
        return nullptr;
    void *address = reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
    if (!address && error)
        *error = lastError();
    return address;
}

void DynamicLibrary::close()
{
    if (m_handle)
        FreeLibrary(static_cast<HMODULE>(m_handle));
    m_handle = nullptr;
}

QString DynamicLibrary::fileName(const QString &base)
{
    return base + QStringLiteral(".dll");
}
