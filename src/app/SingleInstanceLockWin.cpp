#include "app/SingleInstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <windows.h>

SingleInstanceLock::SingleInstanceLock(const QString &path) : m_path(QFileInfo(path).absoluteFilePath()) {}

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_locked)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

QString SingleInstanceLock::location() const
{
    // Global: one per machine, as the data folder is shared by every account.
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(m_path).toLower().toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("Global\\doverariz-") + QString::fromLatin1(key.toHex());
}

bool SingleInstanceLock::tryLock()
{
    if (m_locked)
        return true;
    HANDLE handle = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t *>(location().utf16()));
    if (!handle)
        return false;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(handle);
        return false;
    }
    m_handle = reinterpret_cast<qintptr>(handle); // the system releases it with the process
    m_locked = true;
    return true;
}
