#include "DynamicLibrary.h"

#include <QFile>
#include <dlfcn.h>

DynamicLibrary::~DynamicLibrary()
{
    close();
}

bool DynamicLibrary::open(const QString &path, QString *error)
{
    close();
    dlerror(); // clears an old message
    // Local symbols: two backends may define the same names without meeting.
    m_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle && error) {
        const char *why = dlerror();
        *error = why ? QString::fromLocal8Bit(why) : QStringLiteral("cannot be loaded");
    }
    return m_handle != nullptr;
}

void *DynamicLibrary::symbol(const char *name, QString *error) const
{
    if (!m_handle)
        return nullptr;
    dlerror();
    void *address = dlsym(m_handle, name);
    if (!address && error) {
        const char *why = dlerror();
        *error = why ? QString::fromLocal8Bit(why) : QStringLiteral("symbol %1 is null").arg(QLatin1String(name));
    }
    return address;
}

void DynamicLibrary::close()
{
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

QString DynamicLibrary::fileName(const QString &base)
{
    return base + QStringLiteral(".so");
}
