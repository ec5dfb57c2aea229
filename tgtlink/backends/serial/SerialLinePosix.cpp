#include "SerialLine.h"

#include "tgtlink/TargetError.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedFor(int baud)
{
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return B115200;
    }
}

} // namespace

SerialLine::~SerialLine()
{
    close();
}

int SerialLine::open(const QString &path, int baud, QString *error)
{
    close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return errno == ENOENT ? TGT_ERR_NO_DEVICE : TGT_ERR_IO;
    }
    // One connection per device, across processes and within one.
    termios tio{};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &tio) != 0) {
        if (error)
            *error = QStringLiteral("%1 is in use or not a serial device").arg(path);
        ::close(fd);
        return TGT_ERR_IO;
    }
    ioctl(fd, TIOCEXCL);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speedFor(baud));
    cfsetospeed(&tio, speedFor(baud));
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        if (error)
            *error = QStringLiteral("%1: cannot set the line up").arg(path);
        ::close(fd);
        return TGT_ERR_IO;
    }
    tcflush(fd, TCIOFLUSH);
    m_handle = fd;
    return TGT_OK;
}

void SerialLine::close()
{
    if (m_handle != -1)
        ::close(int(m_handle));
    m_handle = -1;
}

bool SerialLine::write(const QByteArray &bytes)
{
    const int fd = int(m_handle);
    qsizetype done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 1000) <= 0 || (p.revents & (POLLERR | POLLHUP)))
            return false;
    }
    return fd >= 0;
}

bool SerialLine::read(QByteArray &out, int timeoutMs)
{
    const int fd = int(m_handle);
    if (fd < 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR;
    if (ready == 0)
        return true;
    char buffer[1024];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        out.append(buffer, n);
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    return false; // end of file or an error: the device is gone (a hang-up)
}

void SerialLine::discardInput()
{
    if (m_handle != -1)
        tcflush(int(m_handle), TCIFLUSH);
}

QStringList SerialLine::present()
{
    const QStringList names =
        QDir(QStringLiteral("/dev")).entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System);
    QStringList paths;
    for (const QString &name : names)
        paths.append(QStringLiteral("/dev/") + name);
    paths.sort();
    return paths;
}

bool SerialLine::exists(const QString &path)
{
    return QFile::exists(path);
}
