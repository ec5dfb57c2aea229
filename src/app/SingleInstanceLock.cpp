#include "app/SingleInstanceLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

SingleInstanceLock::SingleInstanceLock(const QString &path) : m_path(QFileInfo(path).absoluteFilePath()) {}

#ifdef Q_OS_WIN

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_handle)
        CloseHandle(static_cast<HANDLE>(m_handle));
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
    m_handle = handle; // the system releases it with the process
    m_locked = true;
    return true;
}

#else

SingleInstanceLock::~SingleInstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // drops the lock; the file stays for the next start
}

QString SingleInstanceLock::location() const
{
    return m_path;
}

bool SingleInstanceLock::tryLock()
{
    if (m_locked)
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath()); // a first start finds no cfg/ yet
    const QByteArray path = QFile::encodeName(location());
    // Close-on-exec: a viewer the tool starts must not inherit the lock and keep it after the tool has gone.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC); // another user's file still takes a lock
    if (fd < 0)
        return false;
    // flock belongs to the open file, not to a process id: a dead owner's lock is gone with its descriptors,
    // and a recycled process id cannot keep it.
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_locked = true;
    return true;
}

#endif
